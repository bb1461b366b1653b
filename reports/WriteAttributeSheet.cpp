#include "reports/ReportCells.h"
#include "reports/ReportRows.h"
#include "reports/ReportWriters.h"
#include "services/Database.h"

namespace
{
// The row of an attribute group; -1 for a group without an attribute code.
int AttributeRow(const QVariant& attribute)
{
    const int code = CodeOf(attribute);
    return code >= 0 ? code + 4 : kNoCode;
}

// The rows of zjzb below class 8, every one that the sheet's queries read, copied once into a
// temporary table where the engine gains by it (CopiesReportRows), so that the six groupings need
// not join each project with its unit and its funds again. The copy keeps the order of the class
// index, in which each query would read its rows too, so every sum adds up alike.
class AttributeRows
{
public:
    explicit AttributeRows(Database& db) : m_db(db), m_copied(db.CopiesReportRows())
    {
        // Run as the queries are, so that a failure reads the same.
        if (m_copied)
            ReportRows(m_db, QStringLiteral("CREATE TEMP TABLE report_attribute_rows AS SELECT attribute, "
                                            "prjclass, prjtype, corptype, corpclass, totalfund FROM zjzb "
                                            "WHERE prjclass<8"));
    }
    ~AttributeRows()
    {
        try
        {
            if (m_copied)
                m_db.Execute(QStringLiteral("DROP TABLE temp.report_attribute_rows")).finish();
        }
        catch (...)
        {
        }
    }
    AttributeRows(const AttributeRows&) = delete;
    AttributeRows& operator=(const AttributeRows&) = delete;

    // The query with its source, written %1.
    QString Query(const char* sql) const
    {
        return QString::fromUtf8(sql).arg(m_copied ? QStringLiteral("report_attribute_rows")
                                                   : QStringLiteral("zjzb"));
    }

private:
    Database& m_db;
    const bool m_copied;
};

// Runs one grouped query and hands each record with an attribute row to write.
template <typename Write> void EachGroup(Database& db, const QString& sql, Write write)
{
    ReportRows rows(db, sql);
    const int attribute = rows.Field(QStringLiteral("attribute"));
    const int total = rows.Field(QStringLiteral("total"));
    while (rows.Next())
    {
        const int row = AttributeRow(rows.Value(attribute));
        if (row >= 0)
            write(rows, row, rows.Value(total));
    }
}
} // namespace

void WriteAttributeSheet(Database& db, Workbook& workbook)
{
    ReportSheet sheet(workbook, 0);
    const AttributeRows source(db);

    EachGroup(db,
              source.Query("select attribute,count(*) as totalnum ,sum(totalfund) as total from %1 "
                           "where prjclass<8 group by attribute order by attribute"),
              [&](const ReportRows& rows, int row, const QVariant& total)
              {
                  sheet.Number(1, row, rows.Value(QStringLiteral("totalnum")));
                  sheet.Number(2, row, total);
              });

    EachGroup(
        db,
        source.Query("select attribute,prjclass,sum(totalfund) as total from %1 where prjclass=2 or "
                     "prjclass=4 or prjclass=6 group by attribute ,prjclass order by attribute,prjclass"),
        [&](const ReportRows& rows, int row, const QVariant& total)
        {
            const int prjclass = CodeOf(rows.Value(QStringLiteral("prjclass")));
            const int col = prjclass == 2 ? 21 : prjclass == 4 ? 38 : 39;
            sheet.Amount(col, row, total);
        });

    EachGroup(db,
              source.Query("select attribute,prjtype,sum(totalfund) as total from %1 where prjclass=2 "
                           "group by attribute ,prjtype order by attribute,prjtype"),
              [&](const ReportRows& rows, int row, const QVariant& total)
              {
                  const int prjtype = CodeOf(rows.Value(QStringLiteral("prjtype")));
                  // Column 21 holds the class total; only the types 21 to 29 have columns.
                  if (prjtype >= 21 && prjtype <= 29)
                      sheet.Amount(prjtype + 1, row, total);
              });

    EachGroup(db,
              source.Query("select attribute,corptype,sum(totalfund) as total from %1 where prjclass<8 and "
                           "(corptype=10 or corptype=20 or corptype=30) group by attribute ,corptype "
                           "order by attribute,corptype"),
              [&](const ReportRows& rows, int row, const QVariant& total)
              {
                  const int corptype = CodeOf(rows.Value(QStringLiteral("corptype")));
                  sheet.Amount(corptype == 10 ? 3 : corptype == 20 ? 12 : 31, row, total);
              });

    EachGroup(db,
              source.Query("select attribute,corptype,corpclass,prjclass,sum(totalfund) as total from %1 "
                           "where (corptype=10 or corptype=20) and (corpclass>=11 and corpclass<=15) and "
                           "(prjclass=1 or prjclass=5) group by attribute,corptype ,corpclass,prjclass "
                           "order by attribute,corptype,corpclass,prjclass"),
              [&](const ReportRows& rows, int row, const QVariant& total)
              {
                  const int corpclass = CodeOf(rows.Value(QStringLiteral("corpclass")));
                  int col = corpclass == 11 ? 4 : corpclass <= 13 ? 8 : 10;
                  if (CodeOf(rows.Value(QStringLiteral("prjclass"))) == 5)
                      col += 1;
                  if (CodeOf(rows.Value(QStringLiteral("corptype"))) == 20)
                      col += 9;
                  // Two unit classes share each of the columns 8 to 11 and 17 to 20.
                  sheet.Add(col, row, total);
              });

    EachGroup(db,
              source.Query(
                  "select attribute,corpclass,prjclass,sum(totalfund) as total from %1 "
                  "where corptype=30 and (corpclass>=20 and corpclass<=22 ) and (prjclass=3 or "
                  "prjclass=5) group by attribute ,corpclass,prjclass order by attribute,corpclass,prjclass"),
              [&](const ReportRows& rows, int row, const QVariant& total)
              {
                  const int corpclass = CodeOf(rows.Value(QStringLiteral("corpclass")));
                  int col = corpclass == 20 ? 32 : corpclass == 21 ? 34 : 36;
                  if (CodeOf(rows.Value(QStringLiteral("prjclass"))) == 5)
                      col += 1;
                  sheet.Amount(col, row, total);
              });
}
