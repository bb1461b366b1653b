#include "import/MoveQueue.h"

#include "import/FileList.h"
#include "import/FileMove.h"
#include "services/CorvaneError.h"
#include "services/PathAttributes.h"

#include <QDirIterator>

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
    m_companions = CompanionCandidates(m_folder.isEmpty() ? QStringLiteral(".") : m_folder);
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
        try
        {
            MoveFileReplacing(m_folder + name, m_localPath + name);
            const QString companion = CompanionName(name);
            if (!companion.isEmpty() && m_companions.contains(companion.toLower()) &&
                PathAttributes(m_folder + companion) >= 0)
                MoveFileReplacing(m_folder + companion, m_localPath + companion);
        }
        catch (const CorvaneError& error)
        {
            // Its rows are in: the file still counts as imported, and the batch goes on.
            if (m_result.unmoved.isEmpty())
                m_result.firstReason = error.Message();
            m_result.unmoved.append(name);
        }
    }
}
