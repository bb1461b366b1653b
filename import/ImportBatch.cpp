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

BatchCounts ImportFiles(const FileList& files, BatchKind& kind, const Settings& settings, MessageSink& sink)
{
    std::unique_ptr<Database> db = OpenDatabase(settings);
    // The batch keeps the database to itself until it ends: a commit per file then takes no
    // file locks of its own.
    db->Execute(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")).finish();
    kind.LoadDictionaries(*db, sink);

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
        const QString key = kind.ReadKey(root);

        bool ok = false;
        {
            // One transaction per file; what the sections wrote is kept even when a later one failed.
            Transaction transaction(*db);
            ok = kind.ImportDocument(*db, root, key, sink);
            try
            {
                transaction.Commit();
            }
            catch (const CorvaneError& error)
            {
                sink.Show(QStringLiteral("保存") + name + QStringLiteral("的数据失败:") + error.Message());
                ok = false;
            }
        }

        if (ok && !(kind.KeyRequired() && key.isEmpty()))
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

    sink.Show(kind.SummaryTitle() + QStringLiteral("\n倒入成功") + QString::number(counts.imported) +
              QStringLiteral("个文件\n倒入失败") + QString::number(counts.failed) + QStringLiteral("个文件"));
    return counts;
}
