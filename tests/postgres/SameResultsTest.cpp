#include "EngineSamples.h"

#include "import/ImportProjectFiles.h"
#include "import/ImportUnitFiles.h"
#include "reports/FakeWorkbook.h"
#include "reports/GenerateReports.h"
#include "services/Database.h"
#include "support/RecordingSink.h"
#include "support/ServerDatabase.h"
#include "support/TempDatabase.h"
#include "tools/SampleData.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace
{
// One sample set imported into the embedded database and into a server database, then both
// report runs: every difference between the engines shows as a table row or a cell.
class SameResults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_SERVER(server);
        ASSERT_TRUE(samples.isValid());
        WriteSampleSet(samples.path(), 24, 90, 2012);
        // A refused value: the file fails with its message, the other columns are still written.
        std::mt19937 rng(5);
        ProjectSample refused = RandomProject(rng, 7, QStringLiteral("U0001"), 10);
        refused.projectId = QStringLiteral("refused");
        refused.newDepotArea = QStringLiteral("12平方米");
        Write(QStringLiteral("P999999.xm"), MakeProjectFile(refused));
        // After it, a file of every other outcome for the ledger: the same project again (updated),
        // a unit file, a broken file that ends the batch, and one never looked at.
        refused.newDepotArea = QStringLiteral("12");
        Write(QStringLiteral("P999999a.xm"), MakeProjectFile(refused));
        Write(QStringLiteral("P999999b.xm"), "<CorpInfo><Basic><CorpID>U0001</CorpID></Basic></CorpInfo>");
        Write(QStringLiteral("P999999c.xm"), "<Report><BasicInfo>");
        Write(QStringLiteral("P999999d.xm"), MakeProjectFile(refused));
    }
    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(samples.path() + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Imports units then projects with settings; returns what the batches showed.
    QStringList Import(const Settings& settings)
    {
        RecordingSink sink;
        const QString folder = samples.path();
        ImportUnitFiles(CopyBatch(folder, QStringLiteral("dw"), {}, settings), settings, sink);
        ImportProjectFiles(CopyBatch(folder, QStringLiteral("xm"), {}, settings), settings, sink);
        // Each engine's batch reads its own copy of the files.
        return sink.messages.replaceInStrings(settings.ImportPath, QStringLiteral("in/"));
    }

    QTemporaryDir samples;
    TempDatabase embedded;
    ServerDatabase server;
};

TEST_F(SameResults, ImportGivesTheSameRowsAndMessages)
{
    const QStringList shownEmbedded = Import(embedded.settings);
    const QStringList shownServer = Import(server.settings);
    EXPECT_EQ(shownServer, shownEmbedded);
    EXPECT_TRUE(shownServer.contains(
        "导入项目U0001_refused信息失败:BasicInfo/SalvageItem/NewDepotArea 的值 \"12平方米\" 不是数字"))
        << shownServer.join('\n').toStdString();

    const QStringList rowsEmbedded = TableContents(embedded.settings);
    const QStringList rowsServer = TableContents(server.settings);
    EXPECT_EQ(rowsEmbedded.filter(QRegularExpression("^dat_")).size(), 24 * 4 + 91 * (1 + 1 + 5 + 28));
    EXPECT_EQ(rowsServer, rowsEmbedded) << Differences(rowsEmbedded, rowsServer);

    // Each engine's ledger enters every file alike, the refused one with its message.
    const auto ledger = [](const Settings& settings)
    {
        std::unique_ptr<Database> db = OpenDatabase(settings);
        QStringList entries;
        QSqlQuery& query = db->Execute(
            QStringLiteral("SELECT b.kind, f.file_name, f.file_size, f.sha256, f.file_key, f.unit_id, "
                           "f.outcome, "
                           "f.change, m.text, m.element, m.value FROM imp_file f JOIN imp_batch b ON "
                           "b.batch_id = f.batch_id "
                           "LEFT JOIN imp_message m ON m.batch_id = f.batch_id AND m.file_no = f.file_no"));
        while (query.next())
        {
            QStringList values;
            for (int i = 0; i < 11; ++i)
                values.append(query.isNull(i) ? QString() : query.value(i).toString());
            entries.append(values.join(QStringLiteral(" | ")));
        }
        query.finish();
        entries.replaceInStrings(settings.ImportPath, QStringLiteral("in/"));
        entries.sort();
        return entries;
    };
    const QStringList ledgerEmbedded = ledger(embedded.settings);
    EXPECT_EQ(ledgerEmbedded.size(), 24 + 95);
    for (const char* outcome :
         {"imported | updated | ", "not of this kind | ", "not loadable | ", "not processed | "})
        EXPECT_EQ(ledgerEmbedded.filter(QString::fromUtf8(outcome)).size(), 1) << outcome;
    EXPECT_EQ(ledgerEmbedded.filter(QStringLiteral("| failed |  | 导入项目U0001_refused信息失败:")).size(),
              1);
    EXPECT_EQ(ledgerEmbedded.filter(QStringLiteral("| BasicInfo/SalvageItem/NewDepotArea | 12平方米")).size(),
              1);
    EXPECT_EQ(ledger(server.settings), ledgerEmbedded)
        << Differences(ledgerEmbedded, ledger(server.settings));
}

TEST_F(SameResults, ReportsWriteTheSameCells)
{
    Import(embedded.settings);
    Import(server.settings);
    for (const Settings* settings : {&embedded.settings, &server.settings})
    {
        CopyTemplates(*settings);
        RecordingSink sink;
        GenerateReports(*settings, sink);
        ASSERT_EQ(sink.messages.size(), 2) << sink.messages.join('\n').toStdString();
    }
    for (const QString& title : {QStringLiteral("国家计委汇总表"), QStringLiteral("十一五资金需求汇总表")})
    {
        const QStringList cellsEmbedded = WorkbookCells(ReportOutputPath(embedded.settings, title));
        const QStringList cellsServer = WorkbookCells(ReportOutputPath(server.settings, title));
        EXPECT_GT(cellsEmbedded.size(), 300) << title.toStdString();
        EXPECT_EQ(cellsServer, cellsEmbedded) << title.toStdString() << "\n"
                                              << Differences(cellsEmbedded, cellsServer);
    }
}

TEST_F(SameResults, AnImportCommittedDuringTheRunShowsInNoSheet)
{
    for (const Settings* settings : {&embedded.settings, &server.settings})
    {
        Import(*settings);
        CopyTemplates(*settings);
        RecordingSink sink;
        CommittingWorkbook quiet;
        GenerateReports(*settings, quiet, sink);
        CommittingWorkbook busy(
            [&]
            {
                const std::unique_ptr<Database> other = OpenDatabase(*settings);
                Transaction transaction(*other);
                other->Execute(QStringLiteral("update dat_project_fund_detail set state = state + 1"))
                    .finish();
                other
                    ->Execute(QStringLiteral("delete from dat_project_info where projectid in "
                                             "(select min(projectid) from dat_project_info)"))
                    .finish();
                transaction.Commit();
            });
        GenerateReports(*settings, busy, sink);
        EXPECT_EQ(busy.BothWorkbooks(), quiet.BothWorkbooks()) << settings->DataSource.toStdString();
        EXPECT_GT(quiet.BothWorkbooks().size(), 300);
    }
}
} // namespace
