#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class Database;
struct BatchCounts;

// What became of a file in the ledger (imp_file.outcome).
namespace LedgerOutcome
{
inline const QString kImported = QStringLiteral("imported");
inline const QString kFailed = QStringLiteral("failed");
inline const QString kUnprocessed = QStringLiteral("not processed");
inline const QString kWrongKind = QStringLiteral("not of this kind");
inline const QString kUnloadable = QStringLiteral("not loadable");
} // namespace LedgerOutcome

// The batch's record in the database (imp_batch, imp_file). A file whose rows are written has its
// entry written in the same transaction (Write), so that a kill leaves both or neither; the batch
// row goes with the first such transaction and is completed, with the entries of the files that
// wrote no rows (Later), by Finish.
class ImportLedger
{
public:
    // kind: "units" or "projects"; listed: the files of the list the batch looks at.
    ImportLedger(const QString& kind, int listed);

    struct Entry
    {
        QString name;
        QString key;
        QString outcome;
        QStringList messages;
    };
    // The size and hash of a file as its loader read it, for its entry.
    void Describe(const QString& name, qint64 size, const QByteArray& sha256);
    // Inside the transaction that holds the file's rows. Throws CorvaneError.
    void Write(Database& db, const Entry& entry);
    // The transactions so far are committed: the batch row is among them.
    void Committed() { m_batchStored = true; }
    // A file whose entry is written at the end of the batch, or again after its commit failed.
    void Later(const Entry& entry);
    // Stores the batch's end and counts and the entries left to write, in a transaction of its
    // own, plus every file of names without an entry as not processed. A failure here changes
    // nothing the batch did and shows nothing: the batch's own messages already told it.
    void Finish(Database& db, const QStringList& names, const BatchCounts& counts) noexcept;

    const QString& Id() const { return m_id; }

private:
    void WriteBatch(Database& db);
    void Insert(Database& db, const Entry& entry);

    struct Facts
    {
        qint64 size = -1;
        QByteArray sha256;
    };
    const QString m_id;
    const QString m_kind;
    const QString m_started;
    const int m_listed;
    bool m_batchStored = false; // by a committed transaction
    QHash<QString, Facts> m_facts;
    QHash<QString, bool> m_entered; // files with an entry written or to write
    QVector<Entry> m_later;
};
