// corvane-cli: the headless front end. Reads config.pz from AppFolder as the window does, prints
// every message as the window would show it. Exit 0 ok, 1 failure, 2 usage.
#include "cli/Commands.h"
#include "services/AppFolder.h"

#include <QCoreApplication>
#include <QStandardPaths>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return RunCommandLine(
        app.arguments().mid(1),
        ChooseAppFolder(QCoreApplication::applicationDirPath(),
                        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
}
