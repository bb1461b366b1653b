// Every workbook that once broke the writer, replayed: opened, filled on each sheet with one cell
// per 32-row block (the pattern that overran the cell table), saved, reopened and read back.
#include "xls/XlsWorkbook.h"

#include "XlsTestFiles.h"
#include "services/CorvaneError.h"
#include "support/CaseName.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
std::vector<std::string> WorkbookFindings()
{
    std::vector<std::string> names;
    for (const QString& name :
         QDir(QStringLiteral(CORVANE_FINDINGS_DIR)).entryList({QStringLiteral("*.xls")}))
        names.push_back(name.toStdString());
    return names;
}

class WorkbookFinding : public ::testing::TestWithParam<std::string>
{
};

TEST_P(WorkbookFinding, SavesEveryWriteOrRefusesWithAReason)
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("saved.xls"));
    struct Cell
    {
        int sheet;
        int row;
    };
    std::vector<Cell> written;
    XlsWorkbook book;
    try
    {
        book.OpenWorkbook(FindingFile(QString::fromStdString(GetParam())));
        for (int sheet = 0; sheet < book.Sheets().Count(); ++sheet)
        {
            Worksheet* target = nullptr;
            try
            {
                target = &book.Sheets().SheetAt(sheet);
            }
            catch (const CorvaneError&)
            {
                continue; // a sheet without cells of its own
            }
            for (int row = 0; row <= 1400; row += 32)
            {
                target->WriteNumber(1, row, 0, sheet * 10000 + row);
                written.push_back({sheet, row});
            }
        }
        book.SaveWorkbook(saved);
    }
    catch (const CorvaneError& error)
    {
        // A refusal must say why: more than the bare prefix and path.
        const QString message = error.Message();
        EXPECT_FALSE(message.endsWith(FindingFile(QString::fromStdString(GetParam()))) ||
                     message.endsWith(saved))
            << message.toStdString();
        return;
    }
    XlsWorkbook reopened;
    ASSERT_NO_THROW(reopened.OpenWorkbook(saved));
    for (const Cell& cell : written)
        EXPECT_EQ(reopened.Sheets().SheetAt(cell.sheet).ReadCell(1, cell.row),
                  QString::number(cell.sheet * 10000 + cell.row))
            << "sheet " << cell.sheet << " row " << cell.row;
}

INSTANTIATE_TEST_SUITE_P(Findings, WorkbookFinding, ::testing::ValuesIn(WorkbookFindings()),
                         [](const ::testing::TestParamInfo<std::string>& c) { return TestName({c.param}); });
} // namespace
