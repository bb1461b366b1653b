#include "ImportFixture.h"
#include "ReportXml.h"
#include "UnitFileText.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace
{
// A run of corvane-cli on files written into the temporary folder. A ".dw" file holds the unit
// named after it, a ".xm" file a project of U01 named after it; "bad.dw" is not well-formed.
struct CommandCase
{
    const char* name;
    const char* command;
    const char* files;     // separated by spaces, relative to the temporary folder
    const char* arguments; // as files
    int exitCode;
    const char* shown;     // on stdout or stderr; %1 stands for the temporary folder
    int rows;              // of units and projects in the database afterwards
    const char* untouched; // files the run leaves where they were
    friend void PrintTo(const CommandCase& c, std::ostream* out) { *out << c.name; }
};

QStringList Paths(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

class ImportCommands : public ImportFixture, public ::testing::WithParamInterface<CommandCase>
{
};

TEST_P(ImportCommands, FollowTheArgumentRules)
{
    const CommandCase& c = GetParam();
    for (const QString& file : Paths(c.files))
    {
        const QString id = QFileInfo(file).baseName();
        temp.WriteFile(file, id == QLatin1String("bad")            ? QByteArray("<CorpInfo>")
                             : file.endsWith(QLatin1String(".dw")) ? UnitFile(id)
                                                                   : ReportXml::Project("U01", id).Bytes());
    }
    QStringList arguments = {QStringLiteral("--app-folder"), temp.settings.AppFolder,
                             QStringLiteral("--local-path"), temp.settings.LocalPath,
                             QString::fromLatin1(c.command)};
    for (const QString& argument : Paths(c.arguments))
        arguments.append(temp.Folder() + argument);
    QProcess cli;
    cli.start(QStringLiteral(CORVANE_CLI), arguments);
    ASSERT_TRUE(cli.waitForFinished(30000));

    const QString shown =
        QString::fromUtf8(cli.readAllStandardOutput()) + QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), c.exitCode) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8(c.shown).arg(temp.Folder()))) << shown.toStdString();
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_info")) + Rows(QStringLiteral("dat_project_info")), c.rows);
    for (const QString& file : Paths(c.untouched))
        EXPECT_TRUE(QFile::exists(temp.Folder() + file)) << file.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ImportCommands,
    ::testing::Values(
        // Written in reverse: only name order imports a.dw and then stops at bad.dw.
        CommandCase{"FolderGivesItsFilesInNameOrder", "import-units", "in/c.dw in/bad.dw in/a.dw", "in", 1,
                    "无法打开指定文件%1in/bad.dw\n导入单位信息:操作完成！\n倒入成功1个文件", 1, "in/c.dw"},
        CommandCase{"MissingFileIsReportedByTheBatch", "import-units", "in/a.dw", "in/a.dw in/gone.dw", 1,
                    "无法打开指定文件%1in/gone.dw\n导入单位信息:操作完成！\n倒入成功1个文件", 1, ""},
        CommandCase{"FilesFromSeveralFoldersAreAUsageError", "import-units", "in/a.dw other/b.dw",
                    "in/a.dw other/b.dw", 2, "一次只能导入同一文件夹中的文件", 0, "in/a.dw other/b.dw"},
        // The unit file beside them is not a project file.
        CommandCase{"ProjectsOfAFolder", "import-projects", "in/P07.xm in/P08.xm in/U01.dw", "in", 0,
                    "导入项目信息:操作完成！\n倒入成功2个文件\n倒入失败0个文件", 2, "in/U01.dw"}),
    CaseName<CommandCase>);
} // namespace
