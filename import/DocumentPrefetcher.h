#pragma once

#include "services/XmlAccess.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Reads and parses the files of a batch a few files ahead on a second thread, so the database
// work of one file overlaps the loading of the next. Loading has no side effects; the batch
// still takes the files in order and decides everything on its own thread.
class DocumentPrefetcher
{
public:
    struct Loaded
    {
        XmlDocument document;
        QString error; // GetXmlError() of the load
    };

    // Loads folder + each name; the list is shared, not copied, so memory stays flat for long batches.
    DocumentPrefetcher(const QString& folder, const QStringList& names, std::size_t ahead = 16);
    ~DocumentPrefetcher();
    DocumentPrefetcher(const DocumentPrefetcher&) = delete;
    DocumentPrefetcher& operator=(const DocumentPrefetcher&) = delete;

    // The next file in list order; waits for it when it is not loaded yet. Past the last file, or
    // past one that failed to load, it gives a load error at once.
    Loaded Next();
    // Hands a document the batch is done with back to the loading thread, which frees it: the
    // memory came from that thread's allocator, and freeing it here would contend for its lock.
    void Recycle(XmlDocument document);

private:
    void Run();
    void LoadAll();

    QString m_folder;
    QStringList m_names;
    std::size_t m_ahead;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Loaded> m_ready;
    std::vector<XmlDocument> m_spent; // recycled, to be freed by the loading thread
    std::size_t m_wakeAt;             // files ready before a waiting batch is woken
    bool m_batchWaiting = false;      // the batch waits for m_wakeAt files, or the end
    bool m_stop = false;
    bool m_finished = false;
    std::thread m_thread;
};
