#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Moves imported files (and their companion pages) from a folder into LocalPath on a thread of
// its own: a rename costs the kernel more than a file's rows cost the database, and the batch
// need not wait for it. Files are moved in the order they were added; only files whose rows are
// committed may be added.
class MoveQueue
{
public:
    MoveQueue(const QString& folder, const QString& localPath);
    ~MoveQueue();
    MoveQueue(const MoveQueue&) = delete;
    MoveQueue& operator=(const MoveQueue&) = delete;

    void Add(const QStringList& names);

    struct Result
    {
        QStringList unmoved; // files still in the folder, in order
        QString firstReason; // why the first of them stayed
        QStringList gone; // files no longer in the folder when their turn came (another program moved them)
    };
    // Waits until every file added has been moved or has failed to move.
    Result Finish();

private:
    void Run();

    QString m_folder;
    QString m_localPath;
    QSet<QString> m_companions; // lower case; the moving thread's own
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QString> m_waiting;
    bool m_finishing = false;
    Result m_result; // the moving thread's until it ends
    std::thread m_thread;
};
