#pragma once

#include "import/FileList.h"

#include <QString>
#include <QStringList>

#include <span>
#include <utility>

class Database;
class MessageSink;
struct Settings;
struct XmlNode;

// What distinguishes the unit batch from the project batch. A kind owns its dictionaries, loaded
// at the start of each batch, and its list of sections.
class BatchKind
{
public:
    virtual ~BatchKind() = default;
    // First line of the summary, e.g. "导入单位信息:操作完成！".
    virtual QString SummaryTitle() const = 0;
    // Units: a file without an id counts as failed even when its sections succeeded.
    virtual bool KeyRequired() const = 0;
    // The root element of the kind's files ("CorpInfo", "Report").
    virtual QString RootName() const = 0;
    virtual void LoadDictionaries(Database& db, MessageSink& sink) = 0;
    // The document's identifier (UnitId, ProjectKey).
    virtual QString ReadKey(const XmlNode& root) const = 0;
    // The id of the reporting unit a document with this key belongs to.
    virtual QString UnitOf(const XmlNode& root, const QString& key) const = 0;
    // The table and column that hold the kind's keys.
    virtual std::pair<QString, QString> KeyColumn() const = 0;
    // The absolute paths ReadKey and the sections read, handed to the loaders at the start so
    // that each document's texts are looked up on its loading thread.
    virtual QStringList Paths() const = 0;
    // Runs the kind's sections in order, stopping at the first that fails; true when all succeeded.
    virtual bool ImportDocument(Database& db, const XmlNode& root, const QString& key,
                                MessageSink& sink) const = 0;
};

// A kind whose sections each take its dictionaries.
template <typename Dictionaries> class SectionedKind : public BatchKind
{
public:
    // A section imports its part of a document and names the absolute paths it reads.
    struct Section
    {
        bool (*import)(Database&, const XmlNode& root, const QString& key, const Dictionaries&, MessageSink&);
        QStringList (*paths)();
    };

    bool ImportDocument(Database& db, const XmlNode& root, const QString& key,
                        MessageSink& sink) const override
    {
        return RunSections(db, root, key, m_dictionaries, sink);
    }
    static bool RunSections(Database& db, const XmlNode& root, const QString& key,
                            const Dictionaries& dictionaries, MessageSink& sink)
    {
        for (const Section& section : Sections())
            if (!section.import(db, root, key, dictionaries, sink))
                return false;
        return true;
    }
    static QStringList SectionPaths()
    {
        QStringList paths;
        for (const Section& section : Sections())
            paths += section.paths();
        return paths;
    }
    // Defined by each kind.
    static std::span<const Section> Sections();

protected:
    Dictionaries m_dictionaries;
};

struct BatchCounts
{
    int imported = 0;
    int failed = 0;
    // The batch ended before its last file: a file could not be loaded, the database was busy or
    // could take no more, the connection to the server was lost, or the operator cancelled.
    bool stopped = false;
    // The operator stopped the batch; it ended after the file in hand.
    bool cancelled = false;
    // Files of the list the batch never looked at because it stopped early.
    int unprocessed = 0;
    // The batch's entry in the import ledger.
    QString batchId;
};

// Imports the files of the list one by one: on the embedded database committed in groups of files
// (a savepoint each, GroupedCommits), on a server one transaction per file (OneFileTransactions).
// An imported file and its "htm" companion move into LocalPath once its rows are committed (unless
// that is the import folder itself or missing; a linked file is archived as a copy of its content
// and the link removed). A file listed twice is imported once.
// - Each unreadable folder entry of the list is shown as "无法打开指定文件" + path, a line break and
//   the reason, and counts as failed.
// - The program's own database file or a companion of it (-wal, -shm, -journal) in the list is
//   not read: it shows "不是" + the kind's description + ":" + path + "\n这是本程序的数据库文件"
//   and counts as failed.
// - A file that cannot be loaded shows its XML error and ends the batch.
// - A commit that fails shows "保存" + name + "的数据失败:" + the reason for every file it held;
//   they count as failed and stay.
// - A file whose root element is not the kind's shows "不是" + the kind's description + ":" +
//   path, a line break and what it is; it counts as failed, writes nothing and stays.
// - A failure that would fail every later file as well (disk full, database read-only, damaged
//   or gone) shows "导入停止于" + path + ":" + what is wrong with the database, once, and ends the
//   batch; the files committed before it are moved, the rest stay.
// - When another program holds the database for writing past a short wait, the batch shows
//   "数据库正被其他程序使用" + path once and ends; the file in hand stays and wrote nothing.
// - A move that fails leaves the file where it was (its rows stay; it counts as imported); the
//   summary then names the files that were not moved.
// - On a shared server a file whose transaction another operator's undid is imported again; a
//   lost connection shows "与数据库的连接已断开，导入停止于" + path + ":" + the description and
//   ends the batch, the files committed so far moved and the rest left in place.
// - When the operator cancels (MessageSink::Cancelled), the batch ends after the file in hand as
//   after a load error: the files committed so far (the group in hand included) are moved.
// Shows the summary with both counts, then "未处理" + count + "个文件" when files were left
// unprocessed and "操作已取消" after a cancel. Throws CorvaneError for what the batch does not handle:
// a database that cannot be opened, a missing dictionary table.
BatchCounts ImportFiles(const FileList& files, BatchKind& kind, const Settings& settings, MessageSink& sink);
