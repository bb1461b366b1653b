#include "services/Database.h"
#include "services/CorvaneError.h"
#include "services/Dictionary.h"
#include "services/PathAttributes.h"
#include "services/Record.h"
#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace
{
QString OpenFailure(const Settings& settings)
{
    try
    {
        OpenDatabase(settings);
    }
    catch (const CorvaneError& error)
    {
        return error.Message();
    }
    return QString();
}
} // namespace

TEST(OpenDatabase, RefusesMissingAccessAndForeignFilesWithoutCreatingOne)
{
    TempDatabase temp;
    Settings settings = temp.settings;
    settings.LocalPath = temp.Folder() + QStringLiteral("empty/");
    EXPECT_EQ(OpenFailure(settings),
              QStringLiteral("数据库文件不存在:") + settings.LocalPath + QStringLiteral("wenwu.mdb"));
    EXPECT_FALSE(QFile::exists(settings.LocalPath + QStringLiteral("wenwu.mdb")));

    QByteArray jet(64, '\0');
    jet.replace(4, 15, "Standard Jet DB");
    settings.LocalPath = temp.Folder() + QStringLiteral("jet/");
    temp.WriteFile(QStringLiteral("jet/wenwu.mdb"), jet);
    EXPECT_TRUE(OpenFailure(settings).startsWith(QStringLiteral("数据库文件是 Access 格式")));

    settings.LocalPath = temp.Folder() + QStringLiteral("text/");
    temp.WriteFile(QStringLiteral("text/wenwu.mdb"), "hello");
    EXPECT_EQ(OpenFailure(settings),
              QStringLiteral("不是有效的数据库文件:") + settings.LocalPath + QStringLiteral("wenwu.mdb"));
    EXPECT_EQ(QFileInfo(settings.LocalPath + QStringLiteral("wenwu.mdb")).size(), 5);

    // SQLite would take an empty file for an empty database and write one into it.
    settings.LocalPath = temp.Folder() + QStringLiteral("zero/");
    temp.WriteFile(QStringLiteral("zero/wenwu.mdb"), "");
    EXPECT_EQ(OpenFailure(settings),
              QStringLiteral("不是有效的数据库文件:") + settings.LocalPath + QStringLiteral("wenwu.mdb"));
    EXPECT_EQ(QFileInfo(settings.LocalPath + QStringLiteral("wenwu.mdb")).size(), 0);
}

// Closing any descriptor of the file drops every lock the process holds on it: another program
// could then take the file from under a connection still open (the window's, a batch's).
TEST(OpenDatabase, LeavesTheLocksOfConnectionsAlreadyOpen)
{
    TempDatabase temp;
    const std::unique_ptr<Database> first = OpenDatabase(temp.settings);
    first->Execute(QStringLiteral("select count(*) from sqlite_master")).finish();
    OpenDatabase(temp.settings).reset();
    QProcess other;
    other.start(QStringLiteral("python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import sqlite3, sys\n"
                                "c = sqlite3.connect(sys.argv[1], timeout=0)\n"
                                "print(c.execute('pragma journal_mode=delete').fetchone()[0])"),
                 temp.settings.LocalPath + QStringLiteral("wenwu.mdb")});
    ASSERT_TRUE(other.waitForFinished(30000));
    EXPECT_TRUE(
        QString::fromUtf8(other.readAllStandardError()).contains(QStringLiteral("database is locked")));
    EXPECT_EQ(QString::fromUtf8(other.readAllStandardOutput()), QString());
}

// A batch moves a file once its commit returns: the commit must be on disk by then.
TEST(OpenDatabase, ABatchsCommitsAreOnDiskWhenTheyReturn)
{
    TempDatabase temp;
    const std::unique_ptr<Database> db = OpenDatabase(temp.settings);
    db->SetUpForBatch();
    QSqlQuery& query = db->Execute(QStringLiteral("pragma synchronous"));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toInt(), 2); // FULL
    query.finish();
}

TEST(OpenDatabase, DataSourceNamesAnSqliteFileRelativeToLocalPath)
{
    TempDatabase temp;
    Settings settings = temp.settings;
    QFile::copy(settings.LocalPath + QStringLiteral("wenwu.mdb"),
                settings.LocalPath + QStringLiteral("other.db"));
    QFile::remove(settings.LocalPath + QStringLiteral("wenwu.mdb"));
    settings.DataSource = QStringLiteral("other.db");
    EXPECT_NO_THROW(OpenDatabase(settings));
}

class RecordLayer : public ::testing::Test
{
protected:
    TempDatabase temp;
    std::unique_ptr<Database> db = temp.Open();
};

TEST_F(RecordLayer, FindsOrAddsByKeyAndKeepsOneRow)
{
    for (const QString& name : {QStringLiteral("甲"), QStringLiteral("乙")})
    {
        Record record = Record::FindOrAdd(*db, QStringLiteral("dat_corp_info"), QStringLiteral("corpid"),
                                          QStringLiteral("O'Brien\"; DROP TABLE dat_corp_info; --"));
        record.SetText(QStringLiteral("name"), name);
        record.Update();
    }
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from dat_corp_info")).toInt(), 1);
    EXPECT_EQ(temp.Scalar(QStringLiteral("select name from dat_corp_info where corpid = ?"),
                          {QStringLiteral("O'Brien\"; DROP TABLE dat_corp_info; --")})
                  .toString(),
              QStringLiteral("乙"));
}

TEST_F(RecordLayer, ConvertsTextsToColumnKinds)
{
    Record record = Record::FindOrAdd(*db, QStringLiteral("dat_corp_reserve"), QStringLiteral("corpid"),
                                      QStringLiteral("U1"));
    record.SetText(QStringLiteral("totalitemnum"), QStringLiteral(" 12 "));
    record.SetText(QStringLiteral("totalnum1"), QStringLiteral("7.0"));
    record.SetText(QStringLiteral("depotarea"), QStringLiteral("35.75"));
    record.SetText(QStringLiteral("funddemand1"), QString());
    record.SetText(QStringLiteral("damagedesc"), QString());
    record.Update();
    QSqlQuery& row =
        db->Execute(QStringLiteral("select typeof(totalitemnum), totalitemnum, totalnum1, depotarea, "
                                   "funddemand1 is null, damagedesc from dat_corp_reserve"));
    ASSERT_TRUE(row.next());
    EXPECT_EQ(row.value(0).toString(), QStringLiteral("integer"));
    EXPECT_EQ(row.value(1).toLongLong(), 12);
    EXPECT_EQ(row.value(2).toLongLong(), 7);
    EXPECT_DOUBLE_EQ(row.value(3).toDouble(), 35.75);
    EXPECT_TRUE(row.value(4).toBool());
    EXPECT_EQ(row.value(5).toString(), QString());
    row.finish();
}

TEST_F(RecordLayer, RefusedValueNamesColumnAndKeepsTheOldValue)
{
    Record record = Record::FindOrAdd(*db, QStringLiteral("dat_corp_reserve"), QStringLiteral("corpid"),
                                      QStringLiteral("U1"));
    record.SetText(QStringLiteral("totalitemnum"), QStringLiteral("5"));
    for (const QString& bad : {QStringLiteral("abc"), QStringLiteral("12.5"), QStringLiteral("1,000")})
    {
        try
        {
            record.SetText(QStringLiteral("totalitemnum"), bad);
            ADD_FAILURE() << "accepted " << bad.toStdString();
        }
        catch (const CorvaneError& error)
        {
            EXPECT_TRUE(error.Message().contains(QStringLiteral("totalitemnum")));
            EXPECT_TRUE(error.Message().contains(bad));
        }
    }
    EXPECT_THROW(record.SetText(QStringLiteral("depotarea"), QStringLiteral("nan")), CorvaneError);
    EXPECT_THROW(record.SetText(QStringLiteral("nosuchcolumn"), QStringLiteral("1")), CorvaneError);
    record.Update();
    EXPECT_EQ(temp.Scalar(QStringLiteral("select totalitemnum from dat_corp_reserve")).toInt(), 5);
}

TEST_F(RecordLayer, KeyThatIsNotUniqueEditsOnlyTheFirstRowFound)
{
    // dat_project_budget keeps many rows per projectid.
    db->Execute(QStringLiteral("insert into dat_project_budget (projectid, type, total) values "
                               "('P', 11, 1), ('Q', 11, 5), ('P', 12, 2)"))
        .finish();
    Record record = Record::FindOrAdd(*db, QStringLiteral("dat_project_budget"), QStringLiteral("projectid"),
                                      QStringLiteral("P"));
    record.SetText(QStringLiteral("total"), QStringLiteral("9"));
    record.Update();
    record.SetText(QStringLiteral("state"), QStringLiteral("4"));
    record.Update();
    EXPECT_EQ(
        temp.Scalar(QStringLiteral("select group_concat(projectid || ':' || type || ':' || total || ':' || "
                                   "ifnull(state, '-'), ' ') from (select * from dat_project_budget "
                                   "order by rowid)"))
            .toString(),
        QStringLiteral("P:11:9.0:4.0 Q:11:5.0:- P:12:2.0:-"));

    // A new key adds one row, and saving it again edits that row.
    Record added = Record::FindOrAdd(*db, QStringLiteral("dat_project_budget"), QStringLiteral("projectid"),
                                     QStringLiteral("R"));
    added.SetText(QStringLiteral("type"), QStringLiteral("21"));
    added.Update();
    added.SetText(QStringLiteral("total"), QStringLiteral("3"));
    added.Update();
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) || ':' || max(total) from dat_project_budget "
                                         "where projectid = 'R'"))
                  .toString(),
              QStringLiteral("1:3.0"));
}

// Run binds on the engine directly; what it stores and the errors it gives must be those of the
// Qt SQL path it stands beside.
TEST_F(RecordLayer, RunStoresAndFailsAsExecuteDoes)
{
    const QVariantList values = {QStringLiteral("甲'乙"), QString(), QVariant(QMetaType(QMetaType::Double)),
                                 qlonglong(7), 2.5};
    const QString insert = QStringLiteral("insert into dat_corp_reserve (corpid, damagedesc, depotarea, "
                                          "totalitemnum, funddemand1) values (?, ?, ?, ?, ?)");
    db->Run(insert, values);
    QVariantList second = values;
    second[0] = QStringLiteral("U2");
    db->Execute(insert, second).finish();
    EXPECT_EQ(
        temp.Scalar(QStringLiteral("select count(distinct ifnull(damagedesc, 'null') || typeof(depotarea) || "
                                   "totalitemnum || funddemand1) from dat_corp_reserve"))
            .toInt(),
        1);
    EXPECT_EQ(
        temp.Scalar(QStringLiteral("select corpid from dat_corp_reserve order by rowid limit 1")).toString(),
        QStringLiteral("甲'乙"));
    EXPECT_TRUE(
        temp.Scalar(QStringLiteral("select damagedesc is null from dat_corp_reserve limit 1")).toBool());

    QString native, qt;
    try
    {
        db->Run(insert, values);
    }
    catch (const CorvaneError& error)
    {
        native = error.Message();
    }
    try
    {
        db->Execute(insert, values).finish();
    }
    catch (const CorvaneError& error)
    {
        qt = error.Message();
    }
    EXPECT_TRUE(native.contains(QStringLiteral("UNIQUE"))) << native.toStdString();
    EXPECT_EQ(native, qt);
    EXPECT_THROW(db->Run(insert, {values.begin(), 2}), CorvaneError);
}

TEST_F(RecordLayer, UnknownTableFailsAtFind)
{
    EXPECT_THROW(
        Record::FindOrAdd(*db, QStringLiteral("dat_missing"), QStringLiteral("corpid"), QStringLiteral("U1")),
        CorvaneError);
}

TEST_F(RecordLayer, SavepointUndoesOnlyItsOwnWork)
{
    Transaction transaction(*db);
    db->Execute(QStringLiteral("insert into dat_project_budget (projectid, type) values ('P', 11)")).finish();
    {
        Savepoint savepoint(*db, QStringLiteral("replace_rows"));
        db->Execute(QStringLiteral("delete from dat_project_budget")).finish();
    }
    transaction.Commit();
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from dat_project_budget")).toInt(), 1);
}

TEST_F(RecordLayer, LoadDictionaryKeepsRowZeroEmptyAndMatchesExactly)
{
    RecordingSink sink;
    const Dictionary risk = LoadDictionary(*db, QStringLiteral("dic_corp_risc"), QStringLiteral("risc"),
                                           QStringLiteral("riscname"), sink);
    ASSERT_EQ(risk.rows.size(), 3);
    EXPECT_EQ(risk.rows[0], qMakePair(QString(), QString()));
    EXPECT_EQ(risk.rows[1].first, QStringLiteral("10"));
    EXPECT_TRUE(IsDictionaryCode(QString(), risk));
    EXPECT_TRUE(IsDictionaryCode(QStringLiteral("20"), risk));
    EXPECT_FALSE(IsDictionaryCode(risk.rows[1].second, risk));
    EXPECT_FALSE(IsDictionaryCode(QStringLiteral("20 "), risk));
    EXPECT_TRUE(sink.messages.isEmpty());
}

TEST_F(RecordLayer, EmptyDictionaryShowsNoRecordAndFailsLookupsByName)
{
    db->Execute(QStringLiteral("delete from dic_device_status")).finish();
    RecordingSink sink;
    const Dictionary status = LoadDictionary(*db, QStringLiteral("dic_device_status"),
                                             QStringLiteral("status"), QStringLiteral("statusname"), sink);
    EXPECT_EQ(sink.messages, QStringList{QStringLiteral("no record")});
    EXPECT_FALSE(status.IsAllocated());
    try
    {
        IsDictionaryCode(QString(), status);
        ADD_FAILURE() << "lookup in an empty dictionary succeeded";
    }
    catch (const CorvaneError& error)
    {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("dic_device_status")));
    }
    EXPECT_THROW(
        LoadDictionary(*db, QStringLiteral("dic_nothing"), QStringLiteral("a"), QStringLiteral("b"), sink),
        CorvaneError);
}

TEST(PathAttributes, TellsFilesFoldersAndMissingPaths)
{
    TempDatabase temp;
    EXPECT_EQ(PathAttributes(QString()), -1);
    EXPECT_EQ(PathAttributes(temp.Folder() + QStringLiteral("none.dw")), -1);
    EXPECT_EQ(PathAttributes(temp.Folder() + QStringLiteral("none/a.dw")), -1);
    EXPECT_TRUE(PathAttributes(temp.settings.LocalPath) & 16);
    const std::int16_t file = PathAttributes(temp.settings.LocalPath + QStringLiteral("wenwu.mdb"));
    EXPECT_GE(file, 0);
    EXPECT_FALSE(file & 16);
}

namespace
{
struct ServerUri
{
    const char* name;
    const char* uri;
    const char* host; // nullptr: refused with refusal
    int port;
    const char* user;
    const char* database;
    const char* refusal;
    friend void PrintTo(const ServerUri& c, std::ostream* out) { *out << c.name; }
};

class ServerTargetOf : public ::testing::TestWithParam<ServerUri>
{
};

TEST_P(ServerTargetOf, ReadsTheUriOrRefusesIt)
{
    const ServerUri& c = GetParam();
    try
    {
        const ConnectionTarget target = ServerTarget(QString::fromUtf8(c.uri));
        ASSERT_NE(c.host, nullptr) << "accepted";
        EXPECT_EQ(target.driver, "QPSQL");
        EXPECT_EQ(target.host, c.host);
        EXPECT_EQ(target.port, c.port);
        EXPECT_EQ(target.userName, c.user);
        EXPECT_EQ(target.databaseName, c.database);
        EXPECT_FALSE(target.connectOptions.contains("password"));
    }
    catch (const CorvaneError& error)
    {
        ASSERT_EQ(c.host, nullptr) << error.Message().toStdString();
        EXPECT_EQ(error.Message(), QString::fromUtf8(c.refusal));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Uris, ServerTargetOf,
    ::testing::Values(
        ServerUri{"Full", "postgresql://ops@db.example:6543/wenwu", "db.example", 6543, "ops", "wenwu",
                  nullptr},
        ServerUri{"DefaultPort", "postgres://ops@127.0.0.1/wenwu", "127.0.0.1", 5432, "ops", "wenwu",
                  nullptr},
        ServerUri{"NoUser", "postgresql://localhost:5433/wenwu", "localhost", 5433, "", "wenwu", nullptr},
        ServerUri{"PasswordInUri", "postgresql://ops:secret@db/wenwu", nullptr, 0, nullptr, nullptr,
                  "数据源中不能写密码，请用 PGPASSWORD 或 ~/.pgpass:postgresql://ops@db/wenwu"},
        ServerUri{"PasswordAsOption", "postgresql://ops@db/wenwu?password=secret", nullptr, 0, nullptr,
                  nullptr, "数据源中不能写密码，请用 PGPASSWORD 或 ~/.pgpass:postgresql://ops@db/wenwu"},
        ServerUri{"NoDatabase", "postgresql://ops@db:5432/", nullptr, 0, nullptr, nullptr,
                  "数据源应为 postgresql://用户@主机:端口/数据库:postgresql://ops@db:5432/"},
        ServerUri{"NoHost", "postgresql:///wenwu", nullptr, 0, nullptr, nullptr,
                  "数据源应为 postgresql://用户@主机:端口/数据库:postgresql:///wenwu"}),
    [](const ::testing::TestParamInfo<ServerUri>& test) { return std::string(test.param.name); });
} // namespace
