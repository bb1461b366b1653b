#include "import/ReplaceProjectRows.h"

#include "services/Database.h"
#include "services/Record.h"

#include <optional>

namespace
{
// One statement for all rows: a fixed row set costs one round through the engine, not one per row.
QString InsertStatement(Database& db, const QString& table, const QString& codeColumn, const FixedRow& layout,
                        qsizetype rowCount)
{
    QString sql = QStringLiteral("INSERT INTO ") + db.QuoteName(table) + QStringLiteral(" (") +
                  db.QuoteName(QStringLiteral("projectid")) + QLatin1Char(',') + db.QuoteName(codeColumn) +
                  QLatin1Char(',') + db.QuoteName(layout.first.column) + QLatin1Char(',') +
                  db.QuoteName(layout.second.column) + QStringLiteral(") VALUES ");
    for (qsizetype i = 0; i < rowCount; ++i)
        sql += i == 0 ? QStringLiteral("(?,?,?,?)") : QStringLiteral(",(?,?,?,?)");
    return sql;
}
} // namespace

bool ReplaceProjectRows(Database& db, const XmlNode& root, const QString& table, const QString& codeColumn,
                        std::span<const FixedRow> rows, SectionGuard& guard)
{
    const QString& projectKey = guard.Id();
    std::optional<Savepoint> savepoint;
    if (!guard.Run([&] { savepoint.emplace(db, QStringLiteral("replace_project_rows")); }))
        return false;

    // Leaving before Release() rolls back to the savepoint: the old rows stay, never beside new ones.
    if (!guard.Run(
            [&]
            {
                db.Execute(QStringLiteral("DELETE FROM ") + db.QuoteName(table) +
                               QStringLiteral(" WHERE projectid = ?"),
                           {projectKey})
                    .finish();
            }))
        return false;
    if (rows.empty())
    {
        guard.Run([&] { savepoint->Release(); });
        return guard.Result();
    }

    // Each row's values go through a record of its own, so a refused copy leaves that column empty
    // in that row only.
    QVariantList values;
    values.reserve(qsizetype(rows.size()) * 4);
    for (const FixedRow& row : rows)
    {
        std::optional<Record> record;
        if (!guard.Run(
                [&]
                {
                    record.emplace(Record::AddNew(db, table));
                    record->SetText(codeColumn, row.code);
                }))
            return false;
        guard.Run([&] { CopyMapping(root, row.first, *record); });
        guard.Run([&] { CopyMapping(root, row.second, *record); });
        values << projectKey << record->Value(codeColumn) << record->Value(row.first.column)
               << record->Value(row.second.column);
    }

    if (!guard.Run(
            [&]
            {
                db.Execute(InsertStatement(db, table, codeColumn, rows.front(), qsizetype(rows.size())),
                           values)
                    .finish();
            }))
        return false;
    guard.Run([&] { savepoint->Release(); });
    return guard.Result();
}
