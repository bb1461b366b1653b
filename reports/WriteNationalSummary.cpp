#include "reports/GenerateReports.h"
#include "reports/ReportCells.h"
#include "reports/ReportRows.h"
#include "reports/ReportSession.h"
#include "reports/ReportWorkbook.h"
#include "reports/ReportWriters.h"

#include <QHash>

namespace
{
// The budget sums of classes 8 and 5 of every project, in one grouped query.
struct BudgetSums
{
    QVariant class8;
    QVariant class5;
};

QHash<QString, BudgetSums> LoadBudgetSums(Database& db)
{
    QHash<QString, BudgetSums> sums;
    ReportRows rows(db, QStringLiteral("select projectid,class,sum(total) as totalFund from budgetquery "
                                       "where projectid in (select projectid from zjzb where prjclass=8) "
                                       "and (class=8 or class=5) group by projectid,class"));
    const int projectid = rows.Field(QStringLiteral("projectid"));
    const int budgetClass = rows.Field(QStringLiteral("class"));
    const int totalFund = rows.Field(QStringLiteral("totalFund"));
    while (rows.Next())
    {
        BudgetSums& entry = sums[rows.Value(projectid).toString()];
        (rows.Value(budgetClass).toInt() == 8 ? entry.class8 : entry.class5) = rows.Value(totalFund);
    }
    return sums;
}

// The fields of wbquery that a row of either block reads.
struct ProjectFields
{
    explicit ProjectFields(const ReportRows& rows)
    {
        for (const char* name : kNames)
            index.append(rows.Field(QString::fromLatin1(name)));
    }
    static constexpr const char* kNames[] = {
        "projectid",   "name",        "corpname",    "classname",    "typename",          "totalitemnum",
        "totalnum1",   "totalnum2",   "totalnum3",   "depotarea",    "fsdevstatus",       "rpdevstatus",
        "stateinvest", "localinvest", "otherinvest", "newdepotarea", "protectioncontent", "totalarea",
        "corearea",    "relicage",    "relictype",   "rparea",       "rpcontent",         "totalfund",
    };
    QList<int> index;
};

enum Field
{
    ProjectId,
    Name,
    CorpName,
    ClassName,
    TypeName,
    TotalItemNum,
    TotalNum1,
    TotalNum2,
    TotalNum3,
    DepotArea,
    FsDevStatus,
    RpDevStatus,
    StateInvest,
    LocalInvest,
    OtherInvest,
    NewDepotArea,
    ProtectionContent,
    TotalArea,
    CoreArea,
    RelicAge,
    RelicType,
    RpArea,
    RpContent,
    TotalFund,
};

// Writes state and local of each yearly row into a pair of columns from firstColumn on, whatever
// the year: the first row always lands in the first pair.
void WriteYearPairs(ReportSheet& sheet, int row, int firstColumn, const QList<FundYear>& years)
{
    int col = firstColumn;
    for (const FundYear& year : years)
    {
        sheet.Amount(col, row, year.state);
        sheet.Amount(col + 1, row, year.local);
        col += 2;
    }
}

// Writes one block: the projects of one class from row 6 of one sheet.
template <typename WriteRow>
void WriteBlock(Database& db, Workbook& workbook, CutTexts& cuts, int sheetIndex, int projectClass,
                WriteRow writeRow)
{
    ReportSheet sheet(workbook, sheetIndex, &cuts);
    ReportRows rows(db, QStringLiteral("select * from wbquery where class=%1").arg(projectClass));
    const ProjectFields fields(rows);
    int row = 6;
    while (rows.Next())
    {
        sheet.CheckRow(row);
        const auto value = [&](Field field) { return rows.Value(fields.index[field]); };
        sheet.SetProject(value(ProjectId).toString());
        sheet.Text(0, row,
                   value(Name).toString() + QStringLiteral(" [ ") + value(CorpName).toString() +
                       QStringLiteral(" ]"));
        sheet.Text(1, row, value(ClassName));
        writeRow(sheet, row, value);
        ++row;
    }
}
} // namespace

void WriteNationalSummary(const Settings& settings, Workbook& workbook, MessageSink& sink)
{
    const std::unique_ptr<ReportSession> session =
        StartReportSession(settings, QStringLiteral("国家计委汇总表"));
    WriteNationalSummary(*session, settings, workbook, sink);
}

void WriteNationalSummary(ReportSession& session, const Settings& settings, Workbook& workbook,
                          MessageSink& sink)
{
    WriteReportWorkbook(
        session, settings, workbook, QStringLiteral("国家计委汇总表"), 2, sink,
        [&](Database& db, CutTexts& cuts, const auto& progress)
        {
            const YearlyFunds funds(db, QStringLiteral("prjclass=8 or prjclass=9"));

            progress(QStringLiteral("馆藏文物保存环境及库房建设项目"));
            const QHash<QString, BudgetSums> budgets = LoadBudgetSums(db);
            WriteBlock(db, workbook, cuts, 0, 8,
                       [&](ReportSheet& sheet, int row, const auto& value)
                       {
                           sheet.Text(2, row, value(TypeName));
                           sheet.Number(3, row, value(TotalItemNum));
                           sheet.Number(4, row, value(TotalNum1));
                           sheet.Number(5, row, value(TotalNum2));
                           sheet.Number(6, row, value(TotalNum3));
                           sheet.Number(7, row, value(DepotArea));
                           sheet.Text(8, row, value(FsDevStatus));
                           sheet.Text(9, row, value(RpDevStatus));
                           sheet.Amount(10, row,
                                        SumOf({value(StateInvest), value(LocalInvest), value(OtherInvest)}));
                           sheet.Amount(11, row, value(StateInvest));
                           sheet.Amount(12, row, value(LocalInvest));
                           sheet.Number(13, row, value(NewDepotArea));
                           const QString projectid = value(ProjectId).toString();
                           const BudgetSums budget = budgets.value(projectid);
                           sheet.Amount(14, row, budget.class8);
                           sheet.Text(15, row, value(ProtectionContent));
                           sheet.Amount(16, row, budget.class5);
                           sheet.Amount(17, row, value(TotalFund));
                           WriteYearPairs(sheet, row, 18, funds.InYearOrder(projectid));
                       });

            progress(QStringLiteral("大遗址保护项目"));
            WriteBlock(
                db, workbook, cuts, 1, 9,
                [&](ReportSheet& sheet, int row, const auto& value)
                {
                    sheet.Number(2, row, value(TotalArea));
                    sheet.Number(3, row, value(CoreArea));
                    sheet.Text(4, row, value(RelicAge));
                    sheet.Text(5, row, value(RelicType));
                    sheet.Amount(6, row, SumOf({value(StateInvest), value(LocalInvest), value(OtherInvest)}));
                    sheet.Amount(7, row, value(StateInvest));
                    sheet.Amount(8, row, value(LocalInvest));
                    // Column 9 stays as the template has it.
                    sheet.Number(10, row, value(RpArea));
                    sheet.Text(11, row, value(RpContent));
                    sheet.Amount(12, row, value(TotalFund));
                    WriteYearPairs(sheet, row, 13, funds.InYearOrder(value(ProjectId).toString()));
                });
        });
}
