#pragma once

#include "services/Settings.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// Copies an embedded database's write-ahead log into the database file on a thread and a
// connection of its own, whenever asked: the writer of a batch then never waits for the disk to
// take the log, and closing the database has little left to copy. A server keeps its own log;
// for one this does nothing. A checkpoint that fails only leaves the log for the next one.
class WalCheckpointer
{
public:
    explicit WalCheckpointer(const Settings& settings);
    ~WalCheckpointer(); // waits for a checkpoint under way
    WalCheckpointer(const WalCheckpointer&) = delete;
    WalCheckpointer& operator=(const WalCheckpointer&) = delete;

    // After a commit: copy what the log holds now.
    void Request();

private:
    void Run(Settings settings);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_requested = false;
    bool m_stop = false;
    std::thread m_thread;
};
