#pragma once

#include "import/FileCommits.h"
#include "services/WalCheckpointer.h"

#include <QElapsedTimer>
#include <QVector>

// The embedded engine's commits: files are committed in groups of up to 500 files or a second's
// work, each file in a savepoint of its own, and moved once their group's commit returns.
// - A group begins by taking the write lock: a database another program holds past the busy wait
//   ends the batch before a row is written ("数据库正被其他程序使用" + path).
// - A commit that fails shows "保存" + name + "的数据失败:" + the reason for every file of its
//   group; they count as failed and stay.
// - A database that can take no more ends the batch with one message; the files of the group in
//   hand count as failed.
// After each commit the write-ahead log is copied into the database on a thread of its own.
class GroupedCommits : public FileCommits
{
public:
    GroupedCommits(Database& db, const BatchKind& kind, BatchOutcome& outcome);

    bool Import(const QString& name, const XmlNode& root, const QString& key) override;
    void Finish() override { Commit(); }

private:
    bool BeginGroup(const QString& name);
    void Commit();

    // The files of the group, entered as written, for the ledger should the commit fail.
    QVector<ImportLedger::Entry> m_group;
    QElapsedTimer m_groupTimer;
    // Ended before the batch's connection, which then has little of the log left to copy.
    WalCheckpointer m_checkpointer;
};
