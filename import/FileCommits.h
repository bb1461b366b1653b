#pragma once

#include "import/ImportBatch.h"
#include "import/ImportLedger.h"
#include "import/MoveQueue.h"
#include "services/MessageSink.h"

#include <QString>
#include <QStringList>

#include <optional>

class Database;
struct Settings;
struct XmlNode;

// What becomes of the files of a batch: how many were imported and failed, the imported ones
// moved into LocalPath once their rows are committed, and whether the batch ended early.
class BatchOutcome
{
public:
    // Files move unless LocalPath is empty, missing or the import folder itself. kind and listed
    // are the ledger's.
    BatchOutcome(const QString& importFolder, const Settings& batchSettings, MessageSink& messages,
                 const QString& kind, int listed);

    // A file whose rows are in moves to LocalPath; one that failed stays where it is.
    void Settle(const QString& name, bool imported);
    // Hands the files settled since the last time to the mover at once, to wake it once.
    void StartMoves();
    // Shows text and ends the batch.
    void Stop(const QString& text);
    // A failure that every later file would meet too (disk full, read-only or damaged database)
    // ends the batch with one message instead of one per file.
    void StopForDatabase(const QString& name, const QString& failure);
    // Another program holds the database for writing past the busy wait.
    void StopBusy();

    const QString folder;
    const Settings& settings;
    MessageSink& sink;
    BatchCounts counts;
    ImportLedger ledger;
    std::optional<MoveQueue> mover;

private:
    QStringList m_moving;
};

// Holds what the sections of one attempt at a file show: an attempt the server undid because of
// another operator's transaction is run again, and its messages are not the operator's concern.
class HeldMessages : public MessageSink
{
public:
    explicit HeldMessages(MessageSink& sink) : m_sink(sink) {}
    void Show(const QString& text) override { m_messages.append({text, {}}); }
    void ShowAbout(const QString& text, const MessageDetail& detail) override
    {
        m_messages.append({text, detail});
    }
    void Progress(const QString& step, int done, int total) override { m_sink.Progress(step, done, total); }
    void Deliver();
    const LedgerMessages& Messages() const { return m_messages; }

private:
    MessageSink& m_sink;
    LedgerMessages m_messages;
};

// How the rows of a batch's files are committed: the embedded engine commits files in groups
// (GroupedCommits), a server each file by itself (OneFileTransactions).
class FileCommits
{
public:
    FileCommits(Database& db, const BatchKind& kind, BatchOutcome& outcome)
        : m_db(db), m_kind(kind), m_outcome(outcome)
    {
    }
    virtual ~FileCommits() = default;
    FileCommits(const FileCommits&) = delete;
    FileCommits& operator=(const FileCommits&) = delete;

    // Writes the rows of one file whose root is the kind's and settles it, or leaves it to the
    // commit that settles it. False when the batch ends here; the outcome then says why.
    virtual bool Import(const QString& name, const XmlNode& root, const QString& key) = 0;
    // At the end of the batch, also after a stop: commits and settles the files still open.
    virtual void Finish() {}

protected:
    // The sections succeeded, and a unit has its id.
    bool Imported(bool ok, const QString& key) const
    {
        return ok && !(m_kind.KeyRequired() && key.isEmpty());
    }
    // The ledger entry of the file in hand, written with its rows.
    void WriteEntry(const XmlNode& root, const QString& key, bool imported, const HeldMessages& held)
    {
        m_outcome.ledger.Write(m_db, Entry(root, key, imported, held.Messages()));
    }
    ImportLedger::Entry Entry(const XmlNode& root, const QString& key, bool imported,
                              const LedgerMessages& messages) const
    {
        ImportLedger::Entry entry =
            m_outcome.ledger.InHand(imported ? LedgerOutcome::kImported : LedgerOutcome::kFailed, messages);
        entry.key = key;
        entry.unitId = m_kind.UnitOf(root, key);
        return entry;
    }

    Database& m_db;
    const BatchKind& m_kind;
    BatchOutcome& m_outcome;
};
