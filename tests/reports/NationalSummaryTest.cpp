#include "reports/GenerateReports.h"

#include "FakeWorkbook.h"
#include "ReportDatabase.h"

#include <gtest/gtest.h>

namespace
{
class NationalSummary : public ::testing::Test
{
protected:
    NationalSummary()
    {
        data.AddUnit("U1", "某市博物馆", 10, 11, 10);
        data.Insert("dat_corp_reserve", {{"corpid", "U1"},
                                         {"totalitemnum", 100},
                                         {"totalnum1", 5},
                                         {"totalnum2", 6},
                                         {"totalnum3", 7},
                                         {"depotarea", 250.5}});
        data.Insert("dat_corp_construction", {{"corpid", "U1"},
                                              {"fsdevstatus", 3},
                                              {"rpdevstatus", 2},
                                              {"totalarea", 1200.25},
                                              {"corearea", 300},
                                              {"relicage", "唐"},
                                              {"relictype", "古遗址"}});
    }

    void Run() { WriteNationalSummary(data.settings, book, sink); }
    std::optional<double> At(int sheet, int col, int row = 6) const { return book.Number(sheet, col, row); }

    ReportDatabase data{false};
    FakeWorkbook book{2};
    RecordingSink sink;
};

TEST_F(NationalSummary, WritesTableAForAClass8Project)
{
    data.AddProject("U1_P8", "U1", "库房改造", 81,
                    {{"newdepotarea", 300}, {"protectioncontent", "恒温恒湿库房"}}, {100, 50.5, 10, 160.5});
    for (const auto& [type, total] : {std::pair{81, 20.0}, {82, 5.0}, {51, 7.0}, {11, 100.0}})
        data.Insert("dat_project_budget", {{"projectid", "U1_P8"}, {"type", type}, {"total", total}});
    Run();

    EXPECT_EQ(book.Text(0, 0, 6), "库房改造 [ 某市博物馆 ]");
    EXPECT_EQ(book.Text(0, 1, 6), "馆藏文物保存环境及库房建设项目");
    EXPECT_EQ(book.Text(0, 2, 6), "馆藏文物保存环境及库房建设");
    const std::pair<int, double> numbers[] = {{3, 100},   {4, 5},      {5, 6},    {6, 7},
                                              {7, 250.5}, {10, 160.5}, {11, 100}, {12, 50.5},
                                              {13, 300},  {14, 25},    {16, 7},   {17, 160.5}};
    for (const auto& [col, value] : numbers)
        EXPECT_EQ(At(0, col), value) << "column " << col;
    EXPECT_EQ(book.Text(0, 8, 6), "3");
    EXPECT_EQ(book.Text(0, 9, 6), "2");
    EXPECT_EQ(book.Text(0, 15, 6), "恒温恒湿库房");
    EXPECT_EQ(book.saved, QStringList{ReportOutputPath(data.settings, "国家计委汇总表")});
    EXPECT_EQ(sink.messages, QStringList{"成功写入" + ReportOutputPath(data.settings, "国家计委汇总表")});
}

TEST_F(NationalSummary, WritesYearPairsInYearOrderFromTheFirstPairWhateverTheYears)
{
    data.AddProject("U1_A", "U1", "甲", 81, {}, {1, 1, 1, 3});
    data.AddFundYear("U1_A", 2008, 3, 4);
    data.AddFundYear("U1_A", 2006, 1, 2);
    data.AddFundYear("U1_A", 2007, 5, 6);
    data.AddProject("U1_B", "U1", "乙", 91, {}, {1, 1, 1, 3});
    data.AddFundYear("U1_B", 2009, 8, 9);
    Run();

    const double expectedA[] = {1, 2, 5, 6, 3, 4};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(At(0, 18 + i), expectedA[i]) << "column " << 18 + i;
    EXPECT_FALSE(book.Written(0, 24, 6));
    EXPECT_EQ(At(1, 13), 8.0);
    EXPECT_EQ(At(1, 14), 9.0);
    EXPECT_FALSE(book.Written(1, 15, 6));
}

TEST_F(NationalSummary, WritesTableBAndNeverColumn9)
{
    data.AddProject("U1_S", "U1", "遗址保护", 91, {{"rparea", 80.5}, {"rpcontent", "本体加固"}},
                    {10, 20, 30, 70});
    Run();

    EXPECT_EQ(book.Text(1, 0, 6), "遗址保护 [ 某市博物馆 ]");
    EXPECT_EQ(book.Text(1, 1, 6), "大遗址保护项目");
    const std::pair<int, double> numbers[] = {{2, 1200.25}, {3, 300},   {6, 60}, {7, 10},
                                              {8, 20},      {10, 80.5}, {12, 70}};
    for (const auto& [col, value] : numbers)
        EXPECT_EQ(At(1, col), value) << "column " << col;
    EXPECT_EQ(book.Text(1, 4, 6), "唐");
    EXPECT_EQ(book.Text(1, 5, 6), "古遗址");
    EXPECT_EQ(book.Text(1, 11, 6), "本体加固");
    EXPECT_FALSE(book.Written(1, 9, 6));
    EXPECT_TRUE(book.At(0).writes.empty()) << "no class-8 project: sheet 0 stays as the template has it";
}

TEST_F(NationalSummary, EmptyValuesWriteNothingAndSumsCountThePartsThatAreThere)
{
    data.AddUnit("U2", "无详情单位", 10, 11);
    data.AddProject("U2_A", "U2", "只有国家投资", 81, {}, {40, QVariant(), QVariant(), QVariant()});
    data.AddProject("U2_B", "U2", "没有资金", 81);
    Run();

    EXPECT_EQ(At(0, 10, 6), 40.0);
    EXPECT_EQ(At(0, 11, 6), 40.0);
    for (int col : {3, 4, 5, 6, 7, 8, 9, 12, 13, 14, 15, 16, 17, 18})
        EXPECT_FALSE(book.Written(0, col, 6)) << "column " << col;
    for (int col = 3; col < 24; ++col)
        EXPECT_FALSE(book.Written(0, col, 7)) << "column " << col;
    EXPECT_EQ(book.Text(0, 0, 7), "没有资金 [ 无详情单位 ]");
}

TEST_F(NationalSummary, RowsFollowTheQueryFromRow6OnBothSheets)
{
    for (int i = 0; i < 3; ++i)
        data.AddProject(QString("U1_%1").arg(i), "U1", QString("项目%1").arg(i), i == 1 ? 91 : 81);
    Run();

    EXPECT_EQ(book.Text(0, 0, 6), "项目0 [ 某市博物馆 ]");
    EXPECT_EQ(book.Text(0, 0, 7), "项目2 [ 某市博物馆 ]");
    EXPECT_EQ(book.Text(1, 0, 6), "项目1 [ 某市博物馆 ]");
    EXPECT_FALSE(book.Written(1, 0, 7));
}
} // namespace
