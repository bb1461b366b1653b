#include "ReportXml.h"
#include "import/ImportProjectFiles.h"
#include "services/XmlAccess.h"
#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

namespace
{
const QString kKey = QStringLiteral("U01_P07");
const QString kFailed = QStringLiteral("导入项目U01_P07信息失败:");

using Section = bool (*)(Database&, const XmlNode&, const QString&, const ProjectDictionaries&, MessageSink&);

class ProjectSection : public ::testing::Test
{
protected:
    void SetUp() override { dictionaries = LoadProjectDictionaries(*db, sink); }

    bool Run(Section section, const ReportXml& xml)
    {
        XmlDocument doc;
        EXPECT_TRUE(doc.ParseText(xml.Bytes()));
        return section(*db, doc.Root(), kKey, dictionaries, sink);
    }

    // The values of one column of the project's rows, in the order they were written.
    QVariantList Column(const QString& table, const QString& column)
    {
        QSqlQuery& query = db->Execute(
            QStringLiteral("SELECT %1 FROM %2 WHERE projectid = ? ORDER BY rowid").arg(column, table),
            {kKey});
        QVariantList values;
        while (query.next())
            values.append(query.value(0));
        query.finish();
        return values;
    }

    QVariant Value(const QString& table, const QString& column) { return Column(table, column).value(0); }

    TempDatabase temp;
    std::unique_ptr<Database> db = temp.Open();
    RecordingSink sink;
    ProjectDictionaries dictionaries;
};

ReportXml Project()
{
    return ReportXml::Project(QStringLiteral("U01"), QStringLiteral("P07"));
}
} // namespace

TEST_F(ProjectSection, InfoWritesEveryColumnFromItsPath)
{
    struct Case
    {
        const char* path;
        const char* column;
        QString text;
        QVariant expected;
    };
    const Case cases[] = {
        {"Report/ReportInfo/CorpID", "corpid", QStringLiteral("U01"), QStringLiteral("U01")},
        {"Report/BasicInfo/ProjectName", "name", QStringLiteral(" 古塔维修 "), QStringLiteral("古塔维修")},
        {"Report/BasicInfo/PreserveContent", "preserve", QStringLiteral("塔身"), QStringLiteral("塔身")},
        {"Report/BasicInfo/CurrentProblem", "problem", QStringLiteral("倾斜"), QStringLiteral("倾斜")},
        {"Report/BasicInfo/ProjectContent", "content", QStringLiteral("加固"), QStringLiteral("加固")},
        {"Report/BasicInfo/Remark", "remark", QStringLiteral("无"), QStringLiteral("无")},
        {"Report/ReportInfo/ReportDate", "reportdate", QStringLiteral("2005-12-12"),
         QStringLiteral("2005-12-12")},
        {"Report/BasicInfo/SalvageItem/NewDepotArea", "newdepotarea", QStringLiteral("120.5"), 120.5},
        {"Report/BasicInfo/SalvageItem/ProtectionContent", "protectioncontent", QStringLiteral("库房"),
         QStringLiteral("库房")},
        {"Report/BasicInfo/SalvageItem/RelicProtectionArea", "rparea", QStringLiteral("30"), 30.0},
        {"Report/BasicInfo/SalvageItem/RelicProtectionContent", "rpcontent", QStringLiteral("围栏"),
         QStringLiteral("围栏")},
        {"Report/BasicInfo/AssitantItem/ProtectionArea", "protectionarea", QStringLiteral("7.25"), 7.25},
        {"Report/BasicInfo/ProjectType", "type", QStringLiteral("12"), 12},
        {"Report/BasicInfo/ProjectAttribute", "attribute", QStringLiteral("4"), 4},
    };
    ReportXml xml = Project();
    for (const Case& c : cases)
        xml.Set(QLatin1String(c.path), c.text);

    EXPECT_TRUE(Run(ImportProjectInfo, xml));
    EXPECT_TRUE(sink.messages.isEmpty());
    for (const Case& c : cases)
        EXPECT_EQ(Value(QStringLiteral("dat_project_info"), QLatin1String(c.column)), c.expected) << c.column;
}

TEST_F(ProjectSection, InfoStoresUnknownProjectTypeUnchanged)
{
    EXPECT_TRUE(Run(ImportProjectInfo, Project().Set(QStringLiteral("Report/BasicInfo/ProjectType"), "99")));
    EXPECT_EQ(Value(QStringLiteral("dat_project_info"), QStringLiteral("type")).toInt(), 99);
}

TEST_F(ProjectSection, InfoReportsRefusedAreaOnceAndWritesTheOtherColumns)
{
    EXPECT_FALSE(
        Run(ImportProjectInfo,
            Project()
                .Set(QStringLiteral("Report/BasicInfo/ProjectName"), QStringLiteral("古塔维修"))
                .Set(QStringLiteral("Report/BasicInfo/SalvageItem/NewDepotArea"), QStringLiteral("大约十"))));
    ASSERT_EQ(sink.messages.size(), 1);
    EXPECT_TRUE(sink.messages[0].startsWith(kFailed)) << sink.messages[0].toStdString();
    EXPECT_TRUE(sink.messages[0].contains(QStringLiteral("大约十")));
    EXPECT_TRUE(Value(QStringLiteral("dat_project_info"), QStringLiteral("newdepotarea")).isNull());
    EXPECT_EQ(Value(QStringLiteral("dat_project_info"), QStringLiteral("name")).toString(),
              QStringLiteral("古塔维修"));
}

TEST_F(ProjectSection, InfoOverwritesEarlierValueWithEmptyText)
{
    Run(ImportProjectInfo, Project().Set(QStringLiteral("Report/BasicInfo/Remark"), QStringLiteral("旧")));
    EXPECT_TRUE(Run(ImportProjectInfo, Project()));
    EXPECT_EQ(Column(QStringLiteral("dat_project_info"), QStringLiteral("remark")), QVariantList{QString()});
}

TEST_F(ProjectSection, FundWritesInvestmentAndTheFiveYearsInOrder)
{
    ReportXml xml = Project();
    xml.Set(QStringLiteral("Report/FundDemand/Investment/State"), QStringLiteral("30.5"))
        .Set(QStringLiteral("Report/FundDemand/Investment/Local"), QStringLiteral("4"))
        .Set(QStringLiteral("Report/FundDemand/Investment/Other"), QStringLiteral("1.25"))
        .Set(QStringLiteral("Report/FundDemand/Demand/Total"), QStringLiteral("35.75"));
    // Written out of order, with a year outside the plan period that must not be read.
    for (int year : {2011, 2010, 2009, 2008, 2007, 2006})
    {
        xml.Set(QStringLiteral("Report/FundDemand/Demand/State/Year%1").arg(year),
                QString::number(year - 2000));
        xml.Set(QStringLiteral("Report/FundDemand/Demand/Local/Year%1").arg(year),
                QString::number(year - 1900));
    }

    EXPECT_TRUE(Run(ImportProjectFund, xml));
    EXPECT_TRUE(sink.messages.isEmpty());
    EXPECT_EQ(Value(QStringLiteral("dat_project_fund"), QStringLiteral("stateinvest")).toDouble(), 30.5);
    EXPECT_EQ(Value(QStringLiteral("dat_project_fund"), QStringLiteral("localinvest")).toDouble(), 4.0);
    EXPECT_EQ(Value(QStringLiteral("dat_project_fund"), QStringLiteral("otherinvest")).toDouble(), 1.25);
    EXPECT_EQ(Value(QStringLiteral("dat_project_fund"), QStringLiteral("totalfund")).toDouble(), 35.75);
    const QString detail = QStringLiteral("dat_project_fund_detail");
    EXPECT_EQ(Column(detail, QStringLiteral("year")), (QVariantList{2006, 2007, 2008, 2009, 2010}));
    EXPECT_EQ(Column(detail, QStringLiteral("state")), (QVariantList{6.0, 7.0, 8.0, 9.0, 10.0}));
    EXPECT_EQ(Column(detail, QStringLiteral("local")), (QVariantList{106.0, 107.0, 108.0, 109.0, 110.0}));
}

TEST_F(ProjectSection, FundRefusedYearAmountLeavesThatColumnEmptyAndWritesAllRows)
{
    EXPECT_FALSE(
        Run(ImportProjectFund,
            Project()
                .Set(QStringLiteral("Report/FundDemand/Demand/State/Year2007"), QStringLiteral("abc"))
                .Set(QStringLiteral("Report/FundDemand/Demand/Local/Year2007"), QStringLiteral("2"))));
    ASSERT_EQ(sink.messages.size(), 1);
    EXPECT_TRUE(sink.messages[0].startsWith(kFailed));
    EXPECT_TRUE(sink.messages[0].contains(QStringLiteral("abc")));
    const QString detail = QStringLiteral("dat_project_fund_detail");
    EXPECT_EQ(Column(detail, QStringLiteral("year")).size(), 5);
    EXPECT_TRUE(Column(detail, QStringLiteral("state"))[1].isNull());
    EXPECT_EQ(Column(detail, QStringLiteral("local"))[1].toDouble(), 2.0);
}

TEST_F(ProjectSection, FundRefusedInvestmentStillWritesTheYears)
{
    EXPECT_FALSE(Run(ImportProjectFund, Project().Set(QStringLiteral("Report/FundDemand/Investment/Other"),
                                                      QStringLiteral("n/a"))));
    EXPECT_EQ(sink.messages.size(), 1);
    EXPECT_EQ(Column(QStringLiteral("dat_project_fund"), QStringLiteral("projectid")), QVariantList{kKey});
    EXPECT_EQ(Column(QStringLiteral("dat_project_fund_detail"), QStringLiteral("year")).size(), 5);
}

TEST_F(ProjectSection, BudgetReadsEveryItemFromItsOwnPaths)
{
    struct Item
    {
        int type;
        const char* total;
        const char* state;
    };
    const Item items[] = {
        {11, "Report/BudgetDetail/RelicRepairment/Preparation/Total",
         "Report/BudgetDetail/RelicRepairment/Preparation/State"},
        {12, "Report/BudgetDetail/RelicRepairment/Construction/Total",
         "Report/BudgetDetail/RelicRepairment/Construction/State"},
        {13, "Report/BudgetDetail/RelicRepairment/Estate/Total",
         "Report/BudgetDetail/RelicRepairment/Estate/State"},
        {14, "Report/BudgetDetail/RelicRepairment/Enviroment/Total",
         "Report/BudgetDetail/RelicRepairment/Enviroment/State"},
        {15, "Report/BudgetDetail/RelicRepairment/Traffic/Total",
         "Report/BudgetDetail/RelicRepairment/Traffic/State"},
        {16, "Report/BudgetDetail/RelicRepairment/Other/Total",
         "Report/BudgetDetail/RelicRepairment/Other/State"},
        {21, "Report/BudgetDetail/UnEarth/Preparation/Total",
         "Report/BudgetDetail/UnEarth/Preparation/State"},
        {22, "Report/BudgetDetail/UnEarth/UnEarth/Total", "Report/BudgetDetail/UnEarth/UnEarth/State"},
        {23, "Report/BudgetDetail/UnEarth/Report/Total", "Report/BudgetDetail/UnEarth/Report/State"},
        {24, "Report/BudgetDetail/UnEarth/Protection/Total", "Report/BudgetDetail/UnEarth/Protection/State"},
        {25, "Report/BudgetDetail/UnEarth/Other/Total", "Report/BudgetDetail/UnEarth/Other/State"},
        {31, "Report/BudgetDetail/DepotRepairment/Preparation/Total",
         "Report/BudgetDetail/DepotRepairment/Preparation/State"},
        {32, "Report/BudgetDetail/DepotRepairment/Construction/Total",
         "Report/BudgetDetail/DepotRepairment/Construction/State"},
        {33, "Report/BudgetDetail/DepotRepairment/Other/Total",
         "Report/BudgetDetail/DepotRepairment/Other/State"},
        {41, "Report/BudgetDetail/RelicPurchase/Total", "Report/BudgetDetail/RelicPurchase/State"},
        {51, "Report/BudgetDetail/FireSecurity/Design/Total",
         "Report/BudgetDetail/FireSecurity/Design/State"},
        {52, "Report/BudgetDetail/FireSecurity/Purchase/Total",
         "Report/BudgetDetail/FireSecurity/Purchase/State"},
        {53, "Report/BudgetDetail/FireSecurity/Construction/Total",
         "Report/BudgetDetail/FireSecurity/Construction/State"},
        {54, "Report/BudgetDetail/FireSecurity/Other/Total", "Report/BudgetDetail/FireSecurity/Other/State"},
        {61, "Report/BudgetDetail/RelicProtection/Design/Total",
         "Report/BudgetDetail/RelicProtection/Design/State"},
        {62, "Report/BudgetDetail/RelicProtection/Repairment/Total",
         "Report/BudgetDetail/RelicProtection/Repairment/State"},
        {63, "Report/BudgetDetail/RelicProtection/Other/Total",
         "Report/BudgetDetail/RelicProtection/Other/State"},
        {71, "Report/BudgetDetail/GreatSiteProtection/Construction/Total",
         "Report/BudgetDetail/GreatSiteProtection/Construction/State"},
        {72, "Report/BudgetDetail/GreatSiteProtection/Purchase/Total",
         "Report/BudgetDetail/GreatSiteProtection/Purchase/State"},
        {73, "Report/BudgetDetail/GreatSiteProtection/Other/Total",
         "Report/BudgetDetail/GreatSiteProtection/Other/State"},
        {81, "Report/BudgetDetail/DepotConstruction/Construction/Total",
         "Report/BudgetDetail/DepotConstruction/Construction/State"},
        {82, "Report/BudgetDetail/DepotConstruction/Purchase/Total",
         "Report/BudgetDetail/DepotConstruction/Purchase/State"},
        {83, "Report/BudgetDetail/DepotConstruction/Other/Total",
         "Report/BudgetDetail/DepotConstruction/Other/State"},
    };
    ReportXml xml = Project();
    // An element outside the table is not read.
    xml.Set(QStringLiteral("Report/BudgetDetail/RelicRepairment/Unknown/Total"), QStringLiteral("1"));
    QVariantList types, totals, states;
    for (const Item& item : items)
    {
        xml.Set(QLatin1String(item.total), QString::number(item.type * 10));
        xml.Set(QLatin1String(item.state), QString::number(item.type));
        types.append(item.type);
        totals.append(double(item.type * 10));
        states.append(double(item.type));
    }

    EXPECT_TRUE(Run(ImportProjectBudget, xml));
    EXPECT_TRUE(sink.messages.isEmpty());
    const QString budget = QStringLiteral("dat_project_budget");
    EXPECT_EQ(Column(budget, QStringLiteral("type")), types);
    EXPECT_EQ(Column(budget, QStringLiteral("total")), totals);
    EXPECT_EQ(Column(budget, QStringLiteral("state")), states);
}

TEST_F(ProjectSection, BudgetRefusedAmountLeavesThatColumnEmptyAndWritesAllRows)
{
    EXPECT_FALSE(
        Run(ImportProjectBudget,
            Project()
                .Set(QStringLiteral("Report/BudgetDetail/RelicPurchase/Total"), QStringLiteral("十万"))
                .Set(QStringLiteral("Report/BudgetDetail/RelicPurchase/State"), QStringLiteral("3"))));
    ASSERT_EQ(sink.messages.size(), 1);
    EXPECT_TRUE(sink.messages[0].startsWith(kFailed));
    const QString budget = QStringLiteral("dat_project_budget");
    ASSERT_EQ(Column(budget, QStringLiteral("type")).size(), 28);
    EXPECT_EQ(Column(budget, QStringLiteral("type"))[14].toInt(), 41);
    EXPECT_TRUE(Column(budget, QStringLiteral("total"))[14].isNull());
    EXPECT_EQ(Column(budget, QStringLiteral("state"))[14].toDouble(), 3.0);
}

// A failure inside a row replacement keeps the project's old rows, never old and new together.
struct ReplacementFailure
{
    const char* name;
    Section section;
    const char* table;
    const char* trigger;
    const char* amountPath; // an amount of the replaced rows, changed by the second import
    const char* amountColumn;
};

class RowReplacement : public ProjectSection, public ::testing::WithParamInterface<ReplacementFailure>
{
};

TEST_P(RowReplacement, FailureKeepsExactlyTheOldRows)
{
    const ReplacementFailure& failure = GetParam();
    const QString table = QLatin1String(failure.table);
    const QString amount = QLatin1String(failure.amountColumn);
    ASSERT_TRUE(Run(failure.section, Project().Set(QLatin1String(failure.amountPath), QStringLiteral("1"))));
    const QVariantList rowsBefore = Column(table, QStringLiteral("rowid"));
    const QVariantList amountsBefore = Column(table, amount);

    db->Execute(QString::fromUtf8(failure.trigger)).finish();
    EXPECT_FALSE(Run(failure.section, Project().Set(QLatin1String(failure.amountPath), QStringLiteral("2"))));

    EXPECT_EQ(sink.messages, QStringList{kFailed + QStringLiteral("拒绝")});
    EXPECT_EQ(Column(table, QStringLiteral("rowid")), rowsBefore);
    EXPECT_EQ(Column(table, amount), amountsBefore);
    EXPECT_EQ(amountsBefore.value(0).toDouble(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    ProjectSection, RowReplacement,
    ::testing::Values(
        ReplacementFailure{"BudgetInsert", ImportProjectBudget, "dat_project_budget",
                           "CREATE TRIGGER t BEFORE INSERT ON dat_project_budget WHEN NEW.type = 53 "
                           "BEGIN SELECT RAISE(ABORT, '拒绝'); END",
                           "Report/BudgetDetail/RelicRepairment/Preparation/Total", "total"},
        ReplacementFailure{"BudgetDelete", ImportProjectBudget, "dat_project_budget",
                           "CREATE TRIGGER t BEFORE DELETE ON dat_project_budget "
                           "BEGIN SELECT RAISE(ABORT, '拒绝'); END",
                           "Report/BudgetDetail/RelicRepairment/Preparation/Total", "total"},
        ReplacementFailure{"YearInsert", ImportProjectFund, "dat_project_fund_detail",
                           "CREATE TRIGGER t BEFORE INSERT ON dat_project_fund_detail WHEN NEW.year = 2010 "
                           "BEGIN SELECT RAISE(ABORT, '拒绝'); END",
                           "Report/FundDemand/Demand/State/Year2006", "state"},
        ReplacementFailure{"YearDelete", ImportProjectFund, "dat_project_fund_detail",
                           "CREATE TRIGGER t BEFORE DELETE ON dat_project_fund_detail "
                           "BEGIN SELECT RAISE(ABORT, '拒绝'); END",
                           "Report/FundDemand/Demand/State/Year2006", "state"}),
    [](const ::testing::TestParamInfo<ReplacementFailure>& param) { return std::string(param.param.name); });

TEST(ProjectKey, JoinsTrimmedUnitIdAndProjectIdWithAnUnderscore)
{
    struct Case
    {
        QString corpId; // null: element left out
        QString projectId;
        QString key;
    };
    const Case cases[] = {
        {QStringLiteral("U01"), QStringLiteral("P07"), QStringLiteral("U01_P07")},
        {QStringLiteral(" U01\n"), QStringLiteral("\tP07 "), QStringLiteral("U01_P07")},
        {QString(), QStringLiteral("P07"), QStringLiteral("_P07")},
        {QStringLiteral("U01"), QString(), QStringLiteral("U01_")},
        {QString(), QString(), QStringLiteral("_")},
        {QStringLiteral("O'Neil"), QStringLiteral("1"), QStringLiteral("O'Neil_1")},
    };
    for (const Case& c : cases)
    {
        ReportXml xml;
        xml.Set(QStringLiteral("Report/BasicInfo/ProjectName"), QStringLiteral("古塔"));
        if (!c.corpId.isNull())
            xml.Set(QStringLiteral("Report/ReportInfo/CorpID"), c.corpId);
        if (!c.projectId.isNull())
            xml.Set(QStringLiteral("Report/BasicInfo/ProjectID"), c.projectId);
        XmlDocument doc;
        ASSERT_TRUE(doc.ParseText(xml.Bytes()));
        EXPECT_EQ(ProjectKey(doc.Root()), c.key) << c.key.toStdString();
    }
}
