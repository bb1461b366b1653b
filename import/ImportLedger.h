#pragma once

#include "services/MessageSink.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>
#include <utility>
#include <vector>

class Database;
struct BatchCounts;

// What became of a file in the ledger (imp_file.outcome).
namespace LedgerOutcome
{
inline const QString kImported = QStringLiteral("imported");
inline const QString kNotMoved = QStringLiteral("imported, not moved");
inline const QString kFailed = QStringLiteral("failed");
inline const QString kUnprocessed = QStringLiteral("not processed");
inline const QString kWrongKind = QStringLiteral("not of this kind");
inline const QString kUnloadable = QStringLiteral("not loadable");
} // namespace LedgerOutcome

// What an imported file did to its key's rows (imp_file.change).
namespace LedgerChange
{
inline const QString kNew = QStringLiteral("new");
inline const QString kUpdated = QStringLiteral("updated");
inline const QString kUnchanged = QStringLiteral("unchanged");
} // namespace LedgerChange

// One message shown for a file, with the element and value it is about when there is one.
struct LedgerMessage
{
    QString text;
    MessageDetail detail;
};
using LedgerMessages = QVector<LedgerMessage>;

// The batch's record in the database (imp_batch, imp_file, imp_message). A file whose rows are
// written has its entry written in the same transaction (Write), so that a kill leaves both or
// neither; the batch row goes with the first such transaction and is completed, with the entries
// of the files that wrote no rows (Later), by Finish.
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
        LedgerMessages messages;
        QString unitId;
        int number = 0; // in the order the batch met the files; 0 for one it never loaded
        qint64 size = -1;
        QByteArray sha256;
    };
    // What the database holds already, for telling new keys from updated and unchanged ones:
    // the keys of keyTable.keyColumn and the content last imported for each key. Throws
    // CorvaneError.
    void LoadHistory(Database& db, const QString& keyTable, const QString& keyColumn);
    // The file in hand, with its size and hash as its loader read it.
    void Describe(const QString& name, qint64 size, const QByteArray& sha256);
    // An entry for the file in hand, to complete.
    Entry InHand(const QString& outcome, const LedgerMessages& messages = {}) const;
    // Inside the transaction that holds the file's rows. Throws CorvaneError.
    void Write(Database& db, const Entry& entry);
    // The transactions so far are committed: the batch row is among them.
    void Committed();
    // The transaction in hand was undone: its entries are not in the database.
    void Discard();
    // A file whose entry is written at the end of the batch, or again after its commit failed.
    // One the batch never loaded gets the next number.
    void Later(Entry entry);
    // Imported files that stayed in the import folder.
    void NotMoved(const QStringList& names) { m_notMoved += names; }
    // Stores the batch's end and counts, the entries left to write, every file of names (the
    // list the files in hand came from, after the files numbered as never loaded) without an
    // entry as not processed, and the files not moved, in a transaction of its own. notShown:
    // messages the operator chose not to see one by one. A failure here changes nothing the batch
    // did and shows nothing: the batch's own messages already told it.
    void Finish(Database& db, const QStringList& names, const BatchCounts& counts, int notShown) noexcept;

    const QString& Id() const { return m_id; }

private:
    void WriteBatch(Database& db);
    // change: what an imported file did to its key's rows (LedgerChange).
    void Insert(Database& db, const Entry& entry, const QString& change);
    QString Change(const QString& key, const QByteArray& sha256);

    void Enter(int number);
    const QString m_id;
    const QString m_kind;
    const QString m_started;
    const int m_listed;
    bool m_batchStored = false; // by a committed transaction
    bool m_batchInHand = false; // by the transaction in hand
    int m_met = 0;              // files numbered
    Entry m_inHand;
    std::vector<bool> m_entered; // by number: its entry is written or to write
    QVector<Entry> m_later;
    QStringList m_notMoved;
    // Every key in the database, with the hash of the file last imported for it where known.
    QHash<QString, QByteArray> m_content;
    // What the transaction in hand changed there: each key with its earlier hash, none for a new key.
    QVector<std::pair<QString, std::optional<QByteArray>>> m_undo;
    // Imported files by change (LedgerChange), committed and in the transaction in hand.
    QHash<QString, int> m_changes;
    QHash<QString, int> m_changesInHand;
};
