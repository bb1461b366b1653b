// corvane: the window program. Reads config.pz from AppFolder at start and writes it when the
// window closes.
#include "app/Form1.h"
#include "services/AppFolder.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before Qt needs a display, so that it works from any terminal.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
    {
        std::puts("corvane " CORVANE_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    // The program speaks Chinese whatever the system's language: Qt's own dialogs and buttons too,
    // when Qt's translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    Form1 form(ChooseAppFolder(QCoreApplication::applicationDirPath(),
                               QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
    form.show();
    return app.exec();
}
