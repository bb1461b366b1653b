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

QVariant NullIfEmpty(const QString& text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}
} // namespace

ImportLedger::ImportLedger(const QString& kind, int listed)
    : m_id(QUuid::createUuid().toString(QUuid::WithoutBraces)), m_kind(kind), m_started(Now()),
      m_listed(listed)
{
}

void ImportLedger::LoadHistory(Database& db, const QString& keyTable, const QString& keyColumn)
{
    QSqlQuery& keys = db.Execute(QStringLiteral("SELECT %1 FROM %2").arg(keyColumn, keyTable));
    while (keys.next())
        m_content.insert(keys.value(0).toString(), QByteArray());
    keys.finish();
    // Later batches and later files of a batch overwrite earlier ones.
    QSqlQuery& content = db.Execute(
        QStringLiteral(
            "SELECT f.file_key, f.sha256 FROM imp_file f JOIN imp_batch b ON b.batch_id = f.batch_id "
            "WHERE b.kind = ? AND f.outcome IN (?, ?) AND f.sha256 IS NOT NULL "
            "ORDER BY b.started_at, f.file_no"),
        {m_kind, LedgerOutcome::kImported, LedgerOutcome::kNotMoved});
    while (content.next())
    {
        // A key whose rows are gone counts as new.
        const auto key = m_content.find(content.value(0).toString());
        if (key != m_content.end())
            *key = content.value(1).toByteArray();
    }
    content.finish();
}

void ImportLedger::Describe(const QString& name, qint64 size, const QByteArray& sha256)
{
    m_inHand = Entry{};
    m_inHand.name = name;
    m_inHand.number = ++m_met;
    m_inHand.size = size;
    m_inHand.sha256 = sha256;
}

ImportLedger::Entry ImportLedger::InHand(const QString& outcome, const LedgerMessages& messages) const
{
    Entry entry = m_inHand;
    entry.outcome = outcome;
    entry.messages = messages;
    return entry;
}

void ImportLedger::Enter(int number)
{
    if (size_t(number) >= m_entered.size())
        m_entered.resize(size_t(number) + 1);
    m_entered[size_t(number)] = true;
}

// An imported file's content against what its key held before it, in the database or earlier in
// the transaction in hand.
QString ImportLedger::Change(const QString& key, const QByteArray& sha256)
{
    const auto earlier = m_content.find(key);
    if (earlier == m_content.end())
    {
        m_undo.append({key, std::nullopt});
        m_content.insert(key, sha256);
        return LedgerChange::kNew;
    }
    m_undo.append({key, *earlier});
    const bool same = !sha256.isEmpty() && *earlier == sha256;
    *earlier = sha256;
    return same ? LedgerChange::kUnchanged : LedgerChange::kUpdated;
}

void ImportLedger::Committed()
{
    m_batchStored = true;
    m_undo.clear();
    for (auto count = m_changesInHand.constBegin(); count != m_changesInHand.constEnd(); ++count)
        m_changes[count.key()] += count.value();
    m_changesInHand.clear();
}

void ImportLedger::Discard()
{
    for (auto change = m_undo.crbegin(); change != m_undo.crend(); ++change)
        if (change->second)
            m_content.insert(change->first, *change->second);
        else
            m_content.remove(change->first);
    m_undo.clear();
    m_changesInHand.clear();
    m_batchInHand = false;
}

// Until a commit holds it, every transaction that writes an entry carries the batch row too.
void ImportLedger::WriteBatch(Database& db)
{
    if (m_batchStored || m_batchInHand)
        return;
    const QString databaseUser = db.Kind() == Engine::PostgreSQL ? db.Connection().userName() : QString();
    db.Execute(QStringLiteral("INSERT INTO imp_batch (batch_id, kind, started_at, os_user, host, db_user, "
                              "program_version, database_name, files_listed) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (batch_id) DO NOTHING"),
               {m_id, m_kind, m_started, OperatingUser(), QSysInfo::machineHostName(),
                NullIfEmpty(databaseUser), QStringLiteral(CORVANE_VERSION), db.Connection().databaseName(),
                m_listed})
        .finish();
    m_batchInHand = true;
}

void ImportLedger::Insert(Database& db, const Entry& entry, const QString& change)
{
    const int number = entry.number;
    Enter(number);
    // Bound straight to the engine: Qt's binding layer costs more than the insert itself.
    const QVariant file[] = {m_id,
                             number,
                             entry.name,
                             entry.size < 0 ? QVariant() : QVariant(entry.size),
                             entry.sha256.isEmpty() ? QVariant()
                                                    : QVariant(QString::fromLatin1(entry.sha256)),
                             NullIfEmpty(entry.key),
                             NullIfEmpty(entry.unitId),
                             entry.outcome,
                             NullIfEmpty(change)};
    db.Run(QStringLiteral("INSERT INTO imp_file (batch_id, file_no, file_name, file_size, sha256, file_key, "
                          "unit_id, outcome, change) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
           file);
    int position = 0;
    for (const LedgerMessage& message : entry.messages)
    {
        const QVariant values[] = {m_id,
                                   number,
                                   ++position,
                                   message.text,
                                   NullIfEmpty(message.detail.element),
                                   message.detail.element.isEmpty() ? QVariant()
                                                                    : QVariant(message.detail.value)};
        db.Run(QStringLiteral("INSERT INTO imp_message (batch_id, file_no, message_no, text, element, value) "
                              "VALUES (?, ?, ?, ?, ?, ?)"),
               values);
    }
}

void ImportLedger::Write(Database& db, const Entry& entry)
{
    WriteBatch(db);
    // A file that failed may have written some of its key's rows: a later file of the key
    // replaces them. Only an imported file's content counts as the key's last.
    QString change;
    if (!entry.key.isEmpty())
    {
        const bool imported = entry.outcome == LedgerOutcome::kImported;
        change = Change(entry.key, imported ? entry.sha256 : QByteArray());
        if (imported)
            ++m_changesInHand[change];
        else
            change.clear();
    }
    Insert(db, entry, change);
}

void ImportLedger::Later(Entry entry)
{
    if (entry.number == 0)
        entry.number = ++m_met;
    Enter(entry.number);
    m_later.append(entry);
}

void ImportLedger::Finish(Database& db, const QStringList& names, const BatchCounts& counts,
                          int notShown) noexcept
{
    try
    {
        if (db.Unusable() || db.ConnectionLost())
            return;
        const int first = m_listed - int(names.size()) + 1;
        for (int k = 0; k < names.size(); ++k)
            if (size_t(first + k) >= m_entered.size() || !m_entered[size_t(first + k)])
            {
                Entry entry;
                entry.name = names[k];
                entry.outcome = LedgerOutcome::kUnprocessed;
                entry.number = first + k;
                m_later.append(entry);
            }
        QHash<QString, int> numbers;
        if (!m_notMoved.isEmpty())
            for (int k = 0; k < names.size(); ++k)
                numbers.insert(names[k], first + k);
        Transaction transaction(db);
        WriteBatch(db);
        for (const Entry& entry : std::as_const(m_later))
            Insert(db, entry, QString());
        // In chunks: each statement reads the whole unindexed table once.
        for (qsizetype start = 0; start < m_notMoved.size(); start += 500)
        {
            QVariantList values{LedgerOutcome::kNotMoved, m_id};
            QStringList marks;
            for (const QString& name : m_notMoved.mid(start, 500))
            {
                values.append(numbers.value(name));
                marks.append(QStringLiteral("?"));
            }
            db.Execute(
                  QStringLiteral("UPDATE imp_file SET outcome = ? WHERE batch_id = ? AND file_no IN (%1)")
                      .arg(marks.join(QLatin1Char(','))),
                  values)
                .finish();
        }
        db.Execute(
              QStringLiteral(
                  "UPDATE imp_batch SET ended_at = ?, imported = ?, failed = ?, unprocessed = ?, "
                  "not_moved = ?, not_shown = ?, added = ?, updated = ?, unchanged = ? WHERE batch_id = ?"),
              {Now(), counts.imported, counts.failed, counts.unprocessed, int(m_notMoved.size()), notShown,
               m_changes.value(LedgerChange::kNew), m_changes.value(LedgerChange::kUpdated),
               m_changes.value(LedgerChange::kUnchanged), m_id})
            .finish();
        transaction.Commit();
    }
    catch (...)
    {
        // The batch's own messages said what went wrong with the database.
    }
}
