// corvane: the window program. Reads config.pz from its own folder at start and writes it when
// the window closes.
#include "app/Form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The program speaks Chinese whatever the system's language: Qt's own dialogs and buttons too,
    // when Qt's translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    Form1 form(QCoreApplication::applicationDirPath());
    form.show();
    return app.exec();
}
