#include "reports/ReportSession.h"

#include "reports/ReportWorkbook.h"
#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace
{
// A commit that lands between the two begins makes them try again; imports commit about once a
// second, so a few tries suffice before the write lock is taken for a moment instead.
constexpr int kUnlockedAttempts = 20;

void BeginRead(Database& db)
{
    db.ExecuteControl(QStringLiteral("BEGIN"));
    // A read transaction takes its snapshot at its first read.
    db.Execute(QStringLiteral("SELECT count(*) FROM sqlite_master")).finish();
}

void EndRead(Database& db)
{
    db.Rollback();
}

qint64 DataVersion(Database& db)
{
    QSqlQuery& query = db.Execute(QStringLiteral("PRAGMA data_version"));
    const qint64 version = query.next() ? query.value(0).toLongLong() : -1;
    query.finish();
    return version;
}
} // namespace

ReportSession::ReportSession(const Settings& settings) : m_thread(&ReportSession::RunHelper, this)
{
    try
    {
        // One after the other: two connections that both switch a fresh database to WAL at once
        // can make SQLite refuse one of them at once instead of waiting.
        m_main = OpenReportDatabase(settings, true);
        // The helper's connection lives and dies on its thread, as Qt's connections must.
        auto opened = std::make_shared<std::packaged_task<void()>>(
            [this, &settings] { m_helper = OpenReportDatabase(settings, false); });
        Post([opened] { (*opened)(); });
        opened->get_future().get();
        BeginReads(settings);
    }
    catch (...)
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_one();
        m_thread.join();
        throw;
    }
}

ReportSession::~ReportSession()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_one();
    m_thread.join();
    if (m_main)
        EndRead(*m_main);
}

void ReportSession::Post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_changed.notify_one();
}

void ReportSession::RunHelper()
{
    for (;;)
    {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || !m_tasks.empty(); });
            if (m_tasks.empty())
                break;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
    if (m_helper)
    {
        EndRead(*m_helper);
        m_helper.reset();
    }
}

void ReportSession::BeginReads(const Settings& settings)
{
    if (m_main->Kind() == Engine::PostgreSQL)
    {
        // The helper takes over the snapshot the main connection exported, which stays valid while
        // the exporting transaction is open.
        const QString begin = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        m_main->ExecuteControl(begin);
        QSqlQuery& query = m_main->Execute(QStringLiteral("SELECT pg_export_snapshot()"));
        const QString snapshot = query.next() ? query.value(0).toString() : QString();
        query.finish();
        // The server's own identifier, checked before it is written into the statement text.
        if (!QRegularExpression(QStringLiteral("^[0-9A-Fa-f-]+$")).match(snapshot).hasMatch())
            throw CorvaneError(QStringLiteral("数据库服务器没有给出可用的快照:") + snapshot);
        OnHelper(
            [&](Database& db)
            {
                db.ExecuteControl(begin);
                db.ExecuteControl(QStringLiteral("SET TRANSACTION SNAPSHOT '") + snapshot +
                                  QStringLiteral("'"));
            })
            .get();
        return;
    }
    // SQLite reads the state of the last commit when a read begins. A third connection sees
    // whether another program committed between the two begins; if not, both read one state.
    const std::unique_ptr<Database> probe = OpenDatabase(settings);
    for (int attempt = 1;; ++attempt)
    {
        const bool locked = attempt > kUnlockedAttempts;
        if (locked && !probe->TryBeginWrite())
            throw CorvaneError(QStringLiteral("数据库正被其他程序使用") + DatabasePath(settings));
        const qint64 before = DataVersion(*probe);
        BeginRead(*m_main);
        OnHelper([](Database& db) { BeginRead(db); }).get();
        if (locked)
        {
            probe->Rollback();
            return;
        }
        if (DataVersion(*probe) == before)
            return;
        EndRead(*m_main);
        OnHelper([](Database& db) { EndRead(db); }).get();
    }
}
