#include "import/ImportBatch.h"

#include "import/DocumentPrefetcher.h"
#include "import/FileMove.h"
#include "import/MoveQueue.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/MessageSink.h"
#include "services/PathAttributes.h"
#include "services/Settings.h"
#include "services/WalCheckpointer.h"
#include "services/XmlAccess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QVector>

#include <optional>
#include <utility>

namespace
{
// Holds what the sections of one attempt at a file show: an attempt the server undid because of
// another operator's transaction is run again, and its messages are not the operator's concern.
class HeldMessages : public MessageSink
{
public:
    explicit HeldMessages(MessageSink& sink) : m_sink(sink) {}
    void Show(const QString& text) override { m_texts.append(text); }
    void Progress(const QString& step, int done, int total) override { m_sink.Progress(step, done, total); }
    void Deliver()
    {
        for (const QString& text : std::as_const(m_texts))
            m_sink.Show(text);
        m_texts.clear();
    }

private:
    MessageSink& m_sink;
    QStringList m_texts;
};

// Two operators importing the same file at once wait for each other; a deadlock or
// serialisation failure that still happens is retried a few times before it counts.
constexpr int kMaxAttempts = 8;

// What a report file of the given root element is, in the operator's words.
QString DescribeRoot(const QString& rootName)
{
    if (rootName == QLatin1String("CorpInfo"))
        return QStringLiteral("单位信息文件");
    if (rootName == QLatin1String("Report"))
        return QStringLiteral("项目信息文件");
    return QString();
}

// foundNamespace: report files have none, so a root in one is no report whatever its name.
QString WrongKindMessage(const QString& path, const QString& expected, const QString& found,
                         const QString& foundNamespace)
{
    const QString what = foundNamespace.isEmpty() ? DescribeRoot(found) : QString();
    const QString inNamespace = foundNamespace.isEmpty()
                                    ? QString()
                                    : QStringLiteral(" (命名空间 ") + foundNamespace + QLatin1Char(')');
    return QStringLiteral("不是") + DescribeRoot(expected) + QStringLiteral(":") + path + QLatin1Char('\n') +
           (what.isEmpty() ? QStringLiteral("根元素是 <") + found + QStringLiteral(">") + inNamespace
                           : QStringLiteral("这是") + what + QStringLiteral(" (根元素 <") + found +
                                 QStringLiteral(">)"));
}

// One message for every file that stayed behind, however many: the first few by name.
QString UnmovedFilesText(const QStringList& unmoved, const QString& firstReason, const QString& localPath)
{
    constexpr qsizetype kNamed = 20;
    QString text = QStringLiteral("\n有") + QString::number(unmoved.size()) +
                   QStringLiteral("个文件无法移动到") + localPath + QStringLiteral("，仍在原处:");
    for (qsizetype i = 0; i < unmoved.size() && i < kNamed; ++i)
        text += QLatin1Char('\n') + unmoved[i];
    if (unmoved.size() > kNamed)
        text +=
            QStringLiteral("\n……另有") + QString::number(unmoved.size() - kNamed) + QStringLiteral("个文件");
    return text + QStringLiteral("\n原因:") + firstReason;
}

// Files another import of the same folder took away between their import here and their move.
QString GoneFilesText(const QStringList& gone, const QString& folder)
{
    constexpr qsizetype kNamed = 20;
    QString text = QStringLiteral("\n有") + QString::number(gone.size()) + QStringLiteral("个文件已不在") +
                   folder + QStringLiteral("中，未移动 (可能已被其他程序移走):");
    for (qsizetype i = 0; i < gone.size() && i < kNamed; ++i)
        text += QLatin1Char('\n') + gone[i];
    if (gone.size() > kNamed)
        text += QStringLiteral("\n……另有") + QString::number(gone.size() - kNamed) + QStringLiteral("个文件");
    return text;
}

// The names of the list that are the database file of these settings or one of its companions
// (-wal, -shm, -journal), when the list's folder is the database's.
QStringList DatabaseFilesIn(const QString& folder, const QStringList& names, const Settings& settings)
{
    if (IsServerDataSource(settings.DataSource))
        return {};
    const QFileInfo database(DatabasePath(settings));
    if (!IsSameFolder(folder.isEmpty() ? QStringLiteral(".") : folder, database.absolutePath()))
        return {};
    QStringList own;
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        if (names.contains(database.fileName() + suffix))
            own.append(database.fileName() + suffix);
    return own;
}

// A commit per file writes most B-tree pages again for every file; a group shares them. A crash
// loses at most one group's work, and its files are still in the import folder.
constexpr qsizetype kGroupFiles = 500;
constexpr qint64 kGroupMilliseconds = 1000;
} // namespace

BatchCounts ImportFiles(const FileList& files, BatchKind& kind, const Settings& settings, MessageSink& sink)
{
    // Loading needs no database: the first files are ready by the time it is open.
    const QString folder = WithTrailingSlash(files.folder);
    QStringList names = files.distinct ? files.names : DistinctFiles(folder, files.names);
    // Reading the database as a report file would close a descriptor of it, and with it the
    // locks of every connection this program holds on it.
    const QStringList ownFiles = DatabaseFilesIn(folder, names, settings);
    for (const QString& own : ownFiles)
        names.removeAll(own);
    DocumentPrefetcher loader(folder, names, kind.Paths());

    std::unique_ptr<Database> db = OpenDatabase(settings);
    db->SetUpForBatch();
    // Ended before the batch's connection, which then has little of the log left to copy.
    std::optional<WalCheckpointer> checkpointer(std::in_place, settings);
    kind.LoadDictionaries(*db, sink);

    const QString& localPath = settings.LocalPath;
    const bool moveFiles = !localPath.isEmpty() && PathAttributes(localPath) >= 0 &&
                           !IsSameFolder(folder.isEmpty() ? QStringLiteral(".") : folder, localPath);

    BatchCounts counts;
    // Counted before the list's own files, which all count one way or the other unless the batch stops.
    const int countedAhead = int(ownFiles.size() + files.unreadable.size());
    for (const QString& own : ownFiles)
    {
        sink.Show(QStringLiteral("不是") + DescribeRoot(kind.RootName()) + QStringLiteral(":") + folder +
                  own + QStringLiteral("\n这是本程序的数据库文件"));
        ++counts.failed;
    }
    for (const UnreadableFile& entry : files.unreadable)
    {
        sink.Show(QStringLiteral("无法打开指定文件") + folder + entry.name + QLatin1Char('\n') +
                  entry.reason);
        ++counts.failed;
    }

    std::optional<MoveQueue> mover;
    if (moveFiles)
        mover.emplace(folder, localPath);
    struct Pending
    {
        QString name;
        bool imported; // its sections succeeded (and a unit has its id)
    };
    QStringList moving;
    // A file whose rows are in moves to LocalPath; one that failed stays where it is.
    auto settle = [&](const QString& name, bool imported)
    {
        if (!imported)
        {
            ++counts.failed;
            return;
        }
        if (mover)
            moving.append(name);
        ++counts.imported;
    };
    // Hands the files settled since the last time to the mover at once, to wake it once.
    auto startMoves = [&]
    {
        if (mover)
            mover->Add(std::exchange(moving, {}));
    };
    QVector<Pending> group;
    QElapsedTimer groupTimer;
    // A failure that every later file would meet too (disk full, read-only or damaged database)
    // ends the batch with one message instead of one per file.
    auto stopForDatabase = [&](const QString& name, const QString& failure)
    {
        sink.Show(QStringLiteral("导入停止于") + folder + name + QStringLiteral(":") + failure);
        counts.stopped = true;
    };
    // Files move only after their rows are committed; a failed commit fails every file of the
    // group, and they all stay.
    auto commitGroup = [&]
    {
        if (group.isEmpty())
            return;
        QString failure;
        try
        {
            db->Commit();
        }
        catch (const CorvaneError& error)
        {
            failure = error.Message();
            db->Rollback();
        }
        if (!failure.isEmpty() && db->Unusable())
        {
            if (!counts.stopped)
                stopForDatabase(group.first().name, failure);
            counts.failed += int(group.size());
            group.clear();
            return;
        }
        for (const Pending& file : std::as_const(group))
        {
            if (!failure.isEmpty())
                sink.Show(QStringLiteral("保存") + file.name + QStringLiteral("的数据失败:") + failure);
            settle(file.name, failure.isEmpty() && file.imported);
        }
        group.clear();
        startMoves();
        if (failure.isEmpty())
            checkpointer->Request();
    };
    // The embedded engine commits files in groups. A server commits each file by itself: another
    // operator's transaction may make it undo one, which is then run again alone.
    const bool grouped = db->Kind() == Engine::SQLite;
    const int total = int(names.size());
    for (int index = 0; index < total; ++index)
    {
        const QString& name = names[index];
        sink.Progress(name, index, total);
        if (sink.Cancelled())
        {
            counts.cancelled = counts.stopped = true;
            break;
        }
        DocumentPrefetcher::Loaded loaded = loader.Next();
        if (!loaded.error.isEmpty())
        {
            sink.Show(loaded.error);
            counts.stopped = true;
            break;
        }
        const XmlNode root = loaded.document.Root();
        const QString rootName = GetNodeName(root);
        const QString rootNamespace = GetNodeNamespace(root);
        if (rootName != kind.RootName() || !rootNamespace.isEmpty())
        {
            sink.Show(WrongKindMessage(folder + name, kind.RootName(), rootName, rootNamespace));
            ++counts.failed;
            continue;
        }
        const QString key = kind.ReadKey(root);

        if (grouped)
        {
            // Files are committed in groups; a file's savepoint keeps its work its own within the group.
            if (group.isEmpty())
            {
                // The write lock is taken before the first row, so a busy database leaves nothing half
                // written.
                bool begun = false;
                try
                {
                    begun = db->TryBeginWrite();
                }
                catch (const CorvaneError& error)
                {
                    stopForDatabase(name, error.Message());
                    break;
                }
                if (!begun)
                {
                    sink.Show(QStringLiteral("数据库正被其他程序使用") + DatabasePath(settings));
                    counts.stopped = true;
                    break;
                }
                groupTimer.start();
            }
            bool ok = false;
            HeldMessages held(sink);
            try
            {
                Savepoint file(*db, QStringLiteral("import_file"));
                // What the sections wrote is kept even when a later one failed.
                ok = kind.ImportDocument(*db, root, key, held);
                if (!db->Unusable())
                    file.Release();
            }
            catch (const CorvaneError&)
            {
                ok = false; // the engine ended the transaction: the group's commit reports it
            }
            if (db->Unusable())
            {
                // The sections' messages would say the same for this file and every later one.
                ++counts.failed;
                stopForDatabase(name, db->LastFailure());
                break;
            }
            held.Deliver();
            group.append({name, ok && !(kind.KeyRequired() && key.isEmpty())});
            loader.Recycle(std::move(loaded));
            if (group.size() >= kGroupFiles || groupTimer.elapsed() >= kGroupMilliseconds ||
                !db->InTransaction())
                commitGroup();
            if (counts.stopped)
                break;
            continue;
        }

        bool ok = false;
        bool busy = false;
        for (int attempt = 1;; ++attempt)
        {
            HeldMessages held(sink);
            try
            {
                // The write lock is taken before the first row, so a busy database leaves nothing
                // half written. One transaction per file; what the sections wrote is kept even when
                // a later one failed.
                if (!db->TryBeginWrite())
                {
                    busy = true;
                    break;
                }
                Transaction transaction(*db, Transaction::AlreadyBegun);
                db->LockKey(key);
                ok = kind.ImportDocument(*db, root, key, held);
                try
                {
                    transaction.Commit();
                }
                catch (const CorvaneError& error)
                {
                    held.Show(QStringLiteral("保存") + name + QStringLiteral("的数据失败:") +
                              error.Message());
                    ok = false;
                }
            }
            catch (const CorvaneError& error) // the transaction could not begin
            {
                held.Show(QStringLiteral("保存") + name + QStringLiteral("的数据失败:") + error.Message());
                ok = false;
            }
            if (db->ConnectionLost() || db->Unusable())
                break;
            if (!ok && db->ConflictFailed() && attempt < kMaxAttempts)
            {
                QThread::msleep(unsigned(attempt * 20));
                continue;
            }
            held.Deliver();
            break;
        }
        if (busy)
        {
            sink.Show(QStringLiteral("数据库正被其他程序使用") + DatabasePath(settings));
            counts.stopped = true;
            break;
        }
        if (db->ConnectionLost())
        {
            // Whether the last commit arrived is unknown: the file stays, and importing it again
            // gives the same rows.
            sink.Show(QStringLiteral("与数据库的连接已断开，导入停止于") + folder + name +
                      QStringLiteral(":") + db->LastFailure());
            counts.stopped = true;
            break;
        }
        if (db->Unusable())
        {
            stopForDatabase(name, db->LastFailure());
            break;
        }

        settle(name, ok && !(kind.KeyRequired() && key.isEmpty()));
        startMoves();
        loader.Recycle(std::move(loaded));
    }
    // Also after a stop: the files of the group so far are whole, and their rows are kept.
    commitGroup();
    checkpointer.reset();
    db.reset();
    sink.Progress(QString(), total, total);

    QString summary = kind.SummaryTitle() + QStringLiteral("\n倒入成功") + QString::number(counts.imported) +
                      QStringLiteral("个文件\n倒入失败") + QString::number(counts.failed) +
                      QStringLiteral("个文件");
    counts.unprocessed = total - (counts.imported + counts.failed - countedAhead);
    if (counts.unprocessed > 0)
        summary +=
            QStringLiteral("\n未处理") + QString::number(counts.unprocessed) + QStringLiteral("个文件");
    if (counts.cancelled)
        summary += QStringLiteral("\n操作已取消");
    if (mover)
    {
        const MoveQueue::Result moved = mover->Finish();
        if (!moved.unmoved.isEmpty())
            summary += UnmovedFilesText(moved.unmoved, moved.firstReason, localPath);
        if (!moved.gone.isEmpty())
            summary += GoneFilesText(moved.gone, folder);
    }
    sink.Show(summary);
    return counts;
}
