#include "import/MoveQueue.h"

#include "import/FileList.h"
#include "import/FileMove.h"
#include "services/BackgroundThread.h"
#include "services/CorvaneError.h"
#include "services/PathAttributes.h"

#include <QDirIterator>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Both folders held open: a name is then looked up in its folder alone, where a full path is
// walked from the root for every call.
class FolderPair
{
public:
    FolderPair(const QString& from, const QString& to)
        : m_from(Open(from.isEmpty() ? QStringLiteral(".") : from)), m_to(Open(to))
    {
    }
    ~FolderPair()
    {
        for (int fd : {m_from, m_to})
            if (fd >= 0)
                ::close(fd);
    }
    FolderPair(const FolderPair&) = delete;
    FolderPair& operator=(const FolderPair&) = delete;

    // Renames a plain file (not a link) within one file system. False when that is not so, or
    // it failed: the caller then moves it the long way, which also says why it could not.
    bool Rename(const QString& name) const
    {
        if (m_from < 0 || m_to < 0 || name.contains(QLatin1Char('/')))
            return false;
        const QByteArray encoded = QFile::encodeName(name);
        struct stat info;
        if (::fstatat(m_from, encoded.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            return false;
        return ::renameat(m_from, encoded.constData(), m_to, encoded.constData()) == 0;
    }

private:
    static int Open(const QString& folder)
    {
        return ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }

    int m_from;
    int m_to;
};
} // namespace

MoveQueue::MoveQueue(const QString& folder, const QString& localPath)
    : m_folder(folder), m_localPath(localPath), m_thread(&MoveQueue::Run, this)
{
}

MoveQueue::~MoveQueue()
{
    Finish();
}

void MoveQueue::Add(const QStringList& names)
{
    if (names.isEmpty())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_waiting.insert(m_waiting.end(), names.begin(), names.end());
    }
    m_changed.notify_one();
}

MoveQueue::Result MoveQueue::Finish()
{
    if (m_thread.joinable())
    {
        {
            std::lock_guard lock(m_mutex);
            m_finishing = true;
        }
        m_changed.notify_one();
        m_thread.join();
    }
    return m_result;
}

void MoveQueue::Run()
{
    YieldToForegroundWork();
    m_companions = CompanionCandidates(m_folder.isEmpty() ? QStringLiteral(".") : m_folder);
    const FolderPair folders(m_folder, m_localPath);
    auto move = [&](const QString& name)
    {
        if (!folders.Rename(name))
            MoveFileReplacing(m_folder + name, m_localPath + name);
    };
    for (;;)
    {
        QString name;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_finishing || !m_waiting.empty(); });
            if (m_waiting.empty())
                return;
            name = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        bool fileMoved = false;
        try
        {
            move(name);
            fileMoved = true;
            const QString companion = CompanionName(name);
            if (!companion.isEmpty() && m_companions.contains(companion.toLower()) &&
                !folders.Rename(companion) && PathAttributes(m_folder + companion) >= 0)
                MoveFileReplacing(m_folder + companion, m_localPath + companion);
        }
        catch (const CorvaneError& error)
        {
            // Its rows are in: the file still counts as imported, and the batch goes on. Another
            // import of the same folder may have taken it meanwhile: then it is not still in place.
            struct stat info;
            if (!fileMoved && ::lstat(QFile::encodeName(m_folder + name).constData(), &info) != 0 &&
                errno == ENOENT)
            {
                m_result.gone.append(name);
                continue;
            }
            if (m_result.unmoved.isEmpty())
                m_result.firstReason = error.Message();
            m_result.unmoved.append(name);
        }
    }
}
