#include "import/ImportBatch.h"

#include "import/DocumentPrefetcher.h"
#include "import/FileCommits.h"
#include "import/FileMove.h"
#include "import/GroupedCommits.h"
#include "import/OneFileTransactions.h"
#include "services/Database.h"
#include "services/MessageSink.h"
#include "services/Settings.h"
#include "services/XmlAccess.h"

#include <QFileInfo>

#include <memory>

namespace
{
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

// The first twenty names, one a line, then how many more: one message however many files.
QString NamedFiles(const QStringList& names)
{
    constexpr qsizetype kNamed = 20;
    QString text;
    for (qsizetype i = 0; i < names.size() && i < kNamed; ++i)
        text += QLatin1Char('\n') + names[i];
    if (names.size() > kNamed)
        text +=
            QStringLiteral("\n……另有") + QString::number(names.size() - kNamed) + QStringLiteral("个文件");
    return text;
}

// Every file that stayed behind.
QString UnmovedFilesText(const QStringList& unmoved, const QString& firstReason, const QString& localPath)
{
    return QStringLiteral("\n有") + QString::number(unmoved.size()) + QStringLiteral("个文件无法移动到") +
           localPath + QStringLiteral("，仍在原处:") + NamedFiles(unmoved) + QStringLiteral("\n原因:") +
           firstReason;
}

// Files another import of the same folder took away between their import here and their move.
QString GoneFilesText(const QStringList& gone, const QString& folder)
{
    return QStringLiteral("\n有") + QString::number(gone.size()) + QStringLiteral("个文件已不在") + folder +
           QStringLiteral("中，未移动 (可能已被其他程序移走):") + NamedFiles(gone);
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

ImportLedger::Entry NeverLoaded(const QString& name, const QString& outcome, const QString& text)
{
    ImportLedger::Entry entry;
    entry.name = name;
    entry.outcome = outcome;
    entry.messages = {{text, {}}};
    return entry;
}

// Shows why each file of the list that is no report file stays out of the batch, and enters it.
void ShowSkippedFiles(const QString& folder, const QStringList& ownFiles, const FileList& files,
                      const BatchKind& kind, MessageSink& sink, ImportLedger& ledger)
{
    for (const QString& own : ownFiles)
    {
        const QString text = QStringLiteral("不是") + DescribeRoot(kind.RootName()) + QStringLiteral(":") +
                             folder + own + QStringLiteral("\n这是本程序的数据库文件");
        sink.Show(text);
        ledger.Later(NeverLoaded(own, LedgerOutcome::kWrongKind, text));
    }
    for (const UnreadableFile& entry : files.unreadable)
    {
        const QString text =
            QStringLiteral("无法打开指定文件") + folder + entry.name + QLatin1Char('\n') + entry.reason;
        sink.Show(text);
        ledger.Later(NeverLoaded(entry.name, LedgerOutcome::kUnloadable, text));
    }
}

// The batch's kind as the ledger names it.
QString LedgerKind(const BatchKind& kind)
{
    return kind.RootName() == QLatin1String("CorpInfo") ? QStringLiteral("units")
                                                        : QStringLiteral("projects");
}

// The embedded engine commits files in groups. A server commits each file by itself: another
// operator's transaction may make it undo one, which is then run again alone.
std::unique_ptr<FileCommits> NewFileCommits(Database& db, const BatchKind& kind, BatchOutcome& outcome)
{
    if (db.CommitsInGroups())
        return std::make_unique<GroupedCommits>(db, kind, outcome);
    return std::make_unique<OneFileTransactions>(db, kind, outcome);
}

// The closing message: both counts, the files left unprocessed, a cancel, the files that could not
// be moved and the messages not shown one by one.
QString SummaryText(const QString& title, const BatchOutcome& outcome, const MoveQueue::Result& moved,
                    int unshown)
{
    const BatchCounts& counts = outcome.counts;
    QString summary = title + QStringLiteral("\n倒入成功") + QString::number(counts.imported) +
                      QStringLiteral("个文件\n倒入失败") + QString::number(counts.failed) +
                      QStringLiteral("个文件");
    if (counts.unprocessed > 0)
        summary +=
            QStringLiteral("\n未处理") + QString::number(counts.unprocessed) + QStringLiteral("个文件");
    if (counts.cancelled)
        summary += QStringLiteral("\n操作已取消");
    if (!moved.unmoved.isEmpty())
        summary += UnmovedFilesText(moved.unmoved, moved.firstReason, outcome.settings.LocalPath);
    if (!moved.gone.isEmpty())
        summary += GoneFilesText(moved.gone, outcome.folder);
    if (unshown > 0)
        summary += QStringLiteral("\n另有") + QString::number(unshown) + QStringLiteral("条消息未逐个提示");
    return summary;
}
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
    const int skipped = int(ownFiles.size() + files.unreadable.size());
    BatchOutcome outcome(folder, settings, sink, LedgerKind(kind), int(names.size()) + skipped);
    std::unique_ptr<FileCommits> commits = NewFileCommits(*db, kind, outcome);
    kind.LoadDictionaries(*db, sink);
    const auto [keyTable, keyColumn] = kind.KeyColumn();
    outcome.ledger.LoadHistory(*db, keyTable, keyColumn);
    // Counted before the list's own files, which all count one way or the other unless the batch stops.
    ShowSkippedFiles(folder, ownFiles, files, kind, sink, outcome.ledger);
    outcome.counts.failed = skipped;

    const int total = int(names.size());
    for (int index = 0; index < total; ++index)
    {
        const QString& name = names[index];
        sink.Progress(name, index, total);
        if (sink.Cancelled())
        {
            outcome.counts.cancelled = outcome.counts.stopped = true;
            break;
        }
        DocumentPrefetcher::Loaded loaded = loader.Next();
        outcome.ledger.Describe(name, loaded.size, loaded.sha256);
        if (!loaded.error.isEmpty())
        {
            outcome.ledger.Later(outcome.ledger.InHand(LedgerOutcome::kUnloadable, {{loaded.error, {}}}));
            outcome.Stop(loaded.error);
            break;
        }
        const XmlNode root = loaded.document.Root();
        const QString rootName = GetNodeName(root);
        const QString rootNamespace = GetNodeNamespace(root);
        if (rootName != kind.RootName() || !rootNamespace.isEmpty())
        {
            const QString text = WrongKindMessage(folder + name, kind.RootName(), rootName, rootNamespace);
            sink.Show(text);
            outcome.ledger.Later(outcome.ledger.InHand(LedgerOutcome::kWrongKind, {{text, {}}}));
            ++outcome.counts.failed;
            continue;
        }
        if (!commits->Import(name, root, kind.ReadKey(root)))
            break;
        loader.Recycle(std::move(loaded));
    }
    // Also after a stop: the files of the group so far are whole, and their rows are kept.
    commits->Finish();
    outcome.counts.unprocessed = total - (outcome.counts.imported + outcome.counts.failed - skipped);
    const MoveQueue::Result moved = outcome.mover ? outcome.mover->Finish() : MoveQueue::Result{};
    outcome.ledger.NotMoved(moved.unmoved);
    outcome.ledger.Finish(*db, names, outcome.counts, sink.Unshown());
    outcome.counts.batchId = outcome.ledger.Id();
    commits.reset();
    db.reset();
    sink.Progress(QString(), total, total);
    sink.Show(SummaryText(kind.SummaryTitle(), outcome, moved, sink.Unshown()));
    return outcome.counts;
}
