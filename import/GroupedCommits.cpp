#include "import/GroupedCommits.h"

#include "services/CorvaneError.h"
#include "services/Database.h"

namespace
{
// A commit per file writes most B-tree pages again for every file; a group shares them. A crash
// loses at most one group's work, and its files are still in the import folder.
constexpr qsizetype kGroupFiles = 500;
constexpr qint64 kGroupMilliseconds = 1000;
} // namespace

GroupedCommits::GroupedCommits(Database& db, const BatchKind& kind, BatchOutcome& outcome)
    : FileCommits(db, kind, outcome), m_checkpointer(outcome.settings)
{
}

bool GroupedCommits::Import(const QString& name, const XmlNode& root, const QString& key)
{
    if (m_group.isEmpty() && !BeginGroup(name))
        return false;
    bool ok = false;
    HeldMessages held(m_outcome.sink);
    try
    {
        Savepoint file(m_db, QStringLiteral("import_file"));
        // What the sections wrote is kept even when a later one failed.
        ok = m_kind.ImportDocument(m_db, root, key, held);
        if (!m_db.Unusable())
            WriteEntry(root, key, Imported(ok, key), held);
        if (!m_db.Unusable())
            file.Release();
    }
    catch (const CorvaneError&)
    {
        ok = false; // the engine ended the transaction: the group's commit reports it
    }
    if (m_db.Unusable())
    {
        // The sections' messages would say the same for this file and every later one.
        ++m_outcome.counts.failed;
        m_outcome.StopForDatabase(name, m_db.LastFailure());
        return false;
    }
    m_group.append(Entry(root, key, Imported(ok, key), held.Messages()));
    held.Deliver();
    if (m_group.size() >= kGroupFiles || m_groupTimer.elapsed() >= kGroupMilliseconds ||
        !m_db.InTransaction())
        Commit();
    return !m_outcome.counts.stopped;
}

// The write lock is taken before the first row, so a busy database leaves nothing half written.
bool GroupedCommits::BeginGroup(const QString& name)
{
    bool begun = false;
    try
    {
        begun = m_db.TryBeginWrite();
    }
    catch (const CorvaneError& error)
    {
        m_outcome.StopForDatabase(name, error.Message());
        return false;
    }
    if (!begun)
    {
        m_outcome.StopBusy();
        return false;
    }
    m_groupTimer.start();
    return true;
}

// Files move only after their rows are committed; a failed commit fails every file of the group,
// and they all stay.
void GroupedCommits::Commit()
{
    if (m_group.isEmpty())
        return;
    QString failure;
    try
    {
        m_db.Commit();
    }
    catch (const CorvaneError& error)
    {
        failure = error.Message();
        m_db.Rollback();
    }
    if (!failure.isEmpty() && m_db.Unusable())
    {
        if (!m_outcome.counts.stopped)
            m_outcome.StopForDatabase(m_group.first().name, failure);
        m_outcome.counts.failed += int(m_group.size());
        m_group.clear();
        return;
    }
    for (const ImportLedger::Entry& file : std::as_const(m_group))
    {
        if (!failure.isEmpty())
        {
            // The entry went with the rows; the file is entered again as failed.
            const QString text = QStringLiteral("保存") + file.name + QStringLiteral("的数据失败:") + failure;
            m_outcome.sink.Show(text);
            ImportLedger::Entry entry = file;
            entry.outcome = LedgerOutcome::kFailed;
            entry.messages.append({text, {}});
            m_outcome.ledger.Later(entry);
        }
        m_outcome.Settle(file.name, failure.isEmpty() && file.outcome == LedgerOutcome::kImported);
    }
    if (failure.isEmpty())
        m_outcome.ledger.Committed();
    else
        m_outcome.ledger.Discard();
    m_group.clear();
    m_outcome.StartMoves();
    if (failure.isEmpty())
        m_checkpointer.Request();
}
