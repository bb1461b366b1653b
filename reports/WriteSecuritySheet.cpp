#include "reports/ReportCells.h"
#include "reports/ReportRows.h"
#include "reports/ReportWriters.h"
#include "services/CorvaneError.h"

#include <QStringList>

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
} // namespace

void WriteSecuritySheet(Database& db, Workbook& workbook)
{
    ReportSheet sheet(workbook, 2);
    const int counted[] = {2, 3, 27, 28};

    {
        ReportRows rows(
            db, QStringLiteral("select class,type,count(*) as corpnum,sum(corparea) as totalarea, "
                               "sum(stolentimes) as totalstolen, sum(stolenitemnum) as totalstolennum "
                               "from corpsecurity where class>=11 and class<=15 group by class ,type "
                               "order by class,type"));
        const int fields[] = {rows.Field(QStringLiteral("corpnum")), rows.Field(QStringLiteral("totalarea")),
                              rows.Field(QStringLiteral("totalstolen")),
                              rows.Field(QStringLiteral("totalstolennum"))};
        while (rows.Next())
        {
            const int row = UpperRow(rows.Value(QStringLiteral("class")), rows.Value(QStringLiteral("type")));
            for (int i = 0; i < 4; ++i)
            {
                const QVariant value = rows.Value(fields[i]);
                if (row != kNoRow)
                    sheet.Add(counted[i], row, value);
                sheet.Add(counted[i], kUpperTotalRow, value);
            }
        }
    }
    {
        ReportRows rows(
            db, QStringLiteral("select class,count(*) as corpnum,sum(corparea) as totalarea, "
                               "sum(damagedtimes) as totaldamage, sum(damageditemnum) as totaldamagenum, "
                               "sum(stolentimes) as totalstolen, sum(stolenitemnum) as totalstolennum "
                               "from corpsecurity where class>=20 and class<=22 group by class "
                               "order by class"));
        const int fields[] = {rows.Field(QStringLiteral("corpnum")), rows.Field(QStringLiteral("totalarea")),
                              rows.Field(QStringLiteral("totalstolen")),
                              rows.Field(QStringLiteral("totalstolennum"))};
        while (rows.Next())
        {
            const int row = LowerRow(rows.Value(QStringLiteral("class")));
            for (int i = 0; i < 4; ++i)
            {
                const QVariant value = rows.Value(fields[i]);
                if (row != kNoRow)
                    sheet.Number(counted[i], row, value);
                sheet.Add(counted[i], kLowerTotalRow, value);
            }
        }
    }
    {
        ReportRows rows(db, QStringLiteral("select class,type,risk, count(*) as corpnum from dat_corp_info "
                                           "where class>=11 and class<=15 and (risk=10 or risk=20) "
                                           "group by class ,type,risk order by class,type,risk"));
        while (rows.Next())
        {
            const int col = RiskColumn(rows.Value(QStringLiteral("risk")));
            const int row = UpperRow(rows.Value(QStringLiteral("class")), rows.Value(QStringLiteral("type")));
            const QVariant corpnum = rows.Value(QStringLiteral("corpnum"));
            if (row != kNoRow)
            {
                sheet.Add(col, row, corpnum);
                sheet.Add(4, row, corpnum);
            }
            sheet.Add(col, kUpperTotalRow, corpnum);
            sheet.Add(4, kUpperTotalRow, corpnum);
        }
    }
    {
        ReportRows rows(db, QStringLiteral("select class,risk, count(*) as corpnum from dat_corp_info "
                                           "where class>=20 and class<=22 and (risk=10 or risk=20) "
                                           "group by class,risk order by class,risk"));
        while (rows.Next())
        {
            const int col = RiskColumn(rows.Value(QStringLiteral("risk")));
            const int row = LowerRow(rows.Value(QStringLiteral("class")));
            const QVariant corpnum = rows.Value(QStringLiteral("corpnum"));
            if (row != kNoRow)
            {
                sheet.Number(col, row, corpnum);
                sheet.Add(4, row, corpnum);
            }
            sheet.Add(col, kLowerTotalRow, corpnum);
            sheet.Add(4, kLowerTotalRow, corpnum);
        }
    }

    int first = 7;
    for (const QString& field : kStatusFields)
    {
        WriteDeviceStatusCounts(db, field, QString::number(first), workbook);
        first += 4;
    }

    {
        ReportRows rows(db, QStringLiteral("select corpclass,corptype,sum(totalfund) as total from prjfund "
                                           "where class=5 and corpclass>=11 and corpclass<=15 "
                                           "group by corpclass ,corptype order by corpclass,corptype"));
        while (rows.Next())
        {
            const int row =
                UpperRow(rows.Value(QStringLiteral("corpclass")), rows.Value(QStringLiteral("corptype")));
            const QVariant total = rows.Value(QStringLiteral("total"));
            if (row != kNoRow)
                sheet.Add(29, row, total);
            sheet.Add(29, kUpperTotalRow, total);
        }
    }
    {
        ReportRows rows(db, QStringLiteral("select corpclass, sum(totalfund) as total from prjfund "
                                           "where class=5 and corpclass>=20 and corpclass<=22 "
                                           "group by corpclass order by corpclass"));
        while (rows.Next())
        {
            const int row = LowerRow(rows.Value(QStringLiteral("corpclass")));
            const QVariant total = rows.Value(QStringLiteral("total"));
            if (row != kNoRow)
                sheet.Number(29, row, total);
            sheet.Add(29, kLowerTotalRow, total);
        }
    }
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
