#include "UnitFileText.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace
{
struct CliRun
{
    int exitCode = -1;
    QStringList output; // stdout lines
    QString errors;
};

class ImportUnitsCommand : public ::testing::Test
{
protected:
    TempDatabase temp;

    QString In(const QString& name) const { return temp.settings.ImportPath + name; }
    CliRun Run(const QStringList& arguments) const
    {
        QProcess cli;
        cli.start(QStringLiteral(CORVANE_CLI),
                  QStringList{QStringLiteral("--app-folder"), temp.settings.AppFolder,
                              QStringLiteral("--local-path"), temp.settings.LocalPath,
                              QStringLiteral("import-units")} +
                      arguments);
        CliRun run;
        if (!cli.waitForFinished(30000))
            return run;
        run.exitCode = cli.exitCode();
        run.output =
            QString::fromUtf8(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        run.errors = QString::fromUtf8(cli.readAllStandardError());
        return run;
    }
    int Units() const { return temp.Scalar(QStringLiteral("select count(*) from dat_corp_info")).toInt(); }
};

TEST_F(ImportUnitsCommand, FolderImportsItsUnitFilesInNameOrder)
{
    // Written in reverse: only name order imports a.dw and then stops at b.dw.
    temp.WriteFile(In(QStringLiteral("c.dw")), UnitFile(QStringLiteral("U3")));
    temp.WriteFile(In(QStringLiteral("b.dw")), "<CorpInfo>");
    temp.WriteFile(In(QStringLiteral("a.dw")), UnitFile(QStringLiteral("U1")));
    temp.WriteFile(In(QStringLiteral("p.xm")), "<Report/>");
    const CliRun run = Run({temp.settings.ImportPath});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.contains(QStringLiteral("无法打开指定文件") + In(QStringLiteral("b.dw"))));
    EXPECT_TRUE(run.output.contains(QStringLiteral("倒入成功1个文件")));
    EXPECT_TRUE(run.output.contains(QStringLiteral("倒入失败0个文件")));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("c.dw"))));
    EXPECT_EQ(Units(), 1);
}

TEST_F(ImportUnitsCommand, MissingFileIsReportedByTheBatch)
{
    temp.WriteFile(In(QStringLiteral("a.dw")), UnitFile(QStringLiteral("U1")));
    const CliRun run = Run({In(QStringLiteral("a.dw")), In(QStringLiteral("gone.dw"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.contains(QStringLiteral("无法打开指定文件") + In(QStringLiteral("gone.dw"))))
        << run.output.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(run.output.contains(QStringLiteral("倒入成功1个文件")));
}

TEST_F(ImportUnitsCommand, FilesFromSeveralFoldersAreAUsageError)
{
    temp.WriteFile(In(QStringLiteral("a.dw")), UnitFile(QStringLiteral("U1")));
    const QString other = temp.WriteFile(QStringLiteral("other/b.dw"), UnitFile(QStringLiteral("U2")));
    const CliRun run = Run({In(QStringLiteral("a.dw")), other});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("一次只能导入同一文件夹中的文件")))
        << run.errors.toStdString();
    EXPECT_EQ(Units(), 0);
}

TEST_F(ImportUnitsCommand, SuccessfulBatchExitsWithZero)
{
    temp.WriteFile(In(QStringLiteral("a.dw")), UnitFile(QStringLiteral("U1")));
    temp.WriteFile(In(QStringLiteral("b.dw")), UnitFile(QStringLiteral("U2")));
    const CliRun run = Run({In(QStringLiteral("b.dw")), In(QStringLiteral("a.dw"))});
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_EQ(Units(), 2);
}
} // namespace
