#include "import/ReplaceProjectRows.h"

#include "services/Database.h"
#include "services/Record.h"

#include <optional>

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
                db.Execute(QStringLiteral("DELETE FROM %1 WHERE projectid = ?").arg(db.QuoteName(table)),
                           {projectKey})
                    .finish();
            }))
        return false;

    for (const FixedRow& row : rows)
    {
        std::optional<Record> record;
        if (!guard.Run([&] { record.emplace(Record::AddNew(db, table)); }))
            return false;
        if (!guard.Run(
                [&]
                {
                    record->SetValue(QStringLiteral("projectid"), projectKey);
                    record->SetText(codeColumn, row.code);
                }))
            return false;
        guard.Run([&] { CopyMapping(root, row.first, *record); });
        guard.Run([&] { CopyMapping(root, row.second, *record); });
        if (!guard.Run([&] { record->Update(); }))
            return false;
    }

    guard.Run([&] { savepoint->Release(); });
    return guard.Result();
}
