#pragma once

#include "import/FileList.h"

#include <QString>

#include <functional>

class Database;
class MessageSink;
struct Settings;
struct XmlNode;

// What distinguishes the unit batch from the project batch.
struct BatchKind
{
    QString summaryTitle; // first line of the summary, e.g. "导入单位信息:操作完成！"
    // Loads the kind's dictionaries at the start of the batch.
    std::function<void(Database&, MessageSink&)> loadDictionaries;
    // The document's identifier (UnitId, ProjectKey).
    std::function<QString(const XmlNode& root)> readKey;
    // Runs the kind's section importers; true when all succeeded.
    std::function<bool(Database&, const XmlNode& root, const QString& key, MessageSink&)> importDocument;
    // Units: a file without an id counts as failed even when its sections succeeded.
    bool keyRequired = false;
};

struct BatchCounts
{
    int imported = 0;
    int failed = 0;
};

// Imports the files of the list one by one: one transaction per file, an imported file and its
// "htm" companion moved into LocalPath (unless that is the import folder itself or missing).
// A file that cannot be loaded shows its XML error and ends the batch. On a shared server a file
// whose transaction another operator's undid is imported again; a lost connection shows
// "与数据库的连接已断开，导入停止于" + path + ":" + the description and ends the batch, the files
// committed so far moved and the rest left in place. Shows the summary with both counts. Throws CorvaneError
// for what the batch does not handle: a database that cannot be opened, a missing dictionary table, a move
// that fails (rows and moves so far stay).
BatchCounts ImportFiles(const FileList& files, const BatchKind& kind, const Settings& settings,
                        MessageSink& sink);
