#include "import/DocumentPrefetcher.h"

#include <QSet>

#include <libxml/parser.h>

#include <algorithm>
#include <new>

DocumentPrefetcher::DocumentPrefetcher(const QString& folder, const QStringList& names, std::size_t ahead)
    : m_folder(folder), m_names(names), m_ahead(ahead < 2 ? 2 : ahead),
      m_wakeAt(std::min<std::size_t>(4, m_ahead))
{
    // libxml2 sets up its globals once, on the first thread that asks.
    xmlInitParser();
    m_thread = std::thread(&DocumentPrefetcher::Run, this);
}

DocumentPrefetcher::~DocumentPrefetcher()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

DocumentPrefetcher::Loaded DocumentPrefetcher::Next()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_ready.empty() && !m_finished)
    {
        // Woken when a few files are ready rather than each one: a wake-up costs about as much as
        // the loading of a small file.
        m_batchWaiting = true;
        m_changed.wait(lock, [this] { return m_ready.size() >= m_wakeAt || m_finished; });
        m_batchWaiting = false;
    }
    if (m_ready.empty())
    {
        // Asked past the end, or past a file that could not be loaded: no wait for a file that never comes.
        Loaded none;
        none.error = QStringLiteral("无法打开指定文件");
        return none;
    }
    Loaded loaded = std::move(m_ready.front());
    m_ready.pop_front();
    // The loader refills from half full, so it is woken once per half queue, not per file.
    const bool wakeLoader = m_ready.size() == m_ahead / 2;
    lock.unlock();
    if (wakeLoader)
        m_changed.notify_all();
    return loaded;
}

void DocumentPrefetcher::Recycle(XmlDocument document)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_finished)
        m_spent.push_back(std::move(document));
    // else it is freed here on leaving: no thread is left to take it
}

void DocumentPrefetcher::Run()
{
    LoadAll();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_all();
}

void DocumentPrefetcher::LoadAll()
{
    std::vector<XmlDocument> spent;
    // The paths the batch read from the documents it finished with: every later document has
    // their texts looked up here, off the batch's thread.
    QStringList paths;
    QSet<QString> known;
    for (const QString& name : std::as_const(m_names))
    {
        for (const XmlDocument& document : spent)
            for (const QString& path : document.UnpreparedPaths())
                if (!known.contains(path))
                {
                    known.insert(path);
                    paths.append(path);
                }
        spent.clear(); // the documents the batch finished with, freed outside the lock
        Loaded loaded;
        // An exception must not leave this thread: it would end the program without a summary.
        try
        {
            loaded.document = LoadXmlFile(m_folder + name);
            loaded.error = GetXmlError();
            loaded.document.PrepareLookups();
            loaded.document.PrepareTexts(paths);
        }
        catch (const std::bad_alloc&)
        {
            loaded = Loaded();
            loaded.error =
                QStringLiteral("无法打开指定文件") + m_folder + name + QStringLiteral("\n内存不足");
        }
        catch (const std::exception& error)
        {
            loaded = Loaded();
            loaded.error = QStringLiteral("无法打开指定文件") + m_folder + name + QLatin1Char('\n') +
                           QString::fromLocal8Bit(error.what());
        }

        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_ready.size() >= m_ahead)
            m_changed.wait(lock, [this] { return m_stop || m_ready.size() <= m_ahead / 2; });
        if (m_stop)
            return;
        const bool failed = !loaded.error.isEmpty();
        m_ready.push_back(std::move(loaded));
        const bool wakeBatch = m_batchWaiting && m_ready.size() >= m_wakeAt;
        spent.swap(m_spent);
        lock.unlock();
        if (wakeBatch)
            m_changed.notify_all();
        if (failed)
            return; // the batch ends at a file that cannot be loaded
    }
}
