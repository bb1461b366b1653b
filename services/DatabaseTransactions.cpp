// Transactions and savepoints, and the guards that end them.

#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QSqlError>

#include <sqlite3.h>

bool Database::InTransaction() const
{
    return !m_native || sqlite3_get_autocommit(m_native) == 0;
}

// Control goes through the statement caches (ExecuteControl): QSqlDatabase::transaction()
// prepares BEGIN and COMMIT anew on every call.
void Database::Begin()
{
    m_conflict = false;
    ExecuteControl(QStringLiteral("BEGIN"));
}

bool Database::TryBeginWrite()
{
    // A server takes its locks row by row and waits for them as long as it must.
    if (m_engine != Engine::SQLite)
    {
        Begin();
        return true;
    }
    m_conflict = false;
    QSqlQuery& query = Prepared(QStringLiteral("BEGIN IMMEDIATE"));
    if (query.exec())
    {
        query.finish();
        return true;
    }
    const QSqlError error = query.lastError();
    query.finish();
    // SQLITE_BUSY and SQLITE_LOCKED, extended codes included.
    const int code = error.nativeErrorCode().toInt() & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return false;
    Fail(error);
}

void Database::Commit()
{
    ExecuteControl(QStringLiteral("COMMIT"));
}

void Database::Rollback()
{
    try
    {
        ExecuteControl(QStringLiteral("ROLLBACK"));
    }
    catch (const CorvaneError&)
    {
        // Nothing was open, or the engine already rolled back after a failed statement.
    }
}

Transaction::Transaction(Database& db) : m_db(db)
{
    m_db.Begin();
}

Transaction::Transaction(Database& db, Begun) : m_db(db) {}

Transaction::~Transaction()
{
    if (!m_done)
        m_db.Rollback();
}

void Transaction::Commit()
{
    m_db.Commit();
    m_done = true;
}

Savepoint::Savepoint(Database& db, const QString& name) : m_db(db), m_name(name)
{
    m_db.ExecuteControl(QStringLiteral("SAVEPOINT ") + m_name);
}

Savepoint::~Savepoint()
{
    if (m_done)
        return;
    try
    {
        m_db.ExecuteControl(QStringLiteral("ROLLBACK TO SAVEPOINT ") + m_name);
        m_db.ExecuteControl(QStringLiteral("RELEASE SAVEPOINT ") + m_name);
    }
    catch (const CorvaneError&)
    {
        // The enclosing transaction's rollback undoes it all the same.
    }
}

void Savepoint::Release()
{
    m_db.ExecuteControl(QStringLiteral("RELEASE SAVEPOINT ") + m_name);
    m_done = true;
}
