#include "import/ImportLedger.h"

#include "import/ImportBatch.h"
#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSysInfo>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace
{
QString Now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

// The system account the program runs under; the environment may not say (services, cron).
QString OperatingUser()
{
#ifdef Q_OS_UNIX
    if (const passwd* account = getpwuid(geteuid()))
        return QString::fromLocal8Bit(account->pw_name);
#endif
    return qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER"));
}
} // namespace

ImportLedger::ImportLedger(const QString& kind, int listed)
    : m_id(QUuid::createUuid().toString(QUuid::WithoutBraces)), m_kind(kind), m_started(Now()),
      m_listed(listed)
{
}

void ImportLedger::Describe(const QString& name, qint64 size, const QByteArray& sha256)
{
    m_facts.insert(name, Facts{size, sha256});
}

// Until a commit holds it, every transaction that writes an entry carries the batch row too.
void ImportLedger::WriteBatch(Database& db)
{
    if (m_batchStored)
        return;
    db.Execute(QStringLiteral("INSERT INTO imp_batch (batch_id, kind, started_at, os_user, host, "
                              "program_version, database_name, files_listed) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                              "ON CONFLICT (batch_id) DO NOTHING"),
               {m_id, m_kind, m_started, OperatingUser(), QSysInfo::machineHostName(),
                QStringLiteral(CORVANE_VERSION), db.Connection().databaseName(), m_listed})
        .finish();
}

void ImportLedger::Insert(Database& db, const Entry& entry)
{
    const Facts facts = m_facts.value(entry.name);
    // An empty join is a null string, which the driver would bind as NULL.
    const QString messages =
        entry.messages.isEmpty() ? QStringLiteral("") : entry.messages.join(QLatin1Char('\n'));
    db.Execute(
          QStringLiteral("INSERT INTO imp_file (batch_id, file_name, file_size, sha256, file_key, outcome, "
                         "messages) VALUES (?, ?, ?, ?, ?, ?, ?)"),
          {m_id, entry.name, facts.size < 0 ? QVariant() : QVariant(facts.size),
           facts.sha256.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(facts.sha256)),
           entry.key.isEmpty() ? QVariant() : QVariant(entry.key), entry.outcome, messages})
        .finish();
}

void ImportLedger::Write(Database& db, const Entry& entry)
{
    WriteBatch(db);
    Insert(db, entry);
    m_entered.insert(entry.name, true);
}

void ImportLedger::Later(const Entry& entry)
{
    m_later.append(entry);
    m_entered.insert(entry.name, true);
}

void ImportLedger::Finish(Database& db, const QStringList& names, const BatchCounts& counts) noexcept
{
    try
    {
        if (db.Unusable() || db.ConnectionLost())
            return;
        for (const QString& name : names)
            if (!m_entered.contains(name))
                m_later.append({name, QString(), LedgerOutcome::kUnprocessed, {}});
        Transaction transaction(db);
        WriteBatch(db);
        for (const Entry& entry : std::as_const(m_later))
            Insert(db, entry);
        db.Execute(
              QStringLiteral("UPDATE imp_batch SET ended_at = ?, imported = ?, failed = ?, unprocessed = ? "
                             "WHERE batch_id = ?"),
              {Now(), counts.imported, counts.failed, counts.unprocessed, m_id})
            .finish();
        transaction.Commit();
    }
    catch (...)
    {
        // The batch's own messages said what went wrong with the database.
    }
}
