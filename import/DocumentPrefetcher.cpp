#include "import/DocumentPrefetcher.h"

#include "services/BackgroundThread.h"

#include <libxml/parser.h>

#include <algorithm>
#include <new>

DocumentPrefetcher::DocumentPrefetcher(const QString& folder, const QStringList& names, std::size_t ahead,
                                       int loaders)
    : m_folder(folder), m_names(names), m_ahead(ahead < 2 ? 2 : ahead),
      m_wakeAt(std::min<std::size_t>(4, m_ahead))
{
    // libxml2 sets up its globals once, on the first thread that asks.
    xmlInitParser();
    loaders = std::max(1, loaders);
    m_spent.resize(std::size_t(loaders));
    m_running = loaders;
    for (int loader = 0; loader < loaders; ++loader)
        m_threads.emplace_back(&DocumentPrefetcher::Run, this, loader);
}

DocumentPrefetcher::~DocumentPrefetcher()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

DocumentPrefetcher::Loaded DocumentPrefetcher::Next()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool pastFailure = m_failedAt >= 0 && m_given > m_failedAt;
    if (!pastFailure && (m_window.empty() || !m_window.front().ready) && m_running > 0)
    {
        // Woken when a few files are ready rather than each one: a wake-up costs about as much as
        // the loading of a small file.
        m_batchWaiting = true;
        m_changed.wait(lock, [this] { return ReadyInOrder() >= m_wakeAt || m_running == 0; });
        m_batchWaiting = false;
    }
    if (pastFailure || m_window.empty() || !m_window.front().ready)
    {
        // Asked past the end, or past a file that could not be loaded: no wait for a file that never comes.
        Loaded none;
        none.error = QStringLiteral("无法打开指定文件");
        return none;
    }
    Loaded loaded = std::move(m_window.front().loaded);
    m_window.pop_front();
    ++m_given;
    // The loaders refill from half full, so they are woken once per half window, not per file.
    const bool wakeLoaders = m_window.size() == m_ahead / 2;
    lock.unlock();
    if (wakeLoaders)
        m_changed.notify_all();
    return loaded;
}

std::size_t DocumentPrefetcher::ReadyInOrder() const
{
    std::size_t ready = 0;
    while (ready < m_window.size() && m_window[ready].ready)
        ++ready;
    return ready;
}

void DocumentPrefetcher::Recycle(Loaded loaded)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    LearnPaths(loaded.document);
    if (m_running > 0 && loaded.loader >= 0 && std::size_t(loaded.loader) < m_spent.size())
        m_spent[std::size_t(loaded.loader)].push_back(std::move(loaded.document));
    // else it is freed here on leaving: no loader is left to take it
}

void DocumentPrefetcher::LearnPaths(const XmlDocument& document)
{
    for (const QString& path : document.UnpreparedPaths())
        if (!m_knownPaths.contains(path))
        {
            m_knownPaths.insert(path);
            m_paths.append(path);
        }
}

void DocumentPrefetcher::Run(int loader)
{
    YieldToForegroundWork();
    LoadAll(loader);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
    }
    m_changed.notify_all();
}

void DocumentPrefetcher::LoadAll(int loader)
{
    std::vector<XmlDocument> spent;
    for (;;)
    {
        qsizetype index = 0;
        QStringList paths;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock,
                           [this]
                           {
                               return m_stop || m_failedAt >= 0 || m_claimed == m_names.size() ||
                                      std::size_t(m_claimed - m_given) < m_ahead;
                           });
            if (m_stop || m_failedAt >= 0 || m_claimed == m_names.size())
                return;
            index = m_claimed++;
            m_window.emplace_back();
            paths = m_paths; // shared, not copied
            spent.swap(m_spent[std::size_t(loader)]);
        }
        spent.clear(); // the documents the batch finished with, freed outside the lock

        // at() reads without detaching the list the loaders share.
        const QString& name = m_names.at(index);
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
        loaded.loader = loader;

        bool wakeBatch = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // The batch stops at a file that cannot be loaded: nothing after it is claimed.
            if (!loaded.error.isEmpty() && (m_failedAt < 0 || index < m_failedAt))
                m_failedAt = index;
            Slot& slot = m_window[std::size_t(index - m_given)];
            slot.loaded = std::move(loaded);
            slot.ready = true;
            wakeBatch = m_batchWaiting &&
                        (ReadyInOrder() >= m_wakeAt || m_failedAt >= 0 || m_claimed == m_names.size());
        }
        if (wakeBatch)
            m_changed.notify_all();
    }
}
