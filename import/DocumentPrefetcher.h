#pragma once

#include "services/XmlAccess.h"

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
//
// Under one mutex, with m_given and m_admitted <= m_claimed <= the number of files:
// - the window holds the files m_given .. m_claimed - 1, at most `ahead` of them; a loader
//   claims the next file only when there is room;
// - files are parsed in list order: only the file m_admitted may take memory, and it takes it
//   when the documents hold little enough (or none); after a file fails to load (m_failedAt)
//   no later one is parsed or given;
// - every document holding memory is being parsed or ready in the window, in the batch's hands, or
//   spent and waiting for its loader to free it.
// Two conditions, each waited on by one side: the batch waits on m_ready for files ready in
// order (or for no more to come); the loaders wait on m_room for room in the window, for memory
// and their turn to parse, or for spent documents to free. Whoever changes what one side waits
// for notifies that side's condition. The loader whose turn it is waits only for memory that
// documents of earlier files hold: ready ones, which the batch is woken to take (m_memoryShort);
// the batch's own, which it hands back or frees; spent ones, which their loader frees when woken.
// So neither side waits on the other for ever.
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
        QString error;     // GetXmlError() of the load
        int loader = -1;   // the thread that loaded it, which also frees it
        qint64 size = -1;  // of the file as read; -1 when it could not be read
        QByteArray sha256; // of the file's bytes, in hex
    };

    // Loads folder + each name; the list is shared, not copied, so memory stays flat for long
    // batches. The texts at paths (absolute, "//A/B") are looked up on the loading thread, so that
    // GetNodeText answers them from memory; any other path is looked up when asked. Loading
    // parses more than the batch's database work costs: two threads keep pace. At most memory
    // bytes of documents are held at once; a file whose document alone would take more is
    // refused by LoadXmlFile.
    DocumentPrefetcher(const QString& folder, const QStringList& names, const QStringList& paths,
                       std::size_t ahead = 16, int loaders = 2, qint64 memory = kMaxXmlDocumentMemory);
    ~DocumentPrefetcher();
    DocumentPrefetcher(const DocumentPrefetcher&) = delete;
    DocumentPrefetcher& operator=(const DocumentPrefetcher&) = delete;

    // The next file in list order; waits for it when it is not loaded yet. Past the last file, or
    // past one that failed to load, it gives a load error at once.
    Loaded Next();
    // Hands a document the batch is done with back to the thread that loaded it, which frees it:
    // freeing a document is thousands of small frees, which there overlap the batch's database
    // work instead of adding to it (and mimalloc frees a block fastest on the thread that
    // allocated it).
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
    // Waits until the file at index is the next to be parsed and its memory can be spared, freeing
    // the loader's spent documents meanwhile; false when the batch no longer needs the file.
    bool Admit(qsizetype index, qint64 bytes, int loader, Hold& hold);
    void Release(qint64 bytes);

    const QString m_folder;
    const QStringList m_names;
    const QStringList m_paths;
    const std::size_t m_ahead;
    const std::size_t m_wakeAt; // files ready in order before a waiting batch is woken
    const qint64 m_memory;      // the most the documents may hold

    std::mutex m_mutex;
    std::condition_variable m_ready; // the batch waits: files ready in order, or no more to come
    std::condition_variable m_room;  // the loaders wait: room, memory, their turn, spent documents
    std::deque<Slot> m_window;       // the files from m_given on that a loader has claimed
    qsizetype m_given = 0;           // files handed to the batch
    qsizetype m_claimed = 0;         // files claimed by a loader
    qsizetype m_admitted = 0;        // files let to parse, all before any later one
    qsizetype m_failedAt = -1;       // the first file that failed to load: none after it is given
    qint64 m_held = 0;               // held by the documents parsed and not yet freed
    bool m_batchWaiting = false;
    bool m_memoryShort = false;               // the loader whose turn it is waits for memory
    int m_waitingForMemory = 0;               // loaders in Admit
    std::vector<std::vector<Loaded>> m_spent; // per loader, to be freed by it
    std::vector<char> m_finished;             // per loader: its thread is done
    int m_running = 0;                        // loaders not yet finished
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
