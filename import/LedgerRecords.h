#pragma once

#include "import/ImportLedger.h"

#include <QString>
#include <QVector>

#include <optional>

class Database;

// A batch as the import ledger holds it. The counts of a batch that never ended (the program was
// killed) are those of its entries.
struct LedgerBatch
{
    QString id;
    QString kind;      // "units", "projects"
    QString startedAt; // UTC, ISO 8601
    QString endedAt;   // empty when the batch never ended
    QString osUser;
    QString host;
    QString databaseUser; // on a server
    QString programVersion;
    QString databaseName;
    int listed = 0;
    int imported = 0; // moved or not
    int failed = 0;
    int unprocessed = 0;
    int notMoved = 0;
    int notShown = 0;
    int added = 0;     // 新增
    int updated = 0;   // 更新
    int unchanged = 0; // 未变化
};

// One file of a batch with the messages shown for it, in order.
struct LedgerFile
{
    int number = 0; // in the order the batch met the files
    QString name;
    qint64 size = -1; // -1 when the file was never read
    QString sha256;
    QString key;
    QString unitId;
    QString unitName; // as the database's units have it now
    QString outcome;  // LedgerOutcome
    QString change;   // LedgerChange, for imported files
    LedgerMessages messages;

    // Refused in some way: the reporting unit or the operator has something to correct.
    bool NeedsAction() const;
};

// The batches, newest first; last > 0 keeps that many. Throws CorvaneError.
QVector<LedgerBatch> ListBatches(Database& db, int last = 0);
// The batch whose id is id or begins with it (at least 8 characters), if exactly one does.
// Throws CorvaneError.
std::optional<LedgerBatch> FindBatch(Database& db, const QString& id);
// The batch's files in order. Throws CorvaneError.
QVector<LedgerFile> BatchFiles(Database& db, const QString& batchId);

// What the operator reads for a kind, an outcome and a change.
QString KindText(const QString& kind);
QString OutcomeText(const QString& outcome);
QString ChangeText(const QString& change);
// A ledger time (UTC, ISO 8601) in local time as "yyyy-MM-dd HH:mm:ss"; empty for empty.
QString LocalTimeText(const QString& utc);
// Who ran a batch: the system user and, where known, "@" and the host.
QString OperatorText(const LedgerBatch& batch);
// The first message of a file, else its outcome: one line's reason for a table.
QString ReasonText(const LedgerFile& file);
