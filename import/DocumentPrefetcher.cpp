#include "import/DocumentPrefetcher.h"

#include "services/BackgroundThread.h"

#include <libxml/parser.h>
#include <openssl/evp.h>

#include <algorithm>
#include <new>
#include <utility>

namespace
{
// The digest is looked up once: OpenSSL's one-call SHA256() looks it up for every file.
QByteArray Sha256Hex(const QByteArray& content)
{
    static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!sha256 || !EVP_Digest(content.constData(), size_t(content.size()), digest, &length, sha256, nullptr))
        return QByteArray(); // entered without a hash
    return QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex();
}
} // namespace

DocumentPrefetcher::Hold::Hold(Hold&& other) noexcept
    : m_owner(std::exchange(other.m_owner, nullptr)), m_bytes(std::exchange(other.m_bytes, 0))
{
}

DocumentPrefetcher::Hold& DocumentPrefetcher::Hold::operator=(Hold&& other) noexcept
{
    if (this != &other)
    {
        if (m_owner)
            m_owner->Release(m_bytes);
        m_owner = std::exchange(other.m_owner, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

DocumentPrefetcher::Hold::~Hold()
{
    if (m_owner)
        m_owner->Release(m_bytes);
}

DocumentPrefetcher::DocumentPrefetcher(const QString& folder, const QStringList& names,
                                       const QStringList& paths, std::size_t ahead, int loaders,
                                       qint64 memory)
    : m_folder(folder), m_names(names), m_paths(paths), m_ahead(ahead < 2 ? 2 : ahead),
      m_wakeAt(std::min<std::size_t>(4, m_ahead)), m_memory(memory)
{
    // libxml2 sets up its globals once, on the first thread that asks.
    xmlInitParser();
    loaders = std::max(1, loaders);
    m_spent.resize(std::size_t(loaders));
    m_finished.resize(std::size_t(loaders));
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
    m_room.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    // Their memory is given back while the counts still exist.
    m_window.clear();
    m_spent.clear();
}

DocumentPrefetcher::Loaded DocumentPrefetcher::Next()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool pastFailure = m_failedAt >= 0 && m_given > m_failedAt;
    if (!pastFailure && (m_window.empty() || !m_window.front().ready) && m_running > 0)
    {
        // Woken when a few files are ready rather than each one: a wake-up costs about as much as
        // the loading of a small file. A loader waiting for memory the ready documents hold needs
        // them taken now.
        m_batchWaiting = true;
        m_ready.wait(lock,
                     [this] {
                         return ReadyInOrder() >= m_wakeAt || m_running == 0 ||
                                (m_memoryShort && ReadyInOrder() > 0);
                     });
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
        m_room.notify_all();
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
    Loaded unclaimed; // freed here after the lock, when no loader is left to take it
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (loaded.loader >= 0 && std::size_t(loaded.loader) < m_spent.size() &&
            !m_finished[std::size_t(loaded.loader)])
            m_spent[std::size_t(loaded.loader)].push_back(std::move(loaded));
        else
            unclaimed = std::move(loaded);
        wake = m_waitingForMemory > 0;
    }
    if (wake)
        m_room.notify_all();
}

bool DocumentPrefetcher::Admit(qsizetype index, qint64 bytes, int loader, Hold& hold)
{
    std::vector<Loaded> spent;
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waitingForMemory;
    for (;;)
    {
        if (m_stop || (m_failedAt >= 0 && m_failedAt < index))
        {
            --m_waitingForMemory;
            return false;
        }
        // In list order: a later file holding memory could leave the batch waiting for this one.
        const bool turn = m_admitted == index;
        if (turn && (m_held + bytes <= m_memory || m_held == 0))
            break;
        if (turn && !m_memoryShort)
        {
            m_memoryShort = true;
            if (m_batchWaiting && ReadyInOrder() > 0)
                m_ready.notify_one();
        }
        if (!m_spent[std::size_t(loader)].empty())
        {
            spent.swap(m_spent[std::size_t(loader)]);
            lock.unlock();
            spent.clear();
            lock.lock();
            continue;
        }
        m_room.wait(lock);
    }
    m_held += bytes;
    ++m_admitted;
    m_memoryShort = false;
    // Another loader may wait for its turn, which is now.
    const bool wake = --m_waitingForMemory > 0;
    lock.unlock();
    if (wake)
        m_room.notify_all();
    hold = Hold(this, bytes);
    return true;
}

void DocumentPrefetcher::Release(qint64 bytes)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held -= bytes;
        wake = m_waitingForMemory > 0;
    }
    if (wake)
        m_room.notify_all();
}

void DocumentPrefetcher::Run(int loader)
{
    YieldToForegroundWork();
    LoadAll(loader);
    std::vector<Loaded> spent; // freed after the lock; later ones are freed by the batch
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
        m_finished[std::size_t(loader)] = true;
        spent.swap(m_spent[std::size_t(loader)]);
    }
    spent.clear();
    m_ready.notify_one();
}

void DocumentPrefetcher::LoadAll(int loader)
{
    std::vector<Loaded> spent;
    for (;;)
    {
        qsizetype index = 0;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // Also woken to free what the batch handed back when another loader waits for memory.
            m_room.wait(lock,
                        [this, loader]
                        {
                            return m_stop || m_failedAt >= 0 || m_claimed == m_names.size() ||
                                   std::size_t(m_claimed - m_given) < m_ahead ||
                                   (m_waitingForMemory > 0 && !m_spent[std::size_t(loader)].empty());
                        });
            if (m_stop || m_failedAt >= 0 || m_claimed == m_names.size())
                return;
            if (std::size_t(m_claimed - m_given) >= m_ahead)
            {
                spent.swap(m_spent[std::size_t(loader)]);
                lock.unlock();
                spent.clear();
                continue;
            }
            index = m_claimed++;
            m_window.emplace_back();
            spent.swap(m_spent[std::size_t(loader)]);
        }
        spent.clear(); // the documents the batch finished with, freed outside the lock

        // at() reads without detaching the list the loaders share.
        const QString& name = m_names.at(index);
        Loaded loaded;
        // An exception must not leave this thread: it would end the program without a summary.
        try
        {
            // Hashed here, from the bytes already read, rather than on the batch's thread.
            loaded.document = LoadXmlFile(
                m_folder + name, [&](qint64 bytes) { return Admit(index, bytes, loader, loaded.memory); },
                [&](const QByteArray& content)
                {
                    loaded.size = content.size();
                    loaded.sha256 = Sha256Hex(content);
                });
            loaded.error = GetXmlError();
            loaded.document.PrepareLookups();
            loaded.document.PrepareTexts(m_paths);
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
        bool failed = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // The batch stops at a file that cannot be loaded: nothing after it is claimed.
            if (!loaded.error.isEmpty() && (m_failedAt < 0 || index < m_failedAt))
            {
                m_failedAt = index;
                failed = true;
            }
            Slot& slot = m_window[std::size_t(index - m_given)];
            slot.loaded = std::move(loaded);
            slot.ready = true;
            wakeBatch = m_batchWaiting && (ReadyInOrder() >= m_wakeAt || m_failedAt >= 0 ||
                                           m_claimed == m_names.size() || m_memoryShort);
        }
        if (wakeBatch)
            m_ready.notify_one();
        // The other loaders stop claiming, and one waiting for its turn after this file gives up.
        if (failed)
            m_room.notify_all();
    }
}
