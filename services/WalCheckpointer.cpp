#include "services/WalCheckpointer.h"

#include "services/BackgroundThread.h"
#include "services/CorvaneError.h"
#include "services/Database.h"

WalCheckpointer::WalCheckpointer(const Settings& settings)
{
    if (!IsServerDataSource(settings.DataSource))
        m_thread = std::thread(&WalCheckpointer::Run, this, settings);
}

WalCheckpointer::~WalCheckpointer()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_one();
    m_thread.join();
}

void WalCheckpointer::Request()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_requested = true;
    }
    m_changed.notify_one();
}

void WalCheckpointer::Run(Settings settings)
{
    YieldToForegroundWork();
    // The connection lives and dies on this thread, as Qt's connections must.
    std::unique_ptr<Database> db;
    try
    {
        db = OpenDatabase(settings);
    }
    catch (const CorvaneError&)
    {
        return; // the batch's own connection reports what is wrong with the database
    }
    for (;;)
    {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_requested; });
            if (m_stop)
                return;
            m_requested = false;
        }
        try
        {
            // PASSIVE: never waits for the writer, and the writer never waits for it.
            db->Run(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
        }
        catch (const CorvaneError&)
        {
        }
    }
}
