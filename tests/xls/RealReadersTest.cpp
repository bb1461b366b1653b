#include "xls/XlsWorkbook.h"

#include "BiffVerifier.h"
#include "ExternalReaders.h"
#include "XlsTestFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>

namespace
{
struct Write
{
    int sheet;
    int col;
    int row;
    QString text; // written as text unless null
    double number = 0;
};

struct Fill
{
    QString input;
    int sheetCount;
    std::vector<Write> writes;
};

Write Text(int sheet, int col, int row, const QString& text)
{
    return {sheet, col, row, text};
}
Write Number(int sheet, int col, int row, double number)
{
    return {sheet, col, row, QString(), number};
}

// The cells that the report writers fill, on both templates.
std::vector<Write> NationalSummaryRows()
{
    std::vector<Write> writes;
    for (int row = 6; row < 9; ++row)
    {
        writes.push_back(Text(0, 0, row, "库房改造项目 [ 某市博物馆 ]"));
        writes.push_back(Text(0, 1, row, "馆藏文物保存环境及库房建设项目"));
        writes.push_back(Text(0, 2, row, "馆藏文物保存环境及库房建设"));
        for (int col = 3; col < 28; ++col)
            if (col == 8 || col == 9 || col == 15)
                writes.push_back(Text(0, col, row, col == 15 ? "新建恒温恒湿库房" : "2"));
            else
                writes.push_back(Number(0, col, row, row * 100 + col + 0.25));
        writes.push_back(Text(1, 0, row, "遗址保护 [ 某遗址管理处 ]"));
        for (int col = 1; col < 23; ++col)
            if (col == 1 || col == 4 || col == 5 || col == 11)
                writes.push_back(Text(1, col, row, "文字" + QString::number(col)));
            else if (col != 9)
                writes.push_back(Number(1, col, row, row * 1000 + col));
    }
    return writes;
}

std::vector<Write> FundDemandCells()
{
    std::vector<Write> writes;
    for (int row = 5; row <= 10; ++row)
        for (int col = 1; col <= 39; ++col)
            if (col != 6 && col != 7 && col != 15 && col != 16)
                writes.push_back(Number(0, col, row, row + col / 100.0));
    for (int row = 4; row <= 27; ++row)
        for (int col = 1; col <= 18 && row != 24; ++col)
            writes.push_back(Number(1, col, row, row * 10 + col));
    for (int row = 3; row <= 15; ++row)
        for (int col = 2; col <= 29; ++col)
            writes.push_back(Number(2, col, row, row + col));
    for (int row = 3; row <= 7; ++row)
        for (int col = 2; col <= 10; ++col)
            if (col == 5 || col == 7 || col == 9)
                writes.push_back(Text(3, col, row, "12.50%"));
            else if (col != 3)
                writes.push_back(Number(3, col, row, row * col));
    writes.push_back(Text(4, 0, 4, "一、古建、石窟（石刻）、近现代保护类"));
    for (int row = 5; row < 8; ++row)
    {
        writes.push_back(Text(4, 0, row, QString::number(row - 4) + "、大殿维修 [ 某寺管理所 ]"));
        writes.push_back(Text(4, 1, row, "古建、石窟（石刻）、近现代保护类"));
        writes.push_back(Text(4, 2, row, "古建筑维修"));
        for (int col = 3; col <= 19; ++col)
            writes.push_back(Number(4, col, row, col * 1.5));
    }
    return writes;
}

// A batch's facts and rows of refused files past the template's last row.
std::vector<Write> ImportResultCells()
{
    std::vector<Write> writes = {Text(0, 1, 1, "3f2a9c1e-7b44-4d0e-9a51-0c6d2e8f1a77"),
                                 Text(0, 4, 1, "2026-12-10 14:00:00"), Text(0, 6, 1, "单位信息")};
    for (int row = 3; row < 300; ++row)
        for (int col = 0; col < 7; ++col)
            writes.push_back(Text(0, col, row, "第" + QString::number(row) + "行" + QString::number(col)));
    return writes;
}

// One cell per 32-row block, rows 0 to 1,400, of a sheet that has no cell records.
std::vector<Write> BlockCells(int sheet)
{
    std::vector<Write> writes;
    for (int k = 0; k < 44; ++k)
        writes.push_back(k % 2 == 0 ? Number(sheet, k % 5, k * 1400 / 43, k * 1.5)
                                    : Text(sheet, k % 5, k * 1400 / 43, "第" + QString::number(k) + "块"));
    return writes;
}

std::vector<Fill> Fills()
{
    return {
        {TestDataFile("xlwt-basic.xls"),
         2,
         {Number(0, 1, 2, 1.25), Text(0, 2, 3, "覆盖"), Number(0, 2, 6, 100), Number(0, 0, 10, 9),
          Number(0, 5, 12, 7.5), Text(0, 0, 12, "新单元格"), Number(0, 255, 65535, 1), Number(0, 3, 40, 40),
          Number(0, 3, 70, 70), Text(0, 4, 3, "先写文本"), Number(0, 4, 3, 5), Text(0, 1, 1, ""),
          Text(1, 1, 0, "第二页")}},
        {TestDataFile("gnumeric-formulas.xls"),
         1,
         {Number(0, 1, 1, 30), Text(0, 4, 6, "文字"), Number(0, 7, 20, 3.5)}},
        {TestDataFile("libreoffice-formulas.xls"),
         1,
         {Number(0, 1, 1, 30), Number(0, 4, 2, 77), Text(0, 3, 6, "中间"), Number(0, 1, 0, 8)}},
        {TestDataFile("libreoffice-basic.xls"), 2, {Number(0, 1, 2, 2.5), Text(0, 0, 20, "新行")}},
        {TestDataFile("gnumeric-dual.xls"), 1, {Number(0, 1, 1, 30)}},
        {TemplateFile("国家计委汇总表.xls"), 2, NationalSummaryRows()},
        {TemplateFile("十一五资金需求汇总表.xls"), 5, FundDemandCells()},
        {FindingFile("sheet-without-cells-index-last.xls"), 2, BlockCells(1)},
        {FindingFile("sheet-without-cells-two-dimensions.xls"), 2, BlockCells(0)},
        {TemplateFile("导入结果.xls"), 1, ImportResultCells()},
    };
}

// xlrd's cells of one file: (sheet, row, col) -> [ctype, value, xf, format].
using CellMap = std::map<std::tuple<int, int, int>, QJsonArray>;

CellMap Cells(const QJsonObject& file)
{
    CellMap cells;
    const QJsonArray sheets = file["sheets"].toArray();
    for (int s = 0; s < sheets.size(); ++s)
        for (const QJsonValue& cell : sheets[s].toObject()["cells"].toArray())
        {
            const QJsonArray c = cell.toArray();
            cells[{s, c[0].toInt(), c[1].toInt()}] = QJsonArray{c[2], c[3], c[4], c[5]};
        }
    return cells;
}

class RealReaders : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_ready = HaveXlrd() && HaveSsconvert();
        if (!s_ready)
            return;
        s_dir = std::make_unique<QTemporaryDir>();
        QStringList files;
        QList<int> sheetCounts;
        const std::vector<Fill> fills = Fills();
        for (size_t i = 0; i < fills.size(); ++i)
        {
            XlsWorkbook book;
            book.OpenWorkbook(fills[i].input);
            for (const Write& w : fills[i].writes)
            {
                Worksheet& sheet = book.Sheets().SheetAt(w.sheet);
                if (w.text.isNull())
                    sheet.WriteNumber(w.col, w.row, 0, w.number);
                else
                    sheet.WriteText(w.col, w.row, 0, w.text);
            }
            s_outputs << s_dir->filePath(QString("out%1.xls").arg(i));
            book.SaveWorkbook(s_outputs.back());
            files << fills[i].input;
            sheetCounts << fills[i].sheetCount;
        }
        s_xlrd = ReadWithXlrd(files + s_outputs);
        s_ssconvert = ConvertWithSsconvert(s_outputs, s_dir->filePath("csv"), sheetCounts);
        // The LibreOffice template with new inputs, recalculated by Gnumeric.
        QProcess recalc;
        recalc.start("ssconvert", {"--recalc", s_outputs[2], s_dir->filePath("recalc.csv")});
        recalc.waitForFinished(60000);
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override
    {
        if (!s_ready)
            GTEST_SKIP() << "python3-xlrd or gnumeric is not installed";
    }

    static CellMap Input(size_t i) { return Cells(s_xlrd[Fills()[i].input].toObject()); }
    static CellMap Output(size_t i) { return Cells(s_xlrd[s_outputs[int(i)]].toObject()); }

    static inline bool s_ready = false;
    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline QStringList s_outputs;
    static inline QJsonObject s_xlrd;
    static inline QStringList s_ssconvert;
};

TEST_F(RealReaders, XlrdReadsEveryWrittenValue)
{
    const std::vector<Fill> fills = Fills();
    for (size_t i = 0; i < fills.size(); ++i)
    {
        ASSERT_FALSE(s_xlrd[s_outputs[int(i)]].toObject().contains("error"))
            << s_xlrd[s_outputs[int(i)]].toObject()["error"].toString().toStdString();
        const CellMap output = Output(i);
        std::map<std::tuple<int, int, int>, Write> last;
        for (const Write& w : fills[i].writes)
            last[{w.sheet, w.row, w.col}] = w;
        for (const auto& [key, w] : last)
        {
            const auto found = output.find(key);
            ASSERT_NE(found, output.end()) << fills[i].input.toStdString() << " " << w.col << "," << w.row;
            // xlrd's cell types: 1 text, 2 number, 6 blank.
            const int type = w.text.isNull() ? 2 : w.text.isEmpty() ? 6 : 1;
            const QJsonValue value = w.text.isNull() ? QJsonValue(w.number) : QJsonValue(w.text);
            EXPECT_EQ(found->second[0].toInt(), type) << w.col << "," << w.row;
            EXPECT_EQ(found->second[1], value) << w.col << "," << w.row;
        }
    }
}

// Values, formula results and formats of every cell not written, and the formats of the cells
// written over, are those of the template.
TEST_F(RealReaders, XlrdSeesTheTemplateEverywhereElse)
{
    const std::vector<Fill> fills = Fills();
    for (size_t i = 0; i < fills.size(); ++i)
    {
        const CellMap input = Input(i);
        const CellMap output = Output(i);
        std::set<std::tuple<int, int, int>> written;
        for (const Write& w : fills[i].writes)
            written.insert({w.sheet, w.row, w.col});
        for (const auto& [key, cell] : input)
        {
            const auto found = output.find(key);
            ASSERT_NE(found, output.end()) << fills[i].input.toStdString();
            if (written.count(key))
                EXPECT_EQ(found->second[2], cell[2])
                    << fills[i].input.toStdString() << " format of a written cell";
            else
                EXPECT_EQ(found->second, cell)
                    << fills[i].input.toStdString() << " sheet " << std::get<0>(key) << " row "
                    << std::get<1>(key) << " col " << std::get<2>(key);
        }
    }
}

TEST_F(RealReaders, NewCellsTakeTheFormatOfTheirRowOrColumn)
{
    const CellMap xlwt = Output(0);
    EXPECT_EQ(xlwt.at({0, 10, 0})[3].toString(), "0.00"); // formatted row
    EXPECT_EQ(xlwt.at({0, 12, 5})[3].toString(), "0.00"); // formatted column
    EXPECT_EQ(xlwt.at({0, 12, 0})[3].toString(), "General");
    EXPECT_EQ(Output(1).at({0, 20, 7})[2].toInt(), 21); // Gnumeric's column default
    const CellMap national = Output(5);
    EXPECT_EQ(national.at({0, 8, 3})[3].toString(), "#,##0");
    EXPECT_EQ(national.at({0, 8, 10})[3].toString(), "#,##0.00");
    EXPECT_EQ(national.at({1, 8, 2})[3].toString(), "#,##0.00");
    const CellMap fund = Output(6);
    EXPECT_EQ(fund.at({0, 5, 1})[3].toString(), "#,##0");
    EXPECT_EQ(fund.at({0, 5, 2})[3].toString(), "#,##0.00");
    EXPECT_EQ(fund.at({4, 7, 19})[3].toString(), "#,##0.00");
}

TEST_F(RealReaders, SsconvertReadsEverySheetWithoutAWarning)
{
    EXPECT_EQ(s_ssconvert.join("\n").toStdString(), "");
}

TEST_F(RealReaders, StructureVerifierFindsNoBrokenRule)
{
    for (const QString& output : s_outputs)
        EXPECT_EQ(VerifyWorkbookStructure(output).join("\n").toStdString(), "") << output.toStdString();
}

// The template's SUM, array and shared formulas still compute from the cells written: B2 went
// from 3 to 30, E3 (a shared-formula member) became 77.
TEST_F(RealReaders, KeptFormulasRecalculateFromWrittenCells)
{
    QFile csv(s_dir->filePath("recalc.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[1].split(',').mid(1, 4), (QList<QByteArray>{"30", "", "60", "31"}));
    EXPECT_EQ(lines[2].split(',').mid(3, 2), (QList<QByteArray>{"10", "77"}));
    EXPECT_EQ(lines[4].split(',').value(1), "48");
}
} // namespace
