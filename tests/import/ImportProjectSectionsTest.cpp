#include "ImportFixture.h"
#include "ReportXml.h"
#include "import/ImportProjectFiles.h"
#include "services/XmlAccess.h"

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
} // namespace

TEST_F(ProjectSection, InfoWritesEveryColumnFromItsPath)
{
    // Element, column, and a text that the column gives back unchanged.
    const char* const cases[][3] = {
        {"Report/ReportInfo/CorpID", "corpid", "U01"},
        {"Report/BasicInfo/ProjectName", "name", "古塔维修"},
        {"Report/BasicInfo/PreserveContent", "preserve", "塔身"},
        {"Report/BasicInfo/CurrentProblem", "problem", "倾斜"},
        {"Report/BasicInfo/ProjectContent", "content", "加固"},
        {"Report/BasicInfo/Remark", "remark", "无"},
        {"Report/ReportInfo/ReportDate", "reportdate", "2005-12-12"},
        {"Report/BasicInfo/SalvageItem/NewDepotArea", "newdepotarea", "120.5"},
        {"Report/BasicInfo/SalvageItem/ProtectionContent", "protectioncontent", "库房"},
        {"Report/BasicInfo/SalvageItem/RelicProtectionArea", "rparea", "30"},
        {"Report/BasicInfo/SalvageItem/RelicProtectionContent", "rpcontent", "围栏"},
        {"Report/BasicInfo/AssitantItem/ProtectionArea", "protectionarea", "7.25"},
        {"Report/BasicInfo/ProjectType", "type", "12"},
        {"Report/BasicInfo/ProjectAttribute", "attribute", "4"},
    };
    ReportXml xml = ReportXml::Project();
    for (const auto& [path, column, text] : cases)
        xml.Set(QLatin1String(path), QString::fromUtf8(text));

    EXPECT_TRUE(Run(ImportProjectInfo, xml));
    EXPECT_TRUE(sink.messages.isEmpty());
    for (const auto& [path, column, text] : cases)
        EXPECT_EQ(Value(QStringLiteral("dat_project_info"), QLatin1String(column)).toString(),
                  QString::fromUtf8(text))
            << path;
}

TEST_F(ProjectSection, FundWritesInvestmentAndTheFiveYearsInOrder)
{
    ReportXml xml = ReportXml::Project();
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

TEST_F(ProjectSection, FundRefusedInvestmentStillWritesTheYears)
{
    EXPECT_FALSE(
        Run(ImportProjectFund, ReportXml::Project().Set(QStringLiteral("Report/FundDemand/Investment/Other"),
                                                        QStringLiteral("n/a"))));
    EXPECT_EQ(sink.messages.size(), 1);
    EXPECT_EQ(Column(QStringLiteral("dat_project_fund"), QStringLiteral("projectid")), QVariantList{kKey});
    EXPECT_EQ(Column(QStringLiteral("dat_project_fund_detail"), QStringLiteral("year")).size(), 5);
}

TEST_F(ProjectSection, BudgetReadsEveryItemFromItsOwnPaths)
{
    // Each item's code and the element under BudgetDetail that holds its Total and State.
    const QStringList items =
        QStringLiteral(
            "11 RelicRepairment/Preparation 12 RelicRepairment/Construction 13 RelicRepairment/Estate "
            "14 RelicRepairment/Enviroment 15 RelicRepairment/Traffic 16 RelicRepairment/Other "
            "21 UnEarth/Preparation 22 UnEarth/UnEarth 23 UnEarth/Report 24 UnEarth/Protection "
            "25 UnEarth/Other 31 DepotRepairment/Preparation 32 DepotRepairment/Construction "
            "33 DepotRepairment/Other 41 RelicPurchase 51 FireSecurity/Design 52 FireSecurity/Purchase "
            "53 FireSecurity/Construction 54 FireSecurity/Other 61 RelicProtection/Design "
            "62 RelicProtection/Repairment 63 RelicProtection/Other 71 GreatSiteProtection/Construction "
            "72 GreatSiteProtection/Purchase 73 GreatSiteProtection/Other 81 DepotConstruction/Construction "
            "82 DepotConstruction/Purchase 83 DepotConstruction/Other")
            .split(QLatin1Char(' '));
    // An element outside the table is not read.
    ReportXml xml = ReportXml::Project().Set(
        QStringLiteral("Report/BudgetDetail/RelicRepairment/Unknown/Total"), QStringLiteral("1"));
    QVariantList types, totals, states;
    for (qsizetype i = 0; i < items.size(); i += 2)
    {
        const int type = items[i].toInt();
        const QString path = QStringLiteral("Report/BudgetDetail/") + items[i + 1];
        xml.Set(path + QStringLiteral("/Total"), QString::number(type * 10));
        xml.Set(path + QStringLiteral("/State"), QString::number(type));
        types.append(type);
        totals.append(double(type * 10));
        states.append(double(type));
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
            ReportXml::Project()
                .Set(QStringLiteral("Report/BudgetDetail/RelicPurchase/Total"), QStringLiteral("十万"))
                .Set(QStringLiteral("Report/BudgetDetail/RelicPurchase/State"), QStringLiteral("3"))));
    // Named as it stands in the file, not by the column it was meant for.
    EXPECT_EQ(
        sink.messages,
        QStringList{kFailed + QStringLiteral("BudgetDetail/RelicPurchase/Total 的值 \"十万\" 不是数字")});
    const QString budget = QStringLiteral("dat_project_budget");
    ASSERT_EQ(Column(budget, QStringLiteral("type")).size(), 28);
    EXPECT_EQ(Column(budget, QStringLiteral("type"))[14].toInt(), 41);
    EXPECT_TRUE(Column(budget, QStringLiteral("total"))[14].isNull());
    EXPECT_EQ(Column(budget, QStringLiteral("state"))[14].toDouble(), 3.0);
}

// A failure inside a row replacement, in its delete or in its insert, keeps the project's old
// rows, never old and new together.
struct ReplacementFailure
{
    const char* name;
    const char* trigger;
    friend void PrintTo(const ReplacementFailure& c, std::ostream* out) { *out << c.name; }
};

class RowReplacement : public ProjectSection, public ::testing::WithParamInterface<ReplacementFailure>
{
};

TEST_P(RowReplacement, FailureKeepsExactlyTheOldRows)
{
    const QString table = QStringLiteral("dat_project_budget");
    const QString path = QStringLiteral("Report/BudgetDetail/RelicRepairment/Preparation/Total");
    ASSERT_TRUE(Run(ImportProjectBudget, ReportXml::Project().Set(path, QStringLiteral("1"))));
    const QVariantList rowsBefore = Column(table, QStringLiteral("rowid"));
    const QVariantList amountsBefore = Column(table, QStringLiteral("total"));

    db->Execute(QString::fromUtf8(GetParam().trigger)).finish();
    EXPECT_FALSE(Run(ImportProjectBudget, ReportXml::Project().Set(path, QStringLiteral("2"))));

    EXPECT_EQ(sink.messages, QStringList{kFailed + QStringLiteral("拒绝")});
    EXPECT_EQ(Column(table, QStringLiteral("rowid")), rowsBefore);
    EXPECT_EQ(Column(table, QStringLiteral("total")), amountsBefore);
    EXPECT_EQ(amountsBefore.value(0).toDouble(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    ProjectSection, RowReplacement,
    ::testing::Values(ReplacementFailure{"Insert", "CREATE TRIGGER t BEFORE INSERT ON "
                                                   "dat_project_budget WHEN NEW.type = 53 "
                                                   "BEGIN SELECT RAISE(ABORT, '拒绝'); END"},
                      ReplacementFailure{"Delete", "CREATE TRIGGER t BEFORE DELETE ON "
                                                   "dat_project_budget "
                                                   "BEGIN SELECT RAISE(ABORT, '拒绝'); END"}),
    CaseName<ReplacementFailure>);

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
