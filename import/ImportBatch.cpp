#include "import/ImportBatch.h"

#include "import/DocumentPrefetcher.h"
#include "import/FileMove.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/MessageSink.h"
#include "services/PathAttributes.h"
#include "services/Settings.h"
#include "services/XmlAccess.h"

#include <QDirIterator>
#include <QSet>
#include <QThread>

namespace
{
// The companion pages of a folder, in lower case. Most files have none: looking a companion up
// here first spares the file system a failed lookup per file.
QSet<QString> CompanionCandidates(const QString& folder)
{
    QSet<QString> names;
    QDirIterator entries(folder, {QStringLiteral("*.htm")}, QDir::Files | QDir::Hidden);
    while (entries.hasNext())
    {
        entries.next();
        names.insert(entries.fileName().toLower());
    }
    return names;
}

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

void MoveImportedFile(const QString& folder, const QString& name, const QString& localPath,
                      const QSet<QString>& companions)
{
    MoveFileReplacing(folder + name, localPath + name);
    const QString companion = CompanionName(name);
    if (!companion.isEmpty() && companions.contains(companion.toLower()) &&
        PathAttributes(folder + companion) >= 0)
        MoveFileReplacing(folder + companion, localPath + companion);
}
} // namespace

BatchCounts ImportFiles(const FileList& files, const BatchKind& kind, const Settings& settings,
                        MessageSink& sink)
{
    std::unique_ptr<Database> db = OpenDatabase(settings);
    // An embedded database is kept to the batch until it ends: a commit per file then takes no
    // file locks of its own.
    db->HoldForBatch();
    kind.loadDictionaries(*db, sink);

    const QString folder = WithTrailingSlash(files.folder);
    const QString& localPath = settings.LocalPath;
    const bool moveFiles = !localPath.isEmpty() && PathAttributes(localPath) >= 0 &&
                           !IsSameFolder(folder.isEmpty() ? QStringLiteral(".") : folder, localPath);
    const QSet<QString> companions =
        moveFiles ? CompanionCandidates(folder.isEmpty() ? QStringLiteral(".") : folder) : QSet<QString>();

    DocumentPrefetcher loader(folder, files.names);

    BatchCounts counts;
    const int total = int(files.names.size());
    for (int index = 0; index < total; ++index)
    {
        const QString& name = files.names[index];
        sink.Progress(name, index, total);
        DocumentPrefetcher::Loaded loaded = loader.Next();
        // A name listed twice was read ahead before its first import moved it away.
        if (loaded.error.isEmpty() && moveFiles && PathAttributes(folder + name) < 0)
            loaded.error = QStringLiteral("无法打开指定文件") + folder + name;
        if (!loaded.error.isEmpty())
        {
            sink.Show(loaded.error);
            break;
        }
        const XmlNode root = loaded.document.Root();
        const QString key = kind.readKey(root);

        bool ok = false;
        for (int attempt = 1;; ++attempt)
        {
            HeldMessages held(sink);
            try
            {
                // One transaction per file; what the sections wrote is kept even when a later one
                // failed.
                Transaction transaction(*db);
                db->LockKey(key);
                ok = kind.importDocument(*db, root, key, held);
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
            if (db->ConnectionLost())
                break;
            if (!ok && db->ConflictFailed() && attempt < kMaxAttempts)
            {
                QThread::msleep(unsigned(attempt * 20));
                continue;
            }
            held.Deliver();
            break;
        }
        if (db->ConnectionLost())
        {
            // Whether the last commit arrived is unknown: the file stays, and importing it again
            // gives the same rows.
            sink.Show(QStringLiteral("与数据库的连接已断开，导入停止于") + folder + name +
                      QStringLiteral(":") + db->LastFailure());
            break;
        }

        if (ok && !(kind.keyRequired && key.isEmpty()))
        {
            if (moveFiles)
                MoveImportedFile(folder, name, localPath, companions);
            ++counts.imported;
        }
        else
        {
            ++counts.failed;
        }
    }
    db.reset();
    sink.Progress(QString(), total, total);

    sink.Show(kind.summaryTitle + QStringLiteral("\n倒入成功") + QString::number(counts.imported) +
              QStringLiteral("个文件\n倒入失败") + QString::number(counts.failed) + QStringLiteral("个文件"));
    return counts;
}
