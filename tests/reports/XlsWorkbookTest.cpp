#include "reports/XlsWorkbook.h"

#include "BiffVerifier.h"
#include "XlsTestFiles.h"
#include "services/CorvaneError.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
class XlsWorkbookFill : public ::testing::Test
{
protected:
    QString Saved(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        m_book.SaveWorkbook(path);
        return path;
    }
    QTemporaryDir m_dir;
    XlsWorkbook m_book;
};

TEST_F(XlsWorkbookFill, ReadsBackWhatItWroteWithinTheRunAndAfterReopening)
{
    m_book.OpenWorkbook(TemplateFile("十一五资金需求汇总表.xls"));
    Worksheet& sheet = m_book.Sheets().SheetAt(3);
    sheet.WriteNumber(2, 3, 0, 1234.5);
    sheet.WriteNumber(4, 3, 0, 0.1);
    sheet.WriteText(5, 3, 0, "33.33%");
    sheet.WriteText(0, 40, 0, "新的一行");
    sheet.WriteNumber(1, 40, 0, -7.25);
    for (int pass = 0; pass < 2; ++pass)
    {
        Worksheet& s = m_book.Sheets().SheetAt(3);
        EXPECT_EQ(s.ReadCell(2, 3), "1234.5");
        EXPECT_EQ(s.ReadCell(4, 3), "0.1");
        EXPECT_EQ(s.ReadCell(5, 3), "33.33%");
        EXPECT_EQ(s.ReadCell(0, 40), "新的一行");
        EXPECT_EQ(s.ReadCell(1, 40), "-7.25");
        EXPECT_EQ(s.ReadCell(3, 3), ""); // a formatted empty cell of the template
        EXPECT_EQ(s.ReadCell(7, 100), "");
        EXPECT_EQ(s.ReadCell(0, 3), "一级文物");
        m_book.OpenWorkbook(Saved("filled.xls"));
    }
    EXPECT_EQ(VerifyWorkbookStructure(m_dir.filePath("filled.xls")).join("\n").toStdString(), "");
}

TEST_F(XlsWorkbookFill, GivesTheSameSheetOnEveryRequest)
{
    m_book.OpenWorkbook(TemplateFile("国家计委汇总表.xls"));
    Worksheet& first = m_book.Sheets().SheetAt(1);
    first.WriteNumber(2, 6, 0, 5);
    EXPECT_EQ(&m_book.Sheets().SheetAt(1), &first);
    EXPECT_EQ(m_book.Sheets().SheetAt(1).ReadCell(2, 6), "5");
    EXPECT_EQ(m_book.Sheets().Count(), 2);
}

TEST_F(XlsWorkbookFill, ReadsTemplateNumbersTextsAndFormulaResults)
{
    m_book.OpenWorkbook(TestDataFile("libreoffice-formulas.xls"));
    Worksheet& sheet = m_book.Sheets().SheetAt(0);
    EXPECT_EQ(sheet.ReadCell(0, 0), "公式测试");
    EXPECT_EQ(sheet.ReadCell(1, 1), "3");           // RK
    EXPECT_EQ(sheet.ReadCell(1, 4), "21");          // SUM, cached
    EXPECT_EQ(sheet.ReadCell(3, 2), "10");          // array formula member
    EXPECT_EQ(sheet.ReadCell(4, 2), "6");           // shared formula member
    EXPECT_EQ(sheet.ReadCell(1, 6), "1234567.891"); // NUMBER
    EXPECT_EQ(sheet.ReadCell(2, 6), "0.5");         // MULRK
    EXPECT_EQ(sheet.ReadCell(3, 6), "-12");
    m_book.OpenWorkbook(TestDataFile("gnumeric-formulas.xls"));
    EXPECT_EQ(m_book.Sheets().SheetAt(0).ReadCell(1, 5), "合计：21"); // formula with a text result
}

// Splitting MULRK and MULBLANK records on load lets a write land in their middle; writing a cell
// twice leaves one cell.
TEST_F(XlsWorkbookFill, OverwritesInsideMultipleCellRecordsAndKeepsTheNeighbours)
{
    m_book.OpenWorkbook(TestDataFile("libreoffice-formulas.xls"));
    Worksheet& sheet = m_book.Sheets().SheetAt(0);
    sheet.WriteText(3, 6, 0, "中间");
    sheet.WriteNumber(1, 0, 0, 8);
    sheet.WriteText(4, 6, 0, "先写文本");
    sheet.WriteNumber(4, 6, 0, 2.75);
    m_book.OpenWorkbook(Saved("mul.xls"));
    Worksheet& reopened = m_book.Sheets().SheetAt(0);
    EXPECT_EQ(reopened.ReadCell(2, 6), "0.5");
    EXPECT_EQ(reopened.ReadCell(3, 6), "中间");
    EXPECT_EQ(reopened.ReadCell(4, 6), "2.75");
    EXPECT_EQ(reopened.ReadCell(1, 0), "8");
    EXPECT_EQ(reopened.ReadCell(0, 0), "公式测试");
    EXPECT_EQ(VerifyWorkbookStructure(m_dir.filePath("mul.xls")).join("\n").toStdString(), "");
}

TEST_F(XlsWorkbookFill, OverwritesASharedFormulaMemberButRefusesItsAnchorAndArrayCells)
{
    m_book.OpenWorkbook(TestDataFile("libreoffice-formulas.xls"));
    Worksheet& sheet = m_book.Sheets().SheetAt(0);
    sheet.WriteNumber(4, 2, 0, 77);
    EXPECT_EQ(sheet.ReadCell(4, 2), "77");
    try
    {
        sheet.WriteNumber(4, 1, 0, 1);
        FAIL() << "the anchor of a shared formula was overwritten";
    }
    catch (const CorvaneError& error)
    {
        EXPECT_EQ(error.Message(), "模板单元格属于共享公式或数组公式，不能改写:公式!E2");
    }
    try
    {
        sheet.WriteText(3, 3, 0, "x");
        FAIL() << "a cell of an array formula was overwritten";
    }
    catch (const CorvaneError& error)
    {
        EXPECT_EQ(error.Message(), "模板单元格属于共享公式或数组公式，不能改写:公式!D4");
    }
    EXPECT_EQ(VerifyWorkbookStructure(Saved("shared.xls")).join("\n").toStdString(), "");
}

// The corners of the sheet, rows in blocks far apart, every row of the sheet: the rebuilt cell
// table, INDEX (8208 bytes for 2048 blocks) and DIMENSIONS follow.
TEST_F(XlsWorkbookFill, WritesUpToTheLastRowAndColumn)
{
    m_book.OpenWorkbook(TestDataFile("gnumeric-formulas.xls"));
    Worksheet& sheet = m_book.Sheets().SheetAt(0);
    sheet.WriteNumber(255, 65535, 0, 1);
    sheet.WriteText(0, 65535, 0, "末行");
    sheet.WriteNumber(200, 40, 0, 2);
    for (int row = 8; row < 65535; ++row)
        sheet.WriteNumber(row % 7, row, 0, row);
    m_book.OpenWorkbook(Saved("limits.xls"));
    Worksheet& reopened = m_book.Sheets().SheetAt(0);
    EXPECT_EQ(reopened.ReadCell(255, 65535), "1");
    EXPECT_EQ(reopened.ReadCell(0, 65535), "末行");
    EXPECT_EQ(reopened.ReadCell(200, 40), "2");
    EXPECT_EQ(reopened.ReadCell(65000 % 7, 65000), "65000");
    EXPECT_EQ(VerifyWorkbookStructure(m_dir.filePath("limits.xls")).join("\n").toStdString(), "");
}

TEST_F(XlsWorkbookFill, WritesTheLongestTextACellHolds)
{
    m_book.OpenWorkbook(TestDataFile("xlwt-basic.xls"));
    const QString longest(32767, QChar(0x6587));
    m_book.Sheets().SheetAt(0).WriteText(0, 30, 0, longest);
    m_book.OpenWorkbook(Saved("long.xls"));
    EXPECT_EQ(m_book.Sheets().SheetAt(0).ReadCell(0, 30), longest);
    EXPECT_EQ(VerifyWorkbookStructure(m_dir.filePath("long.xls")).join("\n").toStdString(), "");
}

TEST_F(XlsWorkbookFill, EmptyTextBlanksTheCellAndKeepsItsFormat)
{
    m_book.OpenWorkbook(TestDataFile("xlwt-basic.xls"));
    Worksheet& sheet = m_book.Sheets().SheetAt(0);
    sheet.WriteText(1, 1, 0, "");
    EXPECT_EQ(sheet.ReadCell(1, 1), "");
    m_book.OpenWorkbook(Saved("blank.xls"));
    EXPECT_EQ(m_book.Sheets().SheetAt(0).ReadCell(1, 1), "");
    EXPECT_EQ(m_book.Sheets().SheetAt(0).ReadCell(0, 1), "项目");
}

TEST_F(XlsWorkbookFill, SavingOverTheOpenFileKeepsEveryWrite)
{
    const QString path = m_dir.filePath("same.xls");
    ASSERT_TRUE(QFile::copy(TemplateFile("国家计委汇总表.xls"), path));
    m_book.OpenWorkbook(path);
    m_book.Sheets().SheetAt(0).WriteText(0, 6, 0, "项目 [ 单位 ]");
    m_book.SaveWorkbook(path);
    m_book.CloseWorkbook();
    m_book.OpenWorkbook(path);
    EXPECT_EQ(m_book.Sheets().SheetAt(0).ReadCell(0, 6), "项目 [ 单位 ]");
}
} // namespace
