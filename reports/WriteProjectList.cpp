#include "reports/ReportCells.h"
#include "reports/ReportRows.h"
#include "reports/ReportWriters.h"
#include "services/CorvaneError.h"

namespace
{
// The state column of a plan year on sheet 4; its local column lies 6 further on.
int YearColumn(const QVariant& year)
{
    const int index = PlanYearIndex(year);
    return index == kNoCode ? -1 : 9 + index;
}
} // namespace

int WriteProjectList(Database& db, const QString& classCode, const QString& title, int titleRow,
                     const YearlyFunds& funds, Workbook& workbook, CutTexts& cuts)
{
    ReportSheet sheet(workbook, 4, &cuts);
    sheet.Text(0, titleRow, title);

    bool isNumber = false;
    const int projectClass = classCode.toInt(&isNumber);
    if (!isNumber)
        throw CorvaneError(QStringLiteral("项目类别代码不是数字:") + classCode);
    ReportRows rows(db, QStringLiteral("select * from prjfund where class=?"), {projectClass});
    const int projectid = rows.Field(QStringLiteral("projectid"));
    const int name = rows.Field(QStringLiteral("name"));
    const int corpname = rows.Field(QStringLiteral("corpname"));
    const int classname = rows.Field(QStringLiteral("classname"));
    const int typename_ = rows.Field(QStringLiteral("typename"));
    const int stateinvest = rows.Field(QStringLiteral("stateinvest"));
    const int localinvest = rows.Field(QStringLiteral("localinvest"));
    const int otherinvest = rows.Field(QStringLiteral("otherinvest"));
    const int totalfund = rows.Field(QStringLiteral("totalfund"));

    // The title line's totals and each line's all-years columns take many adds: they are summed in
    // memory and written once.
    CellSums titleSums(sheet);
    int n = 1;
    while (rows.Next())
    {
        const int row = titleRow + n;
        sheet.CheckRow(row);
        const QVariant state = rows.Value(stateinvest);
        const QVariant local = rows.Value(localinvest);
        const QVariant other = rows.Value(otherinvest);
        const QVariant fund = rows.Value(totalfund);
        const std::optional<double> invest = SumOf({state, local, other});

        titleSums.Add(3, titleRow, invest);
        titleSums.Add(4, titleRow, state);
        titleSums.Add(5, titleRow, local);
        titleSums.Add(6, titleRow, other);
        titleSums.Add(7, titleRow, fund);

        sheet.SetProject(rows.Value(projectid).toString());
        sheet.Text(0, row,
                   QString::number(n) + QStringLiteral("、") + rows.Value(name).toString() +
                       QStringLiteral(" [ ") + rows.Value(corpname).toString() + QStringLiteral(" ]"));
        sheet.Text(1, row, rows.Value(classname));
        sheet.Text(2, row, rows.Value(typename_));
        sheet.Amount(3, row, invest);
        sheet.Amount(4, row, state);
        sheet.Amount(5, row, local);
        sheet.Amount(6, row, other);
        sheet.Amount(7, row, fund);

        CellSums lineSums(sheet);
        for (const FundYear& year : funds.Of(rows.Value(projectid).toString()))
        {
            const int col = YearColumn(year.year);
            titleSums.Add(8, titleRow, year.state);
            titleSums.Add(14, titleRow, year.local);
            // A year outside the plan counts in the all-years columns only.
            if (col >= 0)
            {
                titleSums.Add(col, titleRow, year.state);
                titleSums.Add(col + 6, titleRow, year.local);
            }
            lineSums.Add(8, row, year.state);
            lineSums.Add(14, row, year.local);
            if (col >= 0)
            {
                sheet.Amount(col, row, year.state);
                sheet.Amount(col + 6, row, year.local);
            }
        }
        lineSums.Flush();
        ++n;
    }
    titleSums.Flush();
    return n;
}
