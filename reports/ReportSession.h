#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

class Database;
struct Settings;

// The connections of one report run: one on the calling thread and one on a helper thread of
// its own, both reading one committed state of the database from the start of the run to its
// end, so that another operator's import during the run shows in no sheet and every total agrees
// with the rows beside it. Both connections are closed when the session ends.
class ReportSession
{
public:
    // Opens both connections and begins their reads. Throws CorvaneError when the database cannot
    // be opened or read.
    explicit ReportSession(const Settings& settings);
    ~ReportSession();
    ReportSession(const ReportSession&) = delete;
    ReportSession& operator=(const ReportSession&) = delete;

    // The calling thread's connection; it maps the file.
    Database& Main() { return *m_main; }

    // Runs work(helper's connection) on the helper thread after the work handed over before; the
    // future gives its result or rethrows what it threw.
    template <typename Work> auto OnHelper(Work work)
    {
        using Result = std::invoke_result_t<Work&, Database&>;
        auto task = std::make_shared<std::packaged_task<Result()>>([this, work = std::move(work)]() mutable
                                                                   { return work(*m_helper); });
        auto future = task->get_future();
        Post([task] { (*task)(); });
        return future;
    }

private:
    void Post(std::function<void()> task);
    void RunHelper();
    // Begins the reads of both connections on one committed state.
    void BeginReads(const Settings& settings);

    std::unique_ptr<Database> m_main;
    std::unique_ptr<Database> m_helper; // the helper thread's own
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_stop = false;
    std::thread m_thread;
};
