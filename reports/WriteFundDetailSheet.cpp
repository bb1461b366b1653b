#include "reports/ReportCells.h"
#include "reports/ReportRows.h"
#include "reports/ReportWriters.h"

#include <QMap>

#include <map>
#include <optional>

namespace
{
constexpr int kNoRow = -1;

// How a block puts its values: replacing the cell, or adding to it where two keys share a row.
enum class Put
{
    Set,
    Add,
};

struct Block
{
    const char* sql;     // nullptr: summed from the yearly funds (WriteClassYearBlock)
    const char* key;     // the field whose value chooses the row
    QMap<int, int> rows; // key value → row
    Put put;
    bool groupRows; // project classes 1 and 7, and 4 and 6, also count in a group row
};

// The group row that a project class also counts in.
int GroupRow(int projectClass)
{
    switch (projectClass)
    {
    case 1:
    case 7:
        return 4;
    case 4:
    case 6:
        return 14;
    default:
        return kNoRow;
    }
}

const QMap<int, int> kClassRows = {{1, 5}, {2, 13}, {3, 17}, {4, 16}, {5, 21}, {6, 15}, {7, 10}};
const QMap<int, int> kClass1Rows = {{11, 6}, {12, 7}, {13, 8}, {14, 9}, {15, 9}};
const QMap<int, int> kClass7Rows = {{11, 11}, {12, 12}};
const QMap<int, int> kMuseumRows3 = {{20, 18}, {21, 19}, {22, 20}};
const QMap<int, int> kMuseumRows5 = {{20, 25}, {21, 26}, {22, 27}};
const QMap<int, int> kRiskRows = {{10, 22}, {20, 23}};

#define SUMMARY_BY(key)                                                                                      \
    "select count(projectid) as prjnum,sum(stateinvest) as totalstate, sum(localinvest) as totallocal, "     \
    "sum(otherinvest) as totalother,sum(totalfund) as fundtotal, " key

// Year blocks and summary blocks alternate, in this order. The first year block holds what the
// view funddetailall sums; it is summed from the yearly funds instead.
const Block kYearBlocks[] = {
    {nullptr, "class", kClassRows, Put::Set, true},
    {"select * from funddetail1 where corpclass>=11 and corpclass<=15", "corpclass", kClass1Rows, Put::Add,
     false},
    {"select * from funddetail7", "corpclass", kClass7Rows, Put::Set, false},
    {"select * from funddetail3", "corpclass", kMuseumRows3, Put::Set, false},
    {"select * from funddetail5", "corpclass", kMuseumRows5, Put::Set, false},
    {"select * from funddetail5risk", "risk", kRiskRows, Put::Set, false},
};
const Block kSummaryBlocks[] = {
    {SUMMARY_BY("class") " from prjfund where class<8  group by class order by class", "class", kClassRows,
     Put::Set, true},
    {SUMMARY_BY(
         "corpclass") " from prjfund where class=1 and corpclass>=11 and corpclass<=15 group by corpclass "
                      "order by corpclass",
     "corpclass", kClass1Rows, Put::Add, false},
    {SUMMARY_BY(
         "corpclass") " from prjfund where class=7 and corpclass>=11 and corpclass<=12 group by corpclass "
                      "order by corpclass",
     "corpclass", kClass7Rows, Put::Set, false},
    {SUMMARY_BY(
         "corpclass") " from prjfund where class=3 and corpclass>=20 and corpclass<=22 group by corpclass "
                      "order by corpclass",
     "corpclass", kMuseumRows3, Put::Set, false},
    {SUMMARY_BY(
         "corpclass") " from prjfund where class=5 and corpclass>=20 and corpclass<=22 group by corpclass "
                      "order by corpclass",
     "corpclass", kMuseumRows5, Put::Set, false},
    {SUMMARY_BY("risk") " from prjfund where class=5 and risk<=20 group by risk order by risk", "risk",
     kRiskRows, Put::Set, false},
};
#undef SUMMARY_BY

// The state column of a plan year; its local column lies 6 further on.
int YearColumn(const QVariant& year)
{
    const int index = PlanYearIndex(year);
    return index == kNoCode ? kNoRow : 8 + index;
}

// Puts one record of a year block: its key value, year and the two sums.
void PutYearRecord(ReportSheet& sheet, CellSums& sums, const Block& block, const QVariant& keyValue,
                   const QVariant& year, const QVariant& state, const QVariant& local)
{
    const int code = CodeOf(keyValue);
    // A key without a row in the sheet is left out.
    const int row = block.rows.value(code, kNoRow);
    if (row == kNoRow)
        return;
    const int col = YearColumn(year);
    sums.Add(7, row, state);
    sums.Add(13, row, local);
    if (col != kNoRow)
    {
        if (block.put == Put::Add)
        {
            sums.Add(col, row, state);
            sums.Add(col + 6, row, local);
        }
        else
        {
            sheet.Amount(col, row, state);
            sheet.Amount(col + 6, row, local);
        }
    }
    const int group = block.groupRows ? GroupRow(code) : kNoRow;
    if (group != kNoRow)
    {
        if (col != kNoRow)
        {
            sums.Add(col, group, state);
            sums.Add(col + 6, group, local);
        }
        sums.Add(7, group, state);
        sums.Add(13, group, local);
    }
}

void WriteYearBlock(Database& db, ReportSheet& sheet, CellSums& sums, const Block& block)
{
    ReportRows rows(db, QString::fromUtf8(block.sql));
    const int key = rows.Field(QString::fromLatin1(block.key));
    const int year = rows.Field(QStringLiteral("year"));
    const int totalstate = rows.Field(QStringLiteral("totalstate"));
    const int totallocal = rows.Field(QStringLiteral("totallocal"));
    while (rows.Next())
        PutYearRecord(sheet, sums, block, rows.Value(key), rows.Value(year), rows.Value(totalstate),
                      rows.Value(totallocal));
}

// A sum as the database gives it: nothing until a value is added.
struct Sum
{
    double value = 0;
    bool any = false;

    void Add(const QVariant& part)
    {
        if (part.isNull())
            return;
        value += part.toDouble();
        any = true;
    }
    QVariant Result() const { return any ? QVariant(value) : QVariant(); }
};

// The first year block, what funddetailall holds: the yearly rows of every project summed by
// project class and year, here from the yearly funds that the project lists read anyway and the
// class of each project, instead of another pass over every yearly row joined with its project.
void WriteClassYearBlock(Database& db, const YearlyFunds& funds, ReportSheet& sheet, CellSums& sums,
                         const Block& block)
{
    struct Sums
    {
        Sum state;
        Sum local;
    };
    // By class, then by year with rows without a year first, as the view orders its groups.
    std::map<std::pair<int, std::optional<double>>, Sums> groups;
    ReportRows projects(db, QStringLiteral("select projectid,prjclass from zjzb"));
    const int projectid = projects.Field(QStringLiteral("projectid"));
    const int prjclass = projects.Field(QStringLiteral("prjclass"));
    while (projects.Next())
    {
        // Classes without a row would be left out.
        const int projectClass = CodeOf(projects.Value(prjclass));
        if (!block.rows.contains(projectClass))
            continue;
        for (const FundYear& year : funds.Of(projects.Value(projectid).toString()))
        {
            Sums& group = groups[{projectClass, NumberOf(year.year)}];
            group.state.Add(year.state);
            group.local.Add(year.local);
        }
    }
    for (const auto& [key, group] : groups)
        PutYearRecord(sheet, sums, block, key.first, key.second ? QVariant(*key.second) : QVariant(),
                      group.state.Result(), group.local.Result());
}

void WriteSummaryBlock(Database& db, ReportSheet& sheet, CellSums& sums, const Block& block)
{
    ReportRows rows(db, QString::fromUtf8(block.sql));
    const int key = rows.Field(QString::fromLatin1(block.key));
    const int prjnum = rows.Field(QStringLiteral("prjnum"));
    const int totalstate = rows.Field(QStringLiteral("totalstate"));
    const int totallocal = rows.Field(QStringLiteral("totallocal"));
    const int totalother = rows.Field(QStringLiteral("totalother"));
    const int fundtotal = rows.Field(QStringLiteral("fundtotal"));
    while (rows.Next())
    {
        const int code = CodeOf(rows.Value(key));
        const int row = block.rows.value(code, kNoRow);
        if (row == kNoRow)
            continue;
        const QVariant state = rows.Value(totalstate);
        const QVariant local = rows.Value(totallocal);
        const QVariant other = rows.Value(totalother);
        const std::optional<double> values[] = {NumberOf(rows.Value(prjnum)),
                                                SumOf({state, local, other}),
                                                NumberOf(state),
                                                NumberOf(local),
                                                NumberOf(other),
                                                NumberOf(rows.Value(fundtotal))};
        const int group = block.groupRows ? GroupRow(code) : kNoRow;
        for (int i = 0; i < 6; ++i)
        {
            const int col = i + 1;
            if (block.put == Put::Add)
                sums.Add(col, row, values[i]);
            else if (col == 1)
                sheet.Number(col, row, values[i]);
            else
                sheet.Amount(col, row, values[i]);
            if (group != kNoRow)
                sums.Add(col, group, values[i]);
        }
    }
}
} // namespace

void WriteFundDetailSheet(Database& db, Workbook& workbook)
{
    WriteFundDetailSheet(db, YearlyFunds(db, QString()), workbook);
}

void WriteFundDetailSheet(Database& db, const YearlyFunds& funds, Workbook& workbook)
{
    ReportSheet sheet(workbook, 1);
    // The cells that take adds are written by no set, so they are summed in memory and written once.
    CellSums sums(sheet);
    for (std::size_t i = 0; i < std::size(kYearBlocks); ++i)
    {
        if (kYearBlocks[i].sql == nullptr)
            WriteClassYearBlock(db, funds, sheet, sums, kYearBlocks[i]);
        else
            WriteYearBlock(db, sheet, sums, kYearBlocks[i]);
        WriteSummaryBlock(db, sheet, sums, kSummaryBlocks[i]);
    }
    sums.Flush();
}
