#include "xls/XlsWorkbook.h"

#include "support/CaseName.h"
#include "xls/XlsTestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace
{
// The names of a dictionary table of the store, by code, read from store/dictionaries.sql.
std::map<int, QString> Dictionary(const QString& table)
{
    QFile file(QString(CORVANE_STORE_DIR) + "/dictionaries.sql");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QString sql = QString::fromUtf8(file.readAll());
    const int start = int(sql.indexOf("INSERT INTO " + table + " "));
    const int end = int(sql.indexOf(';', start));
    std::map<int, QString> names;
    const QRegularExpression row("\\((\\d+),\\s*'([^']*)'\\)");
    for (auto match = row.globalMatch(sql.mid(start, end - start)); match.hasNext();)
    {
        const auto m = match.next();
        names[m.captured(1).toInt()] = m.captured(2);
    }
    return names;
}

TEST(Templates, AreCopiedBesideTheProgram)
{
    for (const QString name : {"国家计委汇总表.xls", "十一五资金需求汇总表.xls", "导入结果.xls"})
    {
        const QFileInfo installed(QString(CORVANE_PROGRAM_DIR) + "/" + name);
        ASSERT_TRUE(installed.exists()) << name.toStdString();
        EXPECT_EQ(installed.size(), QFileInfo(TemplateFile(name)).size());
    }
}

struct Label
{
    const char* file;
    int sheet;
    int col;
    int row;
    const char* text;
    friend void PrintTo(const Label& c, std::ostream* out)
    {
        *out << "sheet " << c.sheet << " col " << c.col << " row " << c.row;
    }
};

class TemplateLabels : public ::testing::TestWithParam<Label>
{
};

TEST_P(TemplateLabels, StandWhereTheReportWritersExpectThem)
{
    const Label& label = GetParam();
    XlsWorkbook book;
    book.OpenWorkbook(TemplateFile(label.file));
    EXPECT_EQ(book.Sheets().SheetAt(label.sheet).ReadCell(label.col, label.row), label.text);
}

INSTANTIATE_TEST_SUITE_P(
    Headings, TemplateLabels,
    ::testing::Values(
        Label{"国家计委汇总表.xls", 0, 0, 2, "项目名称 [ 申报单位 ]"},
        Label{"国家计委汇总表.xls", 0, 14, 2, "库房建设预算（万元）"},
        Label{"国家计委汇总表.xls", 0, 16, 2, "安全消防预算（万元）"},
        Label{"国家计委汇总表.xls", 0, 18, 4, "2006年"}, Label{"国家计委汇总表.xls", 0, 26, 4, "2010年"},
        Label{"国家计委汇总表.xls", 0, 27, 5, "地方"}, Label{"国家计委汇总表.xls", 1, 9, 2, "备注"},
        Label{"国家计委汇总表.xls", 1, 12, 2, "资金需求总额（万元）"},
        Label{"国家计委汇总表.xls", 1, 13, 4, "2006年"}, Label{"十一五资金需求汇总表.xls", 1, 8, 3, "2006年"},
        Label{"十一五资金需求汇总表.xls", 3, 0, 3, "一级文物"},
        Label{"十一五资金需求汇总表.xls", 3, 0, 7, "合计"},
        Label{"十一五资金需求汇总表.xls", 3, 5, 2, "比例"},
        Label{"十一五资金需求汇总表.xls", 4, 0, 2, "序号、项目名称 [ 申报单位 ]"},
        Label{"十一五资金需求汇总表.xls", 4, 13, 3, "2010年"}, Label{"十一五资金需求汇总表.xls", 4, 0, 4, ""},
        Label{"导入结果.xls", 0, 0, 2, "文件"}, Label{"导入结果.xls", 0, 4, 2, "原因"},
        Label{"导入结果.xls", 0, 6, 2, "值"}, Label{"导入结果.xls", 0, 1, 1, ""},
        Label{"导入结果.xls", 0, 0, 3, ""}),
    [](const ::testing::TestParamInfo<Label>& c)
    {
        const std::string file = c.param.file;
        const char* book = file == "国家计委汇总表.xls" ? "National"
                           : file == "导入结果.xls"     ? "ImportResults"
                                                        : "FundDemand";
        return TestName({book, "Sheet" + std::to_string(c.param.sheet), "Col" + std::to_string(c.param.col),
                         "Row" + std::to_string(c.param.row)});
    });

TEST(Templates, HaveTheirSheetsAndNationalDataRowsStartEmpty)
{
    XlsWorkbook book;
    book.OpenWorkbook(TemplateFile("十一五资金需求汇总表.xls"));
    EXPECT_EQ(book.Sheets().Count(), 5);
    book.OpenWorkbook(TemplateFile("国家计委汇总表.xls"));
    ASSERT_EQ(book.Sheets().Count(), 2);
    for (int sheet = 0; sheet < 2; ++sheet)
        for (int col = 0; col < 23; ++col)
            EXPECT_EQ(book.Sheets().SheetAt(sheet).ReadCell(col, 6), "") << sheet << " " << col;
}

TEST(Templates, FundDemandRowsCarryTheStoreDictionaryNames)
{
    XlsWorkbook book;
    book.OpenWorkbook(TemplateFile("十一五资金需求汇总表.xls"));
    Worksheet& attributes = book.Sheets().SheetAt(0);
    for (const auto& [code, name] : Dictionary("dic_project_attribute"))
        EXPECT_EQ(attributes.ReadCell(0, code + 4), name) << code;
    const std::map<int, QString> types = Dictionary("dic_project_type");
    for (int type = 21; type <= 29; ++type)
        EXPECT_EQ(attributes.ReadCell(type + 1, 3), types.at(type)) << type;
    const std::map<int, QString> unitTypes = Dictionary("dic_corp_type");
    EXPECT_EQ(attributes.ReadCell(3, 2), unitTypes.at(10) + "单位");
    EXPECT_EQ(attributes.ReadCell(12, 2), unitTypes.at(20) + "单位");
    EXPECT_EQ(attributes.ReadCell(31, 2), unitTypes.at(30) + "单位");

    const std::map<int, QString> unitClasses = Dictionary("dic_corp_class");
    Worksheet& detail = book.Sheets().SheetAt(1);
    EXPECT_TRUE(detail.ReadCell(0, 6).endsWith(unitClasses.at(11)));
    EXPECT_TRUE(detail.ReadCell(0, 18).endsWith(unitClasses.at(20)));
    EXPECT_TRUE(detail.ReadCell(0, 22).endsWith(Dictionary("dic_corp_risc").at(10)));

    Worksheet& security = book.Sheets().SheetAt(2);
    EXPECT_EQ(security.ReadCell(0, 4), unitClasses.at(11));
    EXPECT_EQ(security.ReadCell(1, 5), unitTypes.at(20));
    EXPECT_EQ(security.ReadCell(0, 13), unitClasses.at(20));
    const std::map<int, QString> status = Dictionary("dic_device_status");
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(security.ReadCell(7 + k, 2), status.at(3 - k)); // status 3 first
}
} // namespace
