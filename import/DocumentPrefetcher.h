#pragma once

#include "services/XmlAccess.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Reads and parses the files of a batch a few files ahead on loading threads of its own, so the
// database work of one file overlaps the loading of the next ones. Loading has no side effects;
// the batch still takes the files in list order and decides everything on its own thread.
// The documents loaded and not yet freed, the batch's own included, take at most a fixed amount
// of memory: a file is parsed, in list order, once the memory its document takes can be spared.
class DocumentPrefetcher
{
public:
    // The memory of one document, given back to the prefetcher when the document is freed.
    class Hold
    {
    public:
        Hold() = default;
        Hold(DocumentPrefetcher* owner, qint64 bytes) : m_owner(owner), m_bytes(bytes) {}
        Hold(Hold&& other) noexcept;
        Hold& operator=(Hold&& other) noexcept;
        ~Hold();

    private:
        DocumentPrefetcher* m_owner = nullptr;
        qint64 m_bytes = 0;
    };

    struct Loaded
    {
        Hold memory; // first, so that it is given back after the document is freed
        XmlDocument document;
        QString error;   // GetXmlError() of the load
        int loader = -1; // the thread that loaded it, which also frees it
    };

    // Loads folder + each name; the list is shared, not copied, so memory stays flat for long
    // batches. Loading parses more than the batch's database work costs: two threads keep pace.
    // At most memory bytes of documents are held at once; a file whose document alone would take
    // more is refused by LoadXmlFile.
    DocumentPrefetcher(const QString& folder, const QStringList& names, std::size_t ahead = 16,
                       int loaders = 2, qint64 memory = kMaxXmlDocumentMemory);
    ~DocumentPrefetcher();
    DocumentPrefetcher(const DocumentPrefetcher&) = delete;
    DocumentPrefetcher& operator=(const DocumentPrefetcher&) = delete;

    // The next file in list order; waits for it when it is not loaded yet. Past the last file, or
    // past one that failed to load, it gives a load error at once.
    Loaded Next();
    // Hands a document the batch is done with back to the thread that loaded it, which frees it:
    // the memory came from that thread's allocator, and freeing it here would contend for its
    // lock. The paths the batch read from it are looked up ahead in later documents.
    void Recycle(Loaded loaded);

private:
    struct Slot
    {
        bool ready = false;
        Loaded loaded;
    };
    void Run(int loader);
    void LoadAll(int loader);
    // Under the lock: how many files from the front of the window are loaded, with no gap.
    std::size_t ReadyInOrder() const;
    // Under the lock: takes in the paths the batch read from a spent document.
    void LearnPaths(const XmlDocument& document);
    // Waits until the file at index is the next to be parsed and its memory can be spared, freeing
    // the loader's spent documents meanwhile; false when the batch no longer needs the file.
    bool Admit(qsizetype index, qint64 bytes, int loader, Hold& hold);
    void Release(qint64 bytes);

    QString m_folder;
    QStringList m_names;
    std::size_t m_ahead;
    std::size_t m_wakeAt; // files ready in order before a waiting batch is woken
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Slot> m_window; // the files from m_given on that a loader has claimed
    qsizetype m_given = 0;     // files handed to the batch
    qsizetype m_claimed = 0;   // files claimed by a loader
    qsizetype m_failedAt = -1; // the first file that failed to load: none after it is given
    bool m_batchWaiting = false;
    std::vector<std::vector<Loaded>> m_spent; // per loader, to be freed by it
    std::vector<char> m_finished;             // per loader: its thread is done
    qint64 m_memory;                          // the most the documents may hold
    qint64 m_held = 0;                        // held by the documents parsed and not yet freed
    qsizetype m_admitted = 0;                 // files let to parse, all before any later one
    int m_waitingForMemory = 0;               // loaders waiting for their turn or for memory
    bool m_memoryShort = false;               // a loader's turn waits for memory the batch holds
    QStringList m_paths;                      // absolute paths the batch reads, looked up ahead
    QSet<QString> m_knownPaths;
    bool m_stop = false;
    int m_running = 0; // loaders not yet finished
    std::vector<std::thread> m_threads;
};
