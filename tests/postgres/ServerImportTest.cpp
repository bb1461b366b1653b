#include "EngineSamples.h"

#include "import/ImportProjectFiles.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "support/RecordingSink.h"
#include "support/ServerDatabase.h"
#include "tools/SampleData.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace
{
// unprocessed: files a stopped batch never looked at.
QString Summary(int imported, int failed, int unprocessed = 0)
{
    const QString counts = QStringLiteral("导入项目信息:操作完成！\n倒入成功%1个文件\n倒入失败%2个文件")
                               .arg(imported)
                               .arg(failed);
    return unprocessed > 0 ? counts + QStringLiteral("\n未处理%1个文件").arg(unprocessed) : counts;
}

QStringList Lines(Database& db, const QString& sql)
{
    QStringList lines;
    QSqlQuery& query = db.Execute(sql);
    while (query.next())
        lines.append(query.value(0).toString());
    query.finish();
    return lines;
}

class ServerImport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_SERVER(server);
        ASSERT_TRUE(samples.isValid());
    }

    QString SampleFolder() const { return samples.path() + QStringLiteral("/"); }
    QStringList ProjectNames() const
    {
        return QDir(samples.path()).entryList({"*.xm"}, QDir::Files, QDir::Name);
    }

    ServerDatabase server;
    QTemporaryDir samples;
    RecordingSink sink;
};

// Reports of projects 1 to count of four units; another seed gives other figures for the same
// projects.
void WriteProjects(const QString& folder, int count, unsigned seed)
{
    std::mt19937 rng(seed);
    for (int i = 0; i < count; ++i)
    {
        QFile file(folder + QStringLiteral("P%1.xm").arg(i + 1, 3, 10, QLatin1Char('0')));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            MakeProjectFile(RandomProject(rng, i, QStringLiteral("U%1").arg(i % 4), 10 * (1 + i % 3))));
    }
}

// Each operator has a folder of their own with config.pz naming the shared database.
struct Operator
{
    QString app, in, local;
};

Operator MakeOperator(const QString& root, const QString& dataSource, const QString& samples,
                      const QStringList& names)
{
    const Operator op{root + "/app/", root + "/in/", root + "/local/"};
    for (const QString& folder : {op.app, op.in, op.local})
        QDir().mkpath(folder);
    QFile config(op.app + "config.pz");
    EXPECT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(
        QStringLiteral("<?xml version=\"1.0\" encoding=\"GB2312\"?><Config><ImportPath>%1</ImportPath>"
                       "<LocalPath>%2</LocalPath><DataSource>%3</DataSource></Config>")
            .arg(op.in, op.local, dataSource)
            .toUtf8());
    for (const QString& name : names)
        EXPECT_TRUE(QFile::copy(samples + name, op.in + name));
    return op;
}

TEST_F(ServerImport, TwoOperatorsOnTheSameFilesLeaveOneSetOfRowsPerProject)
{
    WriteProjects(SampleFolder(), 80, 31);
    const QStringList names = ProjectNames();
    // The second operator's files are newer reports of the same projects, half of them shared.
    QTemporaryDir newer;
    WriteProjects(newer.path() + "/", 80, 32);
    QTemporaryDir work;
    const Operator first = MakeOperator(work.path() + "/a", server.Uri(), SampleFolder(), names);
    const Operator second =
        MakeOperator(work.path() + "/b", server.Uri(), newer.path() + "/", names.mid(names.size() / 2));
    for (const QString& name : names.mid(0, names.size() / 2))
        ASSERT_TRUE(QFile::copy(SampleFolder() + name, second.in + name));

    QProcess runs[2];
    const Operator* operators[2] = {&first, &second};
    for (int i = 0; i < 2; ++i)
    {
        runs[i].setProcessChannelMode(QProcess::MergedChannels);
        runs[i].start(CORVANE_CLI, {"--app-folder", operators[i]->app, "import-projects", operators[i]->in});
    }
    for (QProcess& run : runs)
    {
        ASSERT_TRUE(run.waitForFinished(120000));
        const QString output = QString::fromUtf8(run.readAll()).trimmed();
        EXPECT_EQ(run.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains(Summary(80, 0) + QStringLiteral("\n批次 "))) << output.toStdString();
    }

    auto db = OpenDatabase(server.settings);
    const QString perProject =
        "SELECT count(*) || ' ' || (SELECT count(*) FROM dat_project_fund f WHERE "
        "f.projectid = p.projectid) || ' ' || (SELECT count(*) FROM dat_project_fund_detail d "
        "WHERE d.projectid = p.projectid) || ' ' || (SELECT count(*) FROM dat_project_budget b "
        "WHERE b.projectid = p.projectid) FROM dat_project_info p GROUP BY p.projectid";
    EXPECT_EQ(Joined(Lines(*db, perProject)), Joined(QStringList(80, "1 1 5 28")));
    // The rows of a project all come from one of its two reports: the yearly state demand adds
    // up to that report's state investment, the budget to its total.
    EXPECT_EQ(Lines(*db,
                    "SELECT p.projectid FROM dat_project_fund p WHERE "
                    "abs((SELECT sum(state) FROM dat_project_fund_detail d WHERE d.projectid = p.projectid) "
                    "- p.stateinvest) > 0.001 OR abs((SELECT sum(total) FROM dat_project_budget b "
                    "WHERE b.projectid = p.projectid) - p.totalfund) > 0.001"),
              QStringList())
        << Joined(Lines(*db, "SELECT projectid FROM dat_project_fund"));
}

TEST_F(ServerImport, ADeadlockWithAnotherSessionIsRetriedNotReported)
{
    WriteSampleSet(samples.path(), 1, 1, 3);
    const QString name = ProjectNames().value(0);
    ImportProjectFiles(CopyBatch(samples.path(), "xm", {name}, server.settings), server.settings, sink);
    ASSERT_EQ(sink.messages, QStringList{Summary(1, 0)});
    QFile::remove(server.settings.LocalPath + name);
    sink.messages.clear();

    // The other session locks the fund row, waits until the import waits for it, then asks for the
    // project row that the import holds: one of the two must give up, and the import's check comes
    // first.
    std::atomic<bool> holding = false;
    QString otherFailure;
    std::thread other(
        [&]
        {
            try
            {
                Database db(ServerTarget(server.Uri()));
                db.ExecuteControl("SET deadlock_timeout = '20s'");
                db.Begin();
                db.Execute("UPDATE dat_project_fund SET totalfund = totalfund").finish();
                holding = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                db.Execute("UPDATE dat_project_info SET name = name").finish();
                db.Commit();
            }
            catch (const CorvaneError& error)
            {
                otherFailure = error.Message();
            }
        });
    while (!holding)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ImportProjectFiles(CopyBatch(samples.path(), "xm", {name}, server.settings), server.settings, sink);
    other.join();
    EXPECT_EQ(otherFailure, QString());
    EXPECT_EQ(sink.messages, QStringList{Summary(1, 0)});
    EXPECT_TRUE(QFile::exists(server.settings.LocalPath + name));
}

// Ends the import's server session before the third file.
class CuttingSink : public RecordingSink
{
public:
    explicit CuttingSink(const ServerDatabase& server) : m_server(server) {}
    void Progress(const QString&, int done, int) override
    {
        if (done == 2)
            m_server.Administer(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                               "WHERE datname = '%1' AND pid <> pg_backend_pid()")
                                    .arg(m_server.Name()));
    }

private:
    const ServerDatabase& m_server;
};

TEST_F(ServerImport, ALostConnectionEndsTheBatchKeepingWhatWasCommitted)
{
    WriteSampleSet(samples.path(), 1, 5, 4);
    const QStringList names = ProjectNames();
    const FileList files = CopyBatch(samples.path(), "xm", {}, server.settings);
    CuttingSink cutting(server);
    ImportProjectFiles(files, server.settings, cutting);
    ASSERT_EQ(cutting.messages.size(), 2) << cutting.messages.join('\n').toStdString();
    EXPECT_TRUE(cutting.messages[0].startsWith("与数据库的连接已断开，导入停止于" +
                                               server.settings.ImportPath + names[2] + ":"))
        << cutting.messages[0].toStdString();
    EXPECT_EQ(cutting.messages[1], Summary(2, 0, int(names.size()) - 2));
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(QFile::exists(server.settings.ImportPath + names[i]), i >= 2) << names[i].toStdString();

    // The program goes on: the next batch takes the files that stayed.
    ImportProjectFiles(FileList{server.settings.ImportPath, names.mid(2)}, server.settings, sink);
    EXPECT_EQ(sink.messages, QStringList{Summary(3, 0)});
    auto db = OpenDatabase(server.settings);
    EXPECT_EQ(Joined(Lines(*db, "SELECT count(*) FROM dat_project_budget")), "140");
}
} // namespace

namespace
{
int CorpRows(Database& db)
{
    QSqlQuery& query = db.Execute("SELECT count(*) FROM dat_corp_info");
    const int rows = query.next() ? query.value(0).toInt() : -1;
    query.finish();
    return rows;
}

TEST(ServerSavepoint, AFailedStatementInsideItLeavesTheTransactionUsable)
{
    ServerDatabase server;
    SKIP_WITHOUT_SERVER(server);
    auto db = OpenDatabase(server.settings);
    {
        Transaction transaction(*db);
        db->Execute("INSERT INTO dat_corp_info (corpid) VALUES (?)", {"before"}).finish();
        {
            Savepoint untouched(*db, "untouched"); // undone before anything reached the server
        }
        {
            Savepoint failing(*db, "failing");
            db->Execute("INSERT INTO dat_corp_info (corpid) VALUES (?)", {"undone"}).finish();
            EXPECT_THROW(db->Execute("INSERT INTO dat_corp_info (corpid) VALUES (?)", {QVariant()}),
                         CorvaneError);
        }
        {
            Savepoint kept(*db, "kept");
            db->Execute("INSERT INTO dat_corp_info (corpid) VALUES (?)", {"after"}).finish();
            kept.Release();
        }
        transaction.Commit();
    }
    EXPECT_EQ(CorpRows(*db), 2);
    {
        Transaction abandoned(*db); // rolled back without a statement
    }
    {
        Transaction abandoned(*db);
        db->Execute("INSERT INTO dat_corp_info (corpid) VALUES (?)", {"dropped"}).finish();
    }
    EXPECT_EQ(CorpRows(*db), 2);
    EXPECT_FALSE(db->ConnectionLost());
}
} // namespace
