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
    const QVariant key = projectKey;
    // A project imported for the first time has no rows to replace, and where a savepoint costs
    // more than looking, none is taken for it.
    bool replacing = true;
    if (db.LooksBeforeSavepoint() &&
        !guard.Run(
            [&]
            {
                replacing =
                    db.HasRow(db.StatementText(QStringLiteral("exists:") + table,
                                               [&]
                                               {
                                                   return QStringLiteral("SELECT 1 FROM ") +
                                                          db.QuoteName(table) +
                                                          QStringLiteral(" WHERE projectid = ? LIMIT 1");
                                               }),
                              {&key, 1});
            }))
        return false;

    std::optional<Savepoint> savepoint;
    auto release = [&]
    {
        if (savepoint)
            guard.Run([&] { savepoint->Release(); });
    };
    if (replacing)
    {
        if (!guard.Run([&] { savepoint.emplace(db, QStringLiteral("replace_project_rows")); }))
            return false;
        // Leaving before Release() rolls back to the savepoint: the old rows stay, never beside new ones.
        if (!guard.Run(
                [&]
                {
                    db.Run(db.StatementText(QStringLiteral("delete:") + table,
                                            [&] {
                                                return QStringLiteral("DELETE FROM ") + db.QuoteName(table) +
                                                       QStringLiteral(" WHERE projectid = ?");
                                            }),
                           {&key, 1});
                }))
            return false;
    }
    if (rows.empty())
    {
        release();
        return guard.Result();
    }

    // Every row copies into the same columns: their kinds are read once.
    ColumnKind kinds[3] = {};
    if (!guard.Run(
            [&]
            {
                kinds[0] = KindOfColumn(db, table, codeColumn.toLower());
                kinds[1] = KindOfColumn(db, table, rows.front().first.column);
                kinds[2] = KindOfColumn(db, table, rows.front().second.column);
            }))
        return false;

    // A refused copy leaves that column empty in that row only.
    QVariantList values;
    values.reserve(qsizetype(rows.size()) * 4);
    for (const FixedRow& row : rows)
    {
        QVariant code;
        if (!guard.Run([&] { code = ColumnValue(codeColumn, kinds[0], row.code); }))
            return false;
        QVariant first, second;
        guard.Run([&] { first = MappingValue(root, row.first, kinds[1]); });
        guard.Run([&] { second = MappingValue(root, row.second, kinds[2]); });
        values << projectKey << code << first << second;
    }

    if (!guard.Run(
            [&]
            {
                db.Run(db.StatementText(QStringLiteral("insert:") + table + QString::number(rows.size()),
                                        [&] {
                                            return InsertStatement(db, table, codeColumn, rows.front(),
                                                                   qsizetype(rows.size()));
                                        }),
                       values);
            }))
        return false;
    release();
    return guard.Result();
}

QStringList PathsOf(std::span<const FixedRow> rows)
{
    QStringList paths;
    for (const FixedRow& row : rows)
        paths << row.first.xpath << row.second.xpath;
    return paths;
}
