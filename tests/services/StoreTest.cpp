#include "store/Store.h"
#include "services/CorvaneError.h"
#include "support/TempDatabase.h"

#include <QProcess>
#include <QSqlRecord>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace
{
// What the report writers read from each saved query.
const QHash<QString, QStringList>& ReadColumns()
{
    static const QHash<QString, QStringList> columns = {
        {QStringLiteral("wbquery"),
         QStringLiteral(
             "class projectid name corpname classname typename totalitemnum totalnum1 totalnum2 totalnum3 "
             "depotarea fsdevstatus rpdevstatus stateinvest localinvest otherinvest newdepotarea "
             "protectioncontent totalarea corearea relicage relictype rparea rpcontent totalfund")
             .split(QLatin1Char(' '))},
        {QStringLiteral("budgetquery"),
         {QStringLiteral("projectid"), QStringLiteral("class"), QStringLiteral("total")}},
        {QStringLiteral("zjzb"),
         QStringLiteral("attribute prjclass prjtype corptype corpclass totalfund").split(QLatin1Char(' '))},
        {QStringLiteral("prjfund"),
         QStringLiteral("projectid class corpclass corptype risk name corpname classname "
                        "typename stateinvest localinvest otherinvest totalfund")
             .split(QLatin1Char(' '))},
        {QStringLiteral("corpsecurity"),
         QStringLiteral(
             "class type corparea stolentimes stolenitemnum damagedtimes damageditemnum waterdevstatus "
             "alarmdevstatus lightdevstatus securedevstatus storedevstatus")
             .split(QLatin1Char(' '))},
        {QStringLiteral("funddetailall"),
         QStringLiteral("class year totalstate totallocal").split(QLatin1Char(' '))},
        {QStringLiteral("funddetail1"),
         QStringLiteral("corpclass year totalstate totallocal").split(QLatin1Char(' '))},
        {QStringLiteral("funddetail3"),
         QStringLiteral("corpclass year totalstate totallocal").split(QLatin1Char(' '))},
        {QStringLiteral("funddetail5"),
         QStringLiteral("corpclass year totalstate totallocal").split(QLatin1Char(' '))},
        {QStringLiteral("funddetail7"),
         QStringLiteral("corpclass year totalstate totallocal").split(QLatin1Char(' '))},
        {QStringLiteral("funddetail5risk"),
         QStringLiteral("risk year totalstate totallocal").split(QLatin1Char(' '))},
    };
    return columns;
}
} // namespace

TEST(Store, EverySavedQueryRunsOnAnEmptyDatabaseWithItsColumns)
{
    TempDatabase temp;
    auto db = temp.Open();
    for (auto it = ReadColumns().begin(); it != ReadColumns().end(); ++it)
    {
        QSqlQuery& query = db->Execute(QStringLiteral("select * from ") + it.key());
        EXPECT_FALSE(query.next()) << it.key().toStdString();
        const QSqlRecord record = query.record();
        for (const QString& column : it.value())
            EXPECT_GE(record.indexOf(column), 0) << it.key().toStdString() << "." << column.toStdString();
        query.finish();
    }
}

TEST(Store, QueriesDeriveClassesAndJoinEachProjectWithItsUnit)
{
    TempDatabase temp;
    auto db = temp.Open();
    db
        ->Execute(QStringLiteral(
            "insert into dat_corp_info (corpid, name, class, type, risk) values ('U1', '甲馆', 20, 30, 10)"))
        .finish();
    db->Execute(
          QStringLiteral("insert into dat_project_info (projectid, corpid, name, type, attribute) values "
                         "('U1_P1', 'U1', '安防', 51, 2), ('U9_P2', 'U9', '无主', 81, 1)"))
        .finish();
    db->Execute(QStringLiteral("insert into dat_project_fund (projectid, totalfund) values ('U1_P1', 30.5)"))
        .finish();
    db
        ->Execute(QStringLiteral(
            "insert into dat_project_fund_detail values ('U1_P1', 2006, 1.5, 2), ('U1_P1', 2007, 3, 4)"))
        .finish();
    db->Execute(QStringLiteral("insert into dat_project_budget values ('U1_P1', 83, 9, 8)")).finish();

    QSqlQuery& project =
        db->Execute(QStringLiteral("select class, prjtype, corpname, corpclass, risk, classname, typename, "
                                   "totalfund from prjfund where projectid = ?"),
                    {QStringLiteral("U1_P1")});
    ASSERT_TRUE(project.next());
    EXPECT_EQ(project.value(0).toInt(), 5);
    EXPECT_EQ(project.value(1).toInt(), 51);
    EXPECT_EQ(project.value(2).toString(), QStringLiteral("甲馆"));
    EXPECT_EQ(project.value(3).toInt(), 20);
    EXPECT_EQ(project.value(4).toInt(), 10);
    EXPECT_EQ(project.value(5).toString(), QStringLiteral("安全消防类"));
    EXPECT_EQ(project.value(6).toString(), QStringLiteral("安全消防设施建设"));
    EXPECT_DOUBLE_EQ(project.value(7).toDouble(), 30.5);
    project.finish();

    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from wbquery where class = 8")).toInt(), 1);
    EXPECT_EQ(temp.Scalar(QStringLiteral("select class from budgetquery")).toInt(), 8);
    EXPECT_DOUBLE_EQ(
        temp.Scalar(QStringLiteral("select totalstate from funddetail5 where corpclass = 20 and year = 2006"))
            .toDouble(),
        1.5);
    EXPECT_DOUBLE_EQ(
        temp.Scalar(QStringLiteral("select totallocal from funddetail5risk where risk = 10 and year = 2007"))
            .toDouble(),
        4);
    // The unit has no security row, so it is no record of corpsecurity.
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from corpsecurity")).toInt(), 0);
}

TEST(Store, OpeningAnOldDatabaseReplacesItsSecurityQueryOnceAndKeepsTheRows)
{
    TempDatabase temp;
    {
        auto db = temp.Open();
        db->ExecuteScript(QStringLiteral(
            "insert into dat_corp_info (corpid, class, type) values ('U1', 11, 10), ('U2', 11, 10);\n"
            "insert into dat_corp_security (corpid, corparea) values ('U1', 5);\n"
            "drop view corpsecurity;\n"
            "create view corpsecurity as select c.corpid, c.class, c.type, s.corparea "
            "from dat_corp_info c left join dat_corp_security s on s.corpid = c.corpid;\n"
            "drop table imp_message;\n"
            "drop table imp_file;\n"
            "drop table imp_batch;\n"));
    }
    const QString rows = temp.Snapshot();
    // Programs opening the old database at once: one replaces the query, the others find it done.
    std::vector<std::thread> programs;
    std::atomic<int> failures{0};
    for (int k = 0; k < 4; ++k)
        programs.emplace_back(
            [&]
            {
                try
                {
                    temp.Open();
                }
                catch (const CorvaneError&)
                {
                    ++failures;
                }
            });
    for (std::thread& program : programs)
        program.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from corpsecurity")).toInt(), 1);
    EXPECT_TRUE(temp.Scalar(QStringLiteral("select damagedtimes from corpsecurity")).isNull())
        << "the whole query of the store, not just the join";
    const QString definition = temp.Scalar(QStringLiteral("select sql from sqlite_master where name = "
                                                          "'corpsecurity'"))
                                   .toString();
    EXPECT_FALSE(definition.contains(QStringLiteral("left join"), Qt::CaseInsensitive));
    // The import ledger of later versions is added.
    EXPECT_EQ(
        temp.Scalar(QStringLiteral("select count(*) from sqlite_master where type = 'table' and name in "
                                   "('imp_batch', 'imp_file', 'imp_message')"))
            .toInt(),
        3);
    EXPECT_EQ(temp.Snapshot(), rows);
    temp.Open(); // up to date: opened as it is
    EXPECT_EQ(temp.Scalar(QStringLiteral("select sql from sqlite_master where name = 'corpsecurity'")),
              definition);
}

TEST(Store, UniqueKeysRefuseASecondRowPerUnitOrProject)
{
    TempDatabase temp;
    auto db = temp.Open();
    db->Execute(QStringLiteral("insert into dat_corp_info (corpid) values ('U1')")).finish();
    EXPECT_THROW(db->Execute(QStringLiteral("insert into dat_corp_info (corpid) values ('U1')")),
                 CorvaneError);
    db->Execute(QStringLiteral("insert into dat_project_fund (projectid) values ('P')")).finish();
    EXPECT_THROW(db->Execute(QStringLiteral("insert into dat_project_fund (projectid) values ('P')")),
                 CorvaneError);
}

TEST(InitDb, CreatesADatabaseOnceAndRefusesToOverwrite)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/x");
    QDir().mkpath(folder);
    auto run = [&](const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(CORVANE_CLI),
                      QStringList{QStringLiteral("--app-folder"), dir.path()} + arguments);
        process.waitForFinished(30000);
        return std::make_pair(process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()));
    };
    const auto first = run({QStringLiteral("init-db"), folder});
    EXPECT_EQ(first.first, 0) << first.second.toStdString();
    EXPECT_TRUE(first.second.startsWith(QStringLiteral("配置文件错误，请重新配置\n")));
    const QByteArray before = [&]
    {
        QFile file(folder + QStringLiteral("/wenwu.mdb"));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    EXPECT_FALSE(before.isEmpty());

    const auto second = run({QStringLiteral("init-db"), folder});
    EXPECT_EQ(second.first, 1);
    EXPECT_TRUE(second.second.contains(QStringLiteral("数据库文件已存在")));
    QFile after(folder + QStringLiteral("/wenwu.mdb"));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);

    EXPECT_EQ(run({QStringLiteral("no-such-command")}).first, 2);
    EXPECT_EQ(run({QStringLiteral("init-db")}).first, 2); // no folder: neither DIR, config nor --local-path
}
