#include "xls/XlsWorkbook.h"
#include "xls/XlsWorksheet.h"

#include "BiffVerifier.h"
#include "XlsTestFiles.h"
#include "support/CaseName.h"
#include "xls/BiffRecord.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace
{
class XlsWorkbookFill : public WorkbookFill
{
};

// Each read goes through a fresh SheetAt, so a sheet object made anew per call would lose the
// writes. The last save lands on the file that is open.
TEST_F(XlsWorkbookFill, ReadsBackWhatItWroteWithinTheRunAndAfterReopening)
{
    Worksheet& sheet = Open(TemplateFile("十一五资金需求汇总表.xls"), 3);
    sheet.WriteNumber(2, 3, 0, 1234.5);
    sheet.WriteNumber(4, 3, 0, 0.1);
    sheet.WriteText(5, 3, 0, "33.33%");
    sheet.WriteText(0, 40, 0, "新的一行");
    sheet.WriteNumber(1, 40, 0, -7.25);
    sheet.WriteText(5, 2, 0, ""); // over the template's "比例"
    for (const char* when : {"within the run", "after reopening", "after saving over the open file"})
    {
        const Worksheet& s = m_book.Sheets().SheetAt(3);
        EXPECT_EQ(s.ReadCell(2, 3), "1234.5") << when;
        EXPECT_EQ(s.ReadCell(4, 3), "0.1") << when;
        EXPECT_EQ(s.ReadCell(5, 3), "33.33%") << when;
        EXPECT_EQ(s.ReadCell(0, 40), "新的一行") << when;
        EXPECT_EQ(s.ReadCell(1, 40), "-7.25") << when;
        EXPECT_EQ(s.ReadCell(5, 2), "") << when;
        EXPECT_EQ(s.ReadCell(0, 3), "一级文物") << when;
        SaveAndReopen(3);
    }
}

struct TemplateCell
{
    const char* file;
    int sheet;
    int col;
    int row;
    const char* text;
    friend void PrintTo(const TemplateCell& c, std::ostream* out)
    {
        *out << "sheet " << c.sheet << " col " << c.col << " row " << c.row;
    }
};

class ReadCell : public ::testing::TestWithParam<TemplateCell>
{
};

TEST_P(ReadCell, GivesTheTemplateCellAsText)
{
    const TemplateCell& c = GetParam();
    XlsWorkbook book;
    const QString fixture = TestDataFile(c.file);
    book.OpenWorkbook(QFileInfo::exists(fixture) ? fixture : TemplateFile(c.file));
    EXPECT_EQ(book.Sheets().SheetAt(c.sheet).ReadCell(c.col, c.row), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReadCell,
    ::testing::Values(TemplateCell{"libreoffice-formulas.xls", 0, 0, 0, "公式测试"},    // LABELSST
                      TemplateCell{"libreoffice-formulas.xls", 0, 1, 1, "3"},           // RK
                      TemplateCell{"libreoffice-formulas.xls", 0, 1, 4, "21"},          // SUM, cached
                      TemplateCell{"libreoffice-formulas.xls", 0, 3, 2, "10"},          // array member
                      TemplateCell{"libreoffice-formulas.xls", 0, 4, 2, "6"},           // shared member
                      TemplateCell{"libreoffice-formulas.xls", 0, 1, 6, "1234567.891"}, // NUMBER
                      TemplateCell{"libreoffice-formulas.xls", 0, 2, 6, "0.5"},         // MULRK
                      TemplateCell{"libreoffice-formulas.xls", 0, 3, 6, "-12"},         // MULRK, negative
                      TemplateCell{"gnumeric-formulas.xls", 0, 1, 5, "合计：21"},       // text result
                      TemplateCell{"十一五资金需求汇总表.xls", 3, 3, 3, ""},            // formatted blank
                      TemplateCell{"十一五资金需求汇总表.xls", 3, 7, 100, ""}),         // no record
    [](const ::testing::TestParamInfo<TemplateCell>& c)
    {
        const std::string file = c.param.file;
        return TestName({file.find(".xls") == file.size() - 4 && uchar(file[0]) < 0x80
                             ? file.substr(0, file.size() - 4)
                             : std::string("FundDemand"),
                         "Sheet" + std::to_string(c.param.sheet), "Col" + std::to_string(c.param.col),
                         "Row" + std::to_string(c.param.row)});
    });

// Splitting MULRK and MULBLANK records on load lets a write land in their middle; writing a cell
// twice leaves one cell.
// The saved workbook stream is reserved from each sheet's bound in one piece: a sheet with its
// template cells, thousands of new rows of numbers and texts, and cells written over must fit.
TEST_F(XlsWorkbookFill, SavedSizeBoundHoldsTheSheetAsSaved)
{
    for (int index = 0; index < 5; ++index)
    {
        auto& sheet = dynamic_cast<XlsWorksheet&>(Open(TemplateFile("十一五资金需求汇总表.xls"), index));
        for (int row = 2; row < 3000; row += 1 + row % 3)
            for (int col = row % 5; col < 40; col += 1 + col % 4)
            {
                if ((row + col) % 7 == 0)
                    sheet.WriteText(col, row, 0, QStringLiteral("第%1行").arg(row));
                else
                    sheet.WriteNumber(col, row, 0, row / 7.0 + col); // not an RK value
            }
        QByteArray saved;
        sheet.Save(saved);
        EXPECT_GE(sheet.SavedSizeBound(), saved.size()) << "sheet " << index;
        EXPECT_LE(sheet.SavedSizeBound(), saved.size() + saved.size() / 2) << "sheet " << index;
    }
}

TEST_F(XlsWorkbookFill, OverwritesInsideMultipleCellRecordsAndKeepsTheNeighbours)
{
    Worksheet& sheet = Open(TestDataFile("libreoffice-formulas.xls"));
    sheet.WriteText(3, 6, 0, "中间");
    sheet.WriteNumber(1, 0, 0, 8);
    sheet.WriteText(4, 6, 0, "先写文本");
    sheet.WriteNumber(4, 6, 0, 2.75);
    const Worksheet& reopened = SaveAndReopen();
    EXPECT_EQ(reopened.ReadCell(2, 6), "0.5");
    EXPECT_EQ(reopened.ReadCell(3, 6), "中间");
    EXPECT_EQ(reopened.ReadCell(4, 6), "2.75");
    EXPECT_EQ(reopened.ReadCell(1, 0), "8");
    EXPECT_EQ(reopened.ReadCell(0, 0), "公式测试");
}

TEST_F(XlsWorkbookFill, OverwritesASharedFormulaMemberButRefusesItsAnchorAndArrayCells)
{
    Worksheet& sheet = Open(TestDataFile("libreoffice-formulas.xls"));
    sheet.WriteNumber(4, 2, 0, 77);
    EXPECT_EQ(sheet.ReadCell(4, 2), "77");
    EXPECT_EQ(ThrownMessage([&] { sheet.WriteNumber(4, 1, 0, 1); }),
              "模板单元格属于共享公式或数组公式，不能改写:公式!E2");
    EXPECT_EQ(ThrownMessage([&] { sheet.WriteText(3, 3, 0, "x"); }),
              "模板单元格属于共享公式或数组公式，不能改写:公式!D4");
    SaveAndReopen();
}

// The corners of the sheet, rows in blocks far apart, every row of the sheet: the rebuilt cell
// table, INDEX (8208 bytes for 2048 blocks) and DIMENSIONS follow.
TEST_F(XlsWorkbookFill, WritesUpToTheLastRowAndColumn)
{
    Worksheet& sheet = Open(TestDataFile("gnumeric-formulas.xls"));
    sheet.WriteNumber(255, 65535, 0, 1);
    sheet.WriteText(0, 65535, 0, "末行");
    sheet.WriteNumber(200, 40, 0, 2);
    for (int row = 8; row < 65535; ++row)
        sheet.WriteNumber(row % 7, row, 0, row);
    const Worksheet& reopened = SaveAndReopen();
    EXPECT_EQ(reopened.ReadCell(255, 65535), "1");
    EXPECT_EQ(reopened.ReadCell(0, 65535), "末行");
    EXPECT_EQ(reopened.ReadCell(200, 40), "2");
    EXPECT_EQ(reopened.ReadCell(65000 % 7, 65000), "65000");
}

TEST_F(XlsWorkbookFill, WritesTheLongestTextACellHolds)
{
    const QString longest(32767, QChar(0x6587));
    Open(TestDataFile("xlwt-basic.xls")).WriteText(0, 30, 0, longest);
    EXPECT_EQ(SaveAndReopen().ReadCell(0, 30), longest);
}

// A template whose sheet holds its INDEX twice keeps one, matching the rebuilt cell table.
TEST_F(XlsWorkbookFill, KeepsOneIndexOfATemplateThatHasTwo)
{
    std::map<QString, QByteArray> entries = ReadCompoundEntries(TestDataFile("gnumeric-formulas.xls"));
    QByteArray& stream = entries.at("Workbook");
    int eofs = 0;
    for (qsizetype pos = 0; pos + 4 <= stream.size() && eofs < 2;)
    {
        const quint16 type = Biff::U16(stream.constData() + pos);
        const qsizetype end = pos + 4 + Biff::U16(stream.constData() + pos + 2);
        if (type == Biff::kIndex && eofs == 1)
        {
            stream.insert(end, stream.mid(pos, end - pos));
            break;
        }
        eofs += type == Biff::kEof ? 1 : 0;
        pos = end;
    }
    const QString doubled = m_dir.filePath("index-twice.xls");
    WriteCompoundEntries(doubled, entries);
    ASSERT_EQ(VerifyWorkbookStructure(doubled).filter("two INDEX").size(), 1);

    Worksheet& sheet = Open(doubled);
    sheet.WriteNumber(1, 100, 0, 100);
    sheet.WriteText(2, 200, 0, "二百");
    const Worksheet& reopened = SaveAndReopen();
    EXPECT_EQ(reopened.ReadCell(1, 100), "100");
    EXPECT_EQ(reopened.ReadCell(2, 200), "二百");
}

// Templates whose sheet has no cell records but two DIMENSIONS records (found by fuzzing): the
// cell table was written after each of them, and its block offsets overran an INDEX sized for one.
struct SheetWithoutCells
{
    const char* name;
    const char* file;
    int sheet;
    friend void PrintTo(const SheetWithoutCells& c, std::ostream* out) { *out << c.name; }
};

class FillSheetWithoutCells : public WorkbookFill, public ::testing::WithParamInterface<SheetWithoutCells>
{
protected:
    // One cell per 32-row block, rows 0 to 1,400, numbers and texts by turns.
    static constexpr int kCells = 44;
    static int RowOf(int k) { return k * 1400 / (kCells - 1); }
    static QString TextOf(int k)
    {
        return k % 2 == 0 ? QString::number(k * 1.5) : "第" + QString::number(k) + "块";
    }
};

TEST_P(FillSheetWithoutCells, WritesTheCellTableOnceAndReopensWithEveryValue)
{
    Worksheet& sheet = Open(FindingFile(GetParam().file), GetParam().sheet);
    for (int k = 0; k < kCells; ++k)
        if (k % 2 == 0)
            sheet.WriteNumber(k % 5, RowOf(k), 0, k * 1.5);
        else
            sheet.WriteText(k % 5, RowOf(k), 0, TextOf(k));
    const Worksheet& reopened = SaveAndReopen(GetParam().sheet);
    for (int k = 0; k < kCells; ++k)
        EXPECT_EQ(reopened.ReadCell(k % 5, RowOf(k)), TextOf(k)) << "row " << RowOf(k);
    EXPECT_EQ(reopened.ReadCell(0, 1), "");
}

INSTANTIATE_TEST_SUITE_P(
    Findings, FillSheetWithoutCells,
    ::testing::Values(SheetWithoutCells{"IndexLast", "sheet-without-cells-index-last.xls", 1},
                      SheetWithoutCells{"IndexInserted", "sheet-without-cells-two-dimensions.xls", 0}),
    [](const auto& param) { return std::string(param.param.name); });
} // namespace
