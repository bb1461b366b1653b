#pragma once

#include "import/FileCommits.h"

// A server's commits: each file in a transaction of its own, holding the lock on its key (unit or
// project) so that two operators importing the same file write it one after the other, and moved
// once its commit returns.
// - A transaction another operator's made the server undo is run again, a few times at most; only
//   the messages of the last attempt are shown.
// - A commit that fails shows "保存" + name + "的数据失败:" + the reason; the file counts as failed.
// - A busy database, a lost connection ("与数据库的连接已断开，导入停止于" + path + ":" + the
//   description) or a database that can take no more ends the batch; the file in hand stays.
class OneFileTransactions : public FileCommits
{
public:
    using FileCommits::FileCommits;

    bool Import(const QString& name, const XmlNode& root, const QString& key) override;
};
