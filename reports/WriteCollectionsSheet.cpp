#include "reports/ReportCells.h"
#include "reports/ReportRows.h"
#include "reports/ReportWriters.h"

namespace
{
// The five figures of a grade row, in the order they are written, and their columns.
const char* const kFigures[] = {"t", "l", "d", "g", "f"};
const int kFigureColumns[] = {2, 4, 6, 8, 10};
// Slightly damaged, severely damaged and good, each as a share of the total, beside its count.
const int kShareOf[] = {1, 2, 3};
const int kShareColumns[] = {5, 7, 9};

void WriteConditionRow(ReportSheet& sheet, int row, const std::optional<double> (&figures)[5])
{
    for (int i = 0; i < 5; ++i)
        sheet.Number(kFigureColumns[i], row, figures[i]);
    const std::optional<double>& total = figures[0];
    if (!total || *total <= 0)
        return;
    for (int i = 0; i < 3; ++i)
        if (const std::optional<double>& count = figures[kShareOf[i]])
            sheet.Text(kShareColumns[i], row, PercentText(*count / *total));
}
} // namespace

void WriteCollectionsSheet(Database& db, Workbook& workbook)
{
    ReportSheet sheet(workbook, 3);
    ReportRows rows(
        db,
        QStringLiteral(
            "select sum(totalnum1) as t1,sum(goodnum1) as g1,sum(slightdamagednum1) as l1,"
            "sum(severedamagednum1) as d1,sum(funddemand1) as f1, sum(totalnum2) as t2,sum(goodnum2) as g2,"
            "sum(slightdamagednum2) as l2,sum(severedamagednum2) as d2,sum(funddemand2) as f2, "
            "sum(totalnum3) as t3,sum(goodnum3) as g3,sum(slightdamagednum3) as l3,"
            "sum(severedamagednum3) as d3,sum(funddemand3) as f3, sum(totalnum4) as t4,sum(goodnum4) as g4,"
            "sum(slightdamagednum4) as l4,sum(severedamagednum4) as d4,sum(funddemand4) as f4 "
            "from dat_corp_reserve"));
    if (!rows.Next())
        return;
    std::optional<double> totals[5];
    for (int grade = 1; grade <= 4; ++grade)
    {
        std::optional<double> figures[5];
        for (int i = 0; i < 5; ++i)
        {
            figures[i] = NumberOf(rows.Value(QString::fromLatin1(kFigures[i]) + QString::number(grade)));
            if (figures[i])
                totals[i] = totals[i].value_or(0.0) + *figures[i];
        }
        WriteConditionRow(sheet, grade + 2, figures);
    }
    WriteConditionRow(sheet, 7, totals);
}
