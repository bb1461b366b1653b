#include "import/OneFileTransactions.h"

#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QThread>

namespace
{
// Two operators importing the same file at once wait for each other; a deadlock or
// serialisation failure that still happens is retried a few times before it counts.
constexpr int kMaxAttempts = 8;
} // namespace

bool OneFileTransactions::Import(const QString& name, const XmlNode& root, const QString& key)
{
    bool ok = false;
    bool busy = false;
    bool committed = false;
    LedgerMessages shown;
    for (int attempt = 1;; ++attempt)
    {
        HeldMessages held(m_outcome.sink);
        try
        {
            // The write lock is taken before the first row, so a busy database leaves nothing
            // half written. What the sections wrote is kept even when a later one failed.
            if (!m_db.TryBeginWrite())
            {
                busy = true;
                break;
            }
            Transaction transaction(m_db, Transaction::AlreadyBegun);
            m_db.LockKey(key);
            ok = m_kind.ImportDocument(m_db, root, key, held);
            WriteEntry(root, key, Imported(ok, key), held);
            try
            {
                transaction.Commit();
                committed = true;
            }
            catch (const CorvaneError& error)
            {
                held.Show(QStringLiteral("保存") + name + QStringLiteral("的数据失败:") + error.Message());
                ok = false;
            }
        }
        catch (const CorvaneError& error) // the transaction could not begin
        {
            held.Show(QStringLiteral("保存") + name + QStringLiteral("的数据失败:") + error.Message());
            ok = false;
        }
        if (m_db.ConnectionLost() || m_db.Unusable())
            break;
        if (!committed)
            m_outcome.ledger.Discard();
        if (!ok && m_db.ConflictFailed() && attempt < kMaxAttempts)
        {
            QThread::msleep(unsigned(attempt * 20));
            continue;
        }
        shown = held.Messages();
        held.Deliver();
        break;
    }
    if (busy)
    {
        m_outcome.StopBusy();
        return false;
    }
    if (m_db.ConnectionLost())
    {
        // Whether the last commit arrived is unknown: the file stays, and importing it again
        // gives the same rows.
        m_outcome.Stop(QStringLiteral("与数据库的连接已断开，导入停止于") + m_outcome.folder + name +
                       QStringLiteral(":") + m_db.LastFailure());
        return false;
    }
    if (m_db.Unusable())
    {
        m_outcome.StopForDatabase(name, m_db.LastFailure());
        return false;
    }
    if (committed)
        m_outcome.ledger.Committed();
    else
        m_outcome.ledger.Later(Entry(root, key, false, shown));
    m_outcome.Settle(name, Imported(ok, key));
    m_outcome.StartMoves();
    return true;
}
