// corvane: the window program. Reads config.pz from its own folder at start and writes it when
// the window closes.
#include "app/Form1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Form1 form(QCoreApplication::applicationDirPath());
    form.show();
    return app.exec();
}
