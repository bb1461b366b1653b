#include "reports/ReportCells.h"
#include "reports/ReportRows.h"
#include "reports/ReportWriters.h"
#include "services/CorvaneError.h"

#include <QStringList>

#include <vector>

namespace
{
constexpr int kNoRow = -1;
constexpr int kUpperTotalRow = 3;
constexpr int kLowerTotalRow = 12;

// The row of unit classes 11 to 15 by class and type; classes 14 and 15 share their rows.
int UpperRow(const QVariant& unitClass, const QVariant& unitType)
{
    const int type = CodeOf(unitType);
    if (type != 10 && type != 20)
        return kNoRow;
    int row = kNoRow;
    switch (CodeOf(unitClass))
    {
    case 11:
        row = 4;
        break;
    case 12:
        row = 6;
        break;
    case 13:
        row = 8;
        break;
    case 14:
    case 15:
        row = 10;
        break;
    default:
        return kNoRow;
    }
    return type == 20 ? row + 1 : row;
}

// The row of unit classes 20 to 22.
int LowerRow(const QVariant& unitClass)
{
    const int code = CodeOf(unitClass);
    return code >= 20 && code <= 22 ? code - 20 + 13 : kNoRow;
}

int RiskColumn(const QVariant& risk)
{
    return CodeOf(risk) == 20 ? 6 : 5;
}

const QStringList kStatusFields = {QStringLiteral("waterdevstatus"), QStringLiteral("alarmdevstatus"),
                                   QStringLiteral("lightdevstatus"), QStringLiteral("securedevstatus"),
                                   QStringLiteral("storedevstatus")};

// The column that the record's risk level chooses (RiskColumn).
constexpr int kByRisk = -2;

// How a value goes into its row: the upper part adds (unit classes 14 and 15 share rows), the
// lower part sets, unless several records of one class meet in the cell.
enum class Put
{
    ByPart,
    Add,
};

struct Column
{
    const char* field;
    int col;
    Put put;
};

// One query of the sheet. With a type field its records fill the upper part (UpperRow, total in
// row 3); without, the lower part (LowerRow, total in row 12). Every value also adds to the total.
struct Block
{
    const char* sql;
    const char* classField;
    const char* typeField;
    std::vector<Column> columns;
};

const std::vector<Column> kUnitColumns = {
    {"corpnum", 2, Put::ByPart},
    {"totalarea", 3, Put::ByPart},
    {"totalstolen", 27, Put::ByPart},
    {"totalstolennum", 28, Put::ByPart},
};
const std::vector<Column> kRiskColumns = {{"corpnum", kByRisk, Put::ByPart}, {"corpnum", 4, Put::Add}};
const std::vector<Column> kFundColumns = {{"total", 29, Put::ByPart}};

// The units' blocks, written before the device status counts.
const Block kUnitBlocks[] = {
    {"select class,type,count(*) as corpnum,sum(corparea) as totalarea, "
     "sum(stolentimes) as totalstolen, sum(stolenitemnum) as totalstolennum "
     "from corpsecurity where class>=11 and class<=15 group by class ,type "
     "order by class,type",
     "class", "type", kUnitColumns},
    {"select class,count(*) as corpnum,sum(corparea) as totalarea, "
     "sum(damagedtimes) as totaldamage, sum(damageditemnum) as totaldamagenum, "
     "sum(stolentimes) as totalstolen, sum(stolenitemnum) as totalstolennum "
     "from corpsecurity where class>=20 and class<=22 group by class "
     "order by class",
     "class", nullptr, kUnitColumns},
    {"select class,type,risk, count(*) as corpnum from dat_corp_info "
     "where class>=11 and class<=15 and (risk=10 or risk=20) "
     "group by class ,type,risk order by class,type,risk",
     "class", "type", kRiskColumns},
    {"select class,risk, count(*) as corpnum from dat_corp_info "
     "where class>=20 and class<=22 and (risk=10 or risk=20) "
     "group by class,risk order by class,risk",
     "class", nullptr, kRiskColumns},
};
// The funds of the security projects, written after them.
const Block kFundBlocks[] = {
    {"select corpclass,corptype,sum(totalfund) as total from prjfund "
     "where class=5 and corpclass>=11 and corpclass<=15 "
     "group by corpclass ,corptype order by corpclass,corptype",
     "corpclass", "corptype", kFundColumns},
    {"select corpclass, sum(totalfund) as total from prjfund "
     "where class=5 and corpclass>=20 and corpclass<=22 "
     "group by corpclass order by corpclass",
     "corpclass", nullptr, kFundColumns},
};

void WriteBlock(Database& db, ReportSheet& sheet, CellSums& sums, const Block& block)
{
    ReportRows rows(db, QString::fromUtf8(block.sql));
    const bool upper = block.typeField != nullptr;
    const int unitClass = rows.Field(QString::fromLatin1(block.classField));
    const int unitType = upper ? rows.Field(QString::fromLatin1(block.typeField)) : -1;
    const bool byRisk = block.columns.front().col == kByRisk;
    const int risk = byRisk ? rows.Field(QStringLiteral("risk")) : -1;
    std::vector<int> fields;
    for (const Column& column : block.columns)
        fields.push_back(rows.Field(QString::fromLatin1(column.field)));
    const int totalRow = upper ? kUpperTotalRow : kLowerTotalRow;
    while (rows.Next())
    {
        const int row =
            upper ? UpperRow(rows.Value(unitClass), rows.Value(unitType)) : LowerRow(rows.Value(unitClass));
        for (size_t i = 0; i < block.columns.size(); ++i)
        {
            const Column& column = block.columns[i];
            const int col = column.col == kByRisk ? RiskColumn(rows.Value(risk)) : column.col;
            const QVariant value = rows.Value(fields[i]);
            if (row != kNoRow)
            {
                if (upper || column.put == Put::Add)
                    sums.Add(col, row, value);
                else
                    sheet.Number(col, row, value);
            }
            sums.Add(col, totalRow, value);
        }
    }
}
} // namespace

void WriteSecuritySheet(Database& db, Workbook& workbook)
{
    ReportSheet sheet(workbook, 2);
    // No cell that takes adds is set: they are summed in memory and written once.
    CellSums sums(sheet);
    for (const Block& block : kUnitBlocks)
        WriteBlock(db, sheet, sums, block);
    int first = 7;
    for (const QString& field : kStatusFields)
    {
        WriteDeviceStatusCounts(db, field, QString::number(first), workbook);
        first += 4;
    }
    for (const Block& block : kFundBlocks)
        WriteBlock(db, sheet, sums, block);
    sums.Flush();
}

void WriteDeviceStatusCounts(Database& db, const QString& statusField, const QString& firstColumn,
                             Workbook& workbook)
{
    // The field's name becomes part of the query text: only the five status columns are taken.
    if (!kStatusFields.contains(statusField))
        throw CorvaneError(QStringLiteral("不是设施状况字段:") + statusField);
    bool isNumber = false;
    const int first = firstColumn.toInt(&isNumber);
    if (!isNumber)
        throw CorvaneError(QStringLiteral("起始列不是数字:") + firstColumn);
    ReportSheet sheet(workbook, 2);
    // Status 3 in the first column down to status 0 in the fourth; other statuses have no column.
    const auto statusColumn = [&](const QVariant& status)
    {
        const int code = CodeOf(status);
        return code >= 0 && code <= 3 ? first + 3 - code : kNoRow;
    };

    {
        ReportRows rows(db, QStringLiteral("select class,type,%1, count(*) as corpnum from corpsecurity "
                                           "where class>=11 and class<=15 group by class ,type,%1 "
                                           "order by class,type,%1")
                                .arg(statusField));
        while (rows.Next())
        {
            const int col = statusColumn(rows.Value(statusField));
            if (col == kNoRow)
                continue;
            const int row = UpperRow(rows.Value(QStringLiteral("class")), rows.Value(QStringLiteral("type")));
            const QVariant corpnum = rows.Value(QStringLiteral("corpnum"));
            if (row != kNoRow)
                sheet.Add(col, row, corpnum);
            sheet.Add(col, kUpperTotalRow, corpnum);
        }
    }
    {
        ReportRows rows(db,
                        QStringLiteral("select class,%1, count(*) as corpnum from corpsecurity "
                                       "where class>=20 and class<=22 group by class,%1 order by class,%1")
                            .arg(statusField));
        while (rows.Next())
        {
            const int col = statusColumn(rows.Value(statusField));
            if (col == kNoRow)
                continue;
            const int row = LowerRow(rows.Value(QStringLiteral("class")));
            const QVariant corpnum = rows.Value(QStringLiteral("corpnum"));
            if (row != kNoRow)
                sheet.Number(col, row, corpnum);
            sheet.Add(col, kLowerTotalRow, corpnum);
        }
    }
}
