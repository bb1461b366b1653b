#include "reports/GenerateReports.h"
#include "reports/ReportCells.h"
#include "reports/ReportRows.h"
#include "reports/ReportWriters.h"

#include "FakeWorkbook.h"
#include "ReportDatabase.h"
#include "xls/XlsTestFiles.h"

#include <QMap>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace
{
class FundDemandSheets : public ::testing::Test
{
protected:
    double At(int sheet, int col, int row) const { return book.Number(sheet, col, row).value_or(0.0); }
    // A unit and one project of it with its fund row (state, local, other, total).
    void Project(const QString& id, const QString& corpid, int type, QVariantList fund, int attribute = 2)
    {
        data.AddProject(id, corpid, "项目" + id, type, {{"attribute", attribute}}, fund);
    }

    ReportDatabase data{false};
    FakeWorkbook book;
    RecordingSink sink;
};

TEST_F(FundDemandSheets, AttributeSheetSplitsDemandByUnitAndProjectClass)
{
    data.AddUnit("A", "甲", 10, 12);
    data.AddUnit("B", "乙", 10, 13);
    data.AddUnit("C", "丙", 20, 14);
    data.AddUnit("D", "丁", 20, 15);
    data.AddUnit("E", "戊", 30, 21);
    data.AddUnit("F", "己", 30, 20);
    Project("A1", "A", 11, {0, 0, 0, 10});
    Project("B1", "B", 11, {0, 0, 0, 5});
    Project("C5", "C", 51, {0, 0, 0, 7});
    Project("D5", "D", 51, {0, 0, 0, 3});
    Project("E3", "E", 31, {0, 0, 0, 4});
    Project("F5", "F", 51, {0, 0, 0, 6});
    Project("A2", "A", 22, {0, 0, 0, 9});
    Project("A4", "A", 41, {0, 0, 0, 2});
    Project("A6", "A", 61, {0, 0, 0, 1});
    Project("A8", "A", 81, {0, 0, 0, 1000});
    book.At(0).Preset(8, 6, 100.0); // a number the template holds in a cell that is added to
    {
        auto db = data.Open();
        WriteAttributeSheet(*db, book);
    }

    const std::pair<int, double> expected[] = {
        {1, 9},  {2, 47},  {3, 27}, {8, 115}, {12, 10}, {20, 10}, {21, 9},
        {23, 9}, {31, 10}, {34, 4}, {33, 6},  {38, 2},  {39, 1},
    };
    for (const auto& [col, value] : expected)
        EXPECT_EQ(At(0, col, 6), value) << "column " << col;
    for (int col : {0, 4, 5, 6, 7, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 22, 32, 35, 36, 37})
        EXPECT_FALSE(book.Written(0, col, 6)) << "column " << col;
    for (int row : {5, 7, 8, 9, 10})
        for (int col = 0; col < 40; ++col)
            EXPECT_FALSE(book.Written(0, col, row)) << "an attribute without projects: row " << row;
}

// The sheet's queries read a copy of the projects that lives as long as the sheet is written: the
// same connection can write the sheet again, and sees the projects as they are then.
TEST_F(FundDemandSheets, AttributeSheetCanBeWrittenTwiceOnOneConnection)
{
    data.AddUnit("A", "甲", 10, 11);
    Project("A1", "A", 11, {0, 0, 0, 10});
    auto db = data.Open();
    WriteAttributeSheet(*db, book);
    EXPECT_EQ(At(0, 2, 6), 10.0);
    Project("A2", "A", 51, {0, 0, 0, 5});
    FakeWorkbook again;
    WriteAttributeSheet(*db, again);
    EXPECT_EQ(again.Number(0, 2, 6), 15.0);
    EXPECT_EQ(again.Number(0, 5, 6), 5.0) << "unit class 11, project class 5";
    QSqlQuery& copies = db->Execute("select count(*) from sqlite_temp_master");
    ASSERT_TRUE(copies.next());
    EXPECT_EQ(copies.value(0).toInt(), 0) << "the copy goes with the sheet";
    copies.finish();
}

class FundDetailSheet : public FundDemandSheets
{
protected:
    FundDetailSheet()
    {
        data.AddUnit("U11", "国保单位", 10, 11);
        data.AddUnit("U12", "省保单位", 10, 12);
        data.AddUnit("U14", "县保单位", 10, 14);
        data.AddUnit("U15", "未定级", 20, 15);
        data.AddUnit("M20", "一级博物馆", 30, 20, 10);
        Project("P1a", "U11", 11, {10, 20, 5, 40});
        data.AddFundYear("P1a", 2006, 1, 2);
        data.AddFundYear("P1a", 2007, 3, 4);
        Project("P1b", "U14", 12, {1, 1, 1, 3});
        data.AddFundYear("P1b", 2006, 5, 6);
        Project("P1c", "U15", 13, {2, 2, 2, 6});
        data.AddFundYear("P1c", 2006, 7, 8);
        Project("P7", "U12", 71, {3, 3, 3, 9});
        data.AddFundYear("P7", 2010, 9, 10);
        Project("P4", "U11", 41, {4, 4, 4, 12});
        data.AddFundYear("P4", 2008, 11, 12);
        Project("P6", "U11", 61, {6, 6, 6, 18});
        data.AddFundYear("P6", 2009, 13, 14);
        Project("P5", "M20", 51, {1, 2, 3, 6});
        data.AddFundYear("P5", 2006, 2, 2);
    }
    void Run()
    {
        auto db = data.Open();
        WriteFundDetailSheet(*db, book);
    }
};

TEST_F(FundDetailSheet, GroupRowsHoldTheSumsOfTheirMemberRows)
{
    Run();
    for (int col = 1; col <= 18; ++col)
    {
        EXPECT_EQ(At(1, col, 4), At(1, col, 5) + At(1, col, 10)) << "row 4, column " << col;
        EXPECT_EQ(At(1, col, 14), At(1, col, 15) + At(1, col, 16)) << "row 14, column " << col;
    }
    EXPECT_EQ(At(1, 1, 4), 4.0);
    EXPECT_EQ(At(1, 6, 14), 30.0);
}

TEST_F(FundDetailSheet, UnitClasses14And15ShareRow9)
{
    Run();
    EXPECT_EQ(At(1, 1, 9), 2.0);
    EXPECT_EQ(At(1, 2, 9), 9.0);
    EXPECT_EQ(At(1, 6, 9), 9.0);
    EXPECT_EQ(At(1, 8, 9), 12.0);
    EXPECT_EQ(At(1, 14, 9), 14.0);
    EXPECT_EQ(At(1, 7, 9), 12.0);
}

TEST_F(FundDetailSheet, AllYearsColumnsSumTheYearColumns)
{
    Run();
    for (int row : {5, 6, 9, 10, 12, 15, 16, 21, 22, 25})
    {
        double state = 0;
        double local = 0;
        for (int col = 8; col <= 12; ++col)
        {
            state += At(1, col, row);
            local += At(1, col + 6, row);
        }
        EXPECT_EQ(At(1, 7, row), state) << "row " << row;
        EXPECT_EQ(At(1, 13, row), local) << "row " << row;
    }
    EXPECT_EQ(At(1, 7, 5), 16.0);
    EXPECT_EQ(At(1, 8, 22), 2.0) << "risk level 10";
    EXPECT_EQ(At(1, 1, 25), 1.0) << "class 5, museum of unit class 20";
}

TEST_F(FundDetailSheet, TemplateNumbersInAddedCellsArePartOfTheResult)
{
    book.At(1).Preset(7, 6, 100.0);
    book.At(1).Preset(1, 4, 1000.0);
    book.At(1).Preset(3, 5, 50.0); // a set cell: replaced
    Run();
    EXPECT_EQ(At(1, 7, 6), 104.0);
    EXPECT_EQ(At(1, 1, 4), 1004.0);
    EXPECT_EQ(At(1, 3, 5), 13.0);
    EXPECT_FALSE(book.Written(1, 1, 13)) << "no project of class 2";
}

// The class-and-year rows are summed in the program, not read from the view funddetailall that
// the database keeps for other readers: the two must agree.
TEST_F(FundDetailSheet, ClassYearCellsAgreeWithTheViewFunddetailall)
{
    data.AddFundYear("P1a", 2007, 1.25, 2.5);
    Run();
    const QMap<int, int> classRows = {{1, 5}, {2, 13}, {3, 17}, {4, 16}, {5, 21}, {6, 15}, {7, 10}};
    auto db = data.Open();
    ReportRows rows(*db, QStringLiteral("select * from funddetailall"));
    int compared = 0;
    while (rows.Next())
    {
        const int row = classRows.value(rows.Value(QStringLiteral("class")).toInt(), -1);
        const int year = rows.Value(QStringLiteral("year")).toInt();
        if (row < 0 || year < 2006 || year > 2010)
            continue;
        EXPECT_EQ(At(1, 8 + year - 2006, row), rows.Value(QStringLiteral("totalstate")).toDouble())
            << "class row " << row << ", year " << year;
        EXPECT_EQ(At(1, 14 + year - 2006, row), rows.Value(QStringLiteral("totallocal")).toDouble())
            << "class row " << row << ", year " << year;
        ++compared;
    }
    EXPECT_GE(compared, 5);
}

// The class-and-year rows sum what the view funddetailall sums: every yearly row of a project of
// that class, a row without a year in the all-years columns only, nothing of a row whose project
// is unknown, and no cell for a sum of empty values.
TEST_F(FundDetailSheet, ClassRowsSumEveryYearlyRowOfTheirProjects)
{
    data.AddFundYear("P1a", QVariant(), 100, 200);
    data.AddFundYear("P1b", 2006, 0.5, 0.25);
    data.AddFundYear("GHOST", 2006, 1000, 1000);
    Project("P8", "U11", 81, {1, 1, 1, 3});
    data.AddFundYear("P8", 2006, 77, 77);
    Project("P2", "U11", 21, {1, 1, 1, 3});
    data.AddFundYear("P2", 2007, QVariant(), QVariant());
    Run();
    const struct
    {
        int col;
        double value;
    } classOne[] = {{7, 116.5}, {8, 13.5}, {9, 3}, {13, 220.25}, {14, 16.25}, {15, 4}};
    for (const auto& cell : classOne)
        EXPECT_EQ(At(1, cell.col, 5), cell.value) << "class 1, column " << cell.col;
    EXPECT_EQ(At(1, 7, 4), 125.5) << "classes 1 and 7";
    EXPECT_EQ(At(1, 8, 4), 13.5);
    EXPECT_EQ(At(1, 12, 4), 9.0);
    for (int col = 7; col <= 18; ++col)
        EXPECT_FALSE(book.Written(1, col, 13)) << "class 2 with empty yearly values, column " << col;
}

class SecuritySheet : public FundDemandSheets
{
protected:
    void Unit(const QString& id, int type, int unitClass, QVariant risk, double area, int status,
              int stolen = 0)
    {
        data.AddUnit(id, "单位" + id, type, unitClass, risk);
        data.Insert("dat_corp_security", {{"corpid", id},
                                          {"corparea", area},
                                          {"stolentimes", stolen},
                                          {"stolenitemnum", stolen * 2},
                                          {"waterdevstatus", status},
                                          {"alarmdevstatus", status},
                                          {"lightdevstatus", status},
                                          {"securedevstatus", status},
                                          {"storedevstatus", status}});
    }
    SecuritySheet()
    {
        Unit("S1", 10, 11, 10, 100, 3, 1);
        Unit("S2", 20, 11, 20, 50, 2);
        Unit("S3", 10, 14, 10, 10, 1);
        Unit("S4", 10, 15, QVariant(), 20, 1);
        Unit("S5", 30, 11, 10, 5, 0);
        Unit("M1", 30, 20, 20, 300, 3, 2);
        Unit("M2", 30, 21, 10, 30, 0);
        Project("F3", "S3", 51, {0, 0, 0, 8});
        Project("FM", "M1", 51, {0, 0, 0, 4});
    }
    void Run()
    {
        auto db = data.Open();
        WriteSecuritySheet(*db, book);
    }
};

TEST_F(SecuritySheet, TotalRowsHoldTheirParts)
{
    Run();
    EXPECT_EQ(At(2, 2, 3), 5.0);
    EXPECT_EQ(At(2, 3, 3), 185.0);
    EXPECT_EQ(At(2, 2, 10), 2.0) << "unit classes 14 and 15 share row 10";
    EXPECT_EQ(At(2, 3, 10), 30.0);
    for (int col : {2, 3, 4, 5, 6, 7, 8, 9, 10, 27, 28, 29})
        EXPECT_EQ(At(2, col, 12), At(2, col, 13) + At(2, col, 14) + At(2, col, 15)) << "column " << col;
    for (int row : {3, 4, 5, 10, 12, 13, 14})
        EXPECT_EQ(At(2, 4, row), At(2, 5, row) + At(2, 6, row)) << "row " << row;
    EXPECT_EQ(At(2, 5, 3), 3.0);
    EXPECT_EQ(At(2, 6, 3), 1.0);
    for (int first = 7; first <= 23; first += 4)
    {
        EXPECT_EQ(At(2, first, 3) + At(2, first + 1, 3) + At(2, first + 2, 3) + At(2, first + 3, 3), 5.0);
        EXPECT_EQ(At(2, first, 12) + At(2, first + 3, 12), 2.0);
    }
    EXPECT_EQ(At(2, 7, 4), 1.0) << "status 3 in the device's first column";
    EXPECT_EQ(At(2, 8, 5), 1.0) << "status 2 in the second";
    EXPECT_EQ(At(2, 27, 3), 1.0);
    EXPECT_EQ(At(2, 28, 13), 4.0);
    EXPECT_EQ(At(2, 29, 10), 8.0);
    EXPECT_EQ(At(2, 29, 3), 8.0);
    EXPECT_EQ(At(2, 29, 13), 4.0);
}

TEST_F(SecuritySheet, AUnitOfAnotherTypeCountsOnlyInTheTotalRow)
{
    Run();
    double rows = 0;
    for (int row = 4; row <= 11; ++row)
        rows += At(2, 2, row);
    EXPECT_EQ(rows, 4.0);
    EXPECT_EQ(At(2, 2, 3), 5.0);
}

TEST_F(SecuritySheet, AUnitWithoutASecurityRowCountsInNoSecurityColumn)
{
    data.AddUnit("N1", "无安全信息", 10, 11, QVariant());
    data.AddUnit("N2", "无安全信息", 30, 20, QVariant());
    Run();
    EXPECT_EQ(At(2, 2, 3), 5.0);
    EXPECT_EQ(At(2, 2, 4), 1.0);
    EXPECT_EQ(At(2, 2, 12), 2.0);
    EXPECT_EQ(At(2, 2, 13), 1.0);
    for (int first = 7; first <= 23; first += 4)
        for (int row : {3, 12})
            EXPECT_EQ(At(2, first, row) + At(2, first + 1, row) + At(2, first + 2, row) +
                          At(2, first + 3, row),
                      At(2, 2, row))
                << "devices from column " << first << " add up to column 2 in row " << row;
}

TEST_F(SecuritySheet, MuseumRowsAreSetExceptColumn4)
{
    book.At(2).Preset(2, 13, 999.0);
    book.At(2).Preset(4, 13, 50.0);
    book.At(2).Preset(2, 4, 7.0);
    Run();
    EXPECT_EQ(At(2, 2, 13), 1.0);
    EXPECT_EQ(At(2, 4, 13), 51.0);
    EXPECT_EQ(At(2, 2, 4), 8.0);
}

TEST_F(FundDemandSheets, CollectionsSheetComputesTotalsFromSummedCounts)
{
    data.Insert("dat_corp_reserve",
                {{"corpid", "A"},          {"totalnum1", 100},       {"slightdamagednum1", 10},
                 {"goodnum1", 90},         {"severedamagednum1", 0}, {"funddemand1", 1.5},
                 {"totalnum2", 300},       {"slightdamagednum2", 0}, {"goodnum2", 0},
                 {"severedamagednum2", 0}, {"funddemand2", 0},       {"totalnum3", 0},
                 {"slightdamagednum3", 0}, {"goodnum3", 0},          {"severedamagednum3", 0},
                 {"funddemand3", 0},       {"totalnum4", 0},         {"goodnum4", 0},
                 {"slightdamagednum4", 0}, {"severedamagednum4", 0}, {"funddemand4", 2}});
    data.Insert("dat_corp_reserve", {{"corpid", "B"}, {"totalnum1", 0}, {"funddemand1", 2}});
    {
        auto db = data.Open();
        WriteCollectionsSheet(*db, book);
    }
    EXPECT_EQ(book.Text(3, 5, 3), "10.00%");
    EXPECT_EQ(book.Text(3, 9, 3), "90.00%");
    EXPECT_EQ(book.Text(3, 5, 4), "0.00%");
    EXPECT_EQ(At(3, 10, 3), 3.5);
    EXPECT_EQ(At(3, 2, 7), 400.0);
    EXPECT_EQ(book.Text(3, 5, 7), "2.50%") << "10 of 400, not the mean of the grade rows";
    EXPECT_EQ(book.Text(3, 9, 7), "22.50%");
    for (int row : {5, 6})
        for (int col : {5, 7, 9})
            EXPECT_FALSE(book.Written(3, col, row)) << "a grade of no items gets no percentages, row " << row;
    int numbers = 0;
    for (const auto& [col, row, cell] : book.At(3).writes)
        numbers += cell.isText ? 0 : 1;
    EXPECT_EQ(numbers, 25);
}

TEST_F(FundDemandSheets, CollectionsSheetOfAnEmptyTableStaysUntouched)
{
    auto db = data.Open();
    WriteCollectionsSheet(*db, book);
    EXPECT_TRUE(book.At(3).writes.empty());
}

// Two threads write the pieces of the workbook; a failure on either one, or in the count of the
// lists that the other waits for, ends the workbook with that failure and leaves no thread behind.
struct BrokenViewCase
{
    const char* name;
    const char* view;
    friend void PrintTo(const BrokenViewCase& c, std::ostream* out) { *out << c.name; }
};

class FundDemandWithoutAView : public FundDemandSheets, public ::testing::WithParamInterface<BrokenViewCase>
{
};

TEST_P(FundDemandWithoutAView, FailsWithTheQueryThatFailed)
{
    data.AddUnit("U", "某单位", 10, 11);
    for (int type : {11, 21, 31, 41, 51, 61, 71})
    {
        const QString id = QStringLiteral("P%1").arg(type);
        Project(id, "U", type, {1, 1, 1, 3});
        data.AddFundYear(id, 2006, 1, 1);
    }
    data.Open()->Execute(QStringLiteral("drop view %1").arg(QString::fromLatin1(GetParam().view))).finish();
    const QString message = ThrownMessage([&] { WriteFundDemandSummary(data.settings, book, sink); });
    EXPECT_TRUE(message.startsWith("生成十一五资金需求汇总表失败:查询失败:")) << message.toStdString();
    EXPECT_TRUE(message.contains(GetParam().view)) << message.toStdString();
    EXPECT_TRUE(sink.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Views, FundDemandWithoutAView,
                         ::testing::Values(BrokenViewCase{"CountOfTheLists", "prjfund"},
                                           BrokenViewCase{"FirstPiece", "funddetail1"},
                                           BrokenViewCase{"AttributePiece", "zjzb"},
                                           BrokenViewCase{"SecurityPiece", "corpsecurity"}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(FundDemandSheets, ProjectListsFollowTheCategoryOrderWithCode7Second)
{
    data.AddUnit("U", "某单位", 10, 11);
    Project("C1a", "U", 11, {1, 2, 3, 6});
    data.AddFundYear("C1a", 2006, 1, 1);
    data.AddFundYear("C1a", 2006, 2, 3);
    data.AddFundYear("C1a", 2012, 10, 20);
    Project("C1b", "U", 12, {1, 1, 1, 3});
    Project("C7", "U", 71, {5, 0, 0, 5});
    Project("C3", "U", 31, {QVariant(), 4, QVariant(), 4});
    book.At(4).Preset(3, 4, 10.0);
    WriteFundDemandSummary(data.settings, book, sink);

    const std::pair<int, QString> lines[] = {
        {4, "一、古建、石窟（石刻）、近现代保护类"},
        {5, "1、项目C1a [ 某单位 ]"},
        {6, "2、项目C1b [ 某单位 ]"},
        {7, "二、遗址、墓葬保护类"},
        {8, "1、项目C7 [ 某单位 ]"},
        {9, "三、考古发掘类"},
        {10, "四、博物馆类"},
        {11, "1、项目C3 [ 某单位 ]"},
        {12, "五、珍贵文物征集类"},
        {13, "六、安全消防类"},
        {14, "七、馆藏一、二文物及重要出土文物保护类"},
    };
    for (const auto& [row, text] : lines)
        EXPECT_EQ(book.Text(4, 0, row), text) << "row " << row;
    EXPECT_FALSE(book.Written(4, 0, 15));
    EXPECT_EQ(book.Text(4, 1, 5), "古建、石窟（石刻）、近现代保护类");
    EXPECT_EQ(book.Text(4, 2, 6), "石窟寺保护");

    EXPECT_EQ(At(4, 3, 4), 19.0) << "title line total, with the template's 10";
    EXPECT_EQ(At(4, 7, 4), 9.0);
    EXPECT_EQ(At(4, 9, 5), 2.0) << "the second record of a year stands in its year column";
    EXPECT_EQ(At(4, 15, 5), 3.0);
    EXPECT_EQ(At(4, 8, 5), 13.0) << "all years, the year outside the plan included";
    EXPECT_EQ(At(4, 14, 5), 24.0);
    EXPECT_EQ(At(4, 9, 4), 3.0);
    EXPECT_EQ(At(4, 8, 4), 13.0);
    for (int col = 8; col <= 19; ++col)
        EXPECT_FALSE(book.Written(4, col, 6)) << "no yearly funds, column " << col;
    for (int col = 3; col <= 19; ++col)
        EXPECT_FALSE(book.Written(4, col, 9)) << "a category without projects, column " << col;
    EXPECT_EQ(At(4, 3, 11), 4.0);
    EXPECT_FALSE(book.Written(4, 4, 11));
}

TEST_F(FundDemandSheets, ProjectListStopsBeforeTheFormatsLastRow)
{
    data.AddUnit("U", "某单位", 10, 11);
    for (int i = 0; i < 3; ++i)
        Project(QString("P%1").arg(i), "U", 11, {1, 1, 1, 3});
    auto db = data.Open();
    const YearlyFunds funds(*db, QString());
    CutTexts cuts;
    EXPECT_EQ(WriteProjectList(*db, "1", "标题", 65532, funds, book, cuts), 4);
    EXPECT_EQ(ThrownMessage([&] { WriteProjectList(*db, "1", "标题", 65533, funds, book, cuts); }),
              "第5张工作表需要写到第65537行，超过了 Excel 97-2003 工作表最多 65536 行的限制");
}
} // namespace
