// corvane-cli: the headless front end. Reads config.pz from its own folder as the window does,
// prints every message as the window would show it. Exit 0 ok, 1 failure, 2 usage.
#include "cli/Commands.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return RunCommandLine(app.arguments().mid(1), QCoreApplication::applicationDirPath());
}
