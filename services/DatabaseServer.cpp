// A server's statements: prepared under names of ours and run as EXECUTE text with the values
// written in, and transaction control held back to travel with the next statement, since each
// round trip to the server costs more than the work of a short statement.

#include "services/Database.h"
#include "services/DatabaseInternals.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>

#include <utility>

namespace
{
// The server's form: "$1", "$2", ... for each "?" outside quotes.
QString NumberPlaceholders(const QString& sql, qsizetype& count)
{
    QString numbered = NamePlaceholders(sql, count);
    for (qsizetype i = count - 1; i >= 0; --i)
        numbered.replace(QStringLiteral(":p") + QString::number(i),
                         QLatin1Char('$') + QString::number(i + 1));
    return numbered;
}
} // namespace

Database::Statement Database::PrepareOnServer(const QString& sql, QSqlQuery& query)
{
    // Prepared under a name of ours, as the driver would, so that transaction control held back
    // can travel in the same round trip as the statement's execution.
    const QString name = QStringLiteral("corvane_%1").arg(m_statements.size());
    qsizetype parameters = 0;
    const QString numbered = NumberPlaceholders(sql, parameters);
    if (!query.exec(std::exchange(m_heldControl, QString()) + QStringLiteral("PREPARE ") + name +
                    QStringLiteral(" AS ") + numbered))
        Fail(query.lastError());
    return Statement{nullptr, parameters, name};
}

bool Database::ExecuteOnServer(const Statement& statement, const QVariantList& values)
{
    QString text = std::exchange(m_heldControl, QString());
    const bool combined = !text.isEmpty();
    text += ExecuteText(statement, values);
    // Several statements in one text come back as the last one's result, whole.
    statement.query->setForwardOnly(!combined);
    return statement.query->exec(text);
}

QString Database::ExecuteText(const Statement& statement, const QVariantList& values) const
{
    // The values are written by the driver's own formatting, exactly as its prepared statements
    // send them: quoted and escaped literals in the parameter list of EXECUTE.
    QString text = QStringLiteral("EXECUTE ") + statement.serverName;
    for (qsizetype i = 0; i < values.size(); ++i)
    {
        text += QLatin1Char(i == 0 ? '(' : ',');
        QSqlField field(QString(), values[i].metaType());
        field.setValue(values[i]);
        text += m_db.driver()->formatValue(field);
    }
    if (!values.isEmpty())
        text += QLatin1Char(')');
    return text;
}

void Database::ExecuteControl(const QString& sql)
{
    if (m_engine == Engine::SQLite)
    {
        Run(sql);
        return;
    }
    // The server prepares no transaction control: these go as plain statements. A begin, a
    // savepoint or a release is held back and sent with the next statement (the first write, the
    // commit).
    if (sql == QLatin1String("BEGIN") || sql.startsWith(QLatin1String("RELEASE ")) ||
        sql.startsWith(QLatin1String("SAVEPOINT ")))
    {
        m_heldControl += sql + QLatin1Char(';');
        return;
    }
    if (sql.startsWith(QLatin1String("ROLLBACK TO SAVEPOINT ")))
    {
        // Nothing since a savepoint still held has reached the server: nothing to undo.
        if (m_heldControl.split(QLatin1Char(';')).contains(sql.mid(12)))
            return;
        m_heldControl.clear();
    }
    else if (sql == QLatin1String("ROLLBACK"))
    {
        // A transaction whose BEGIN is still held never reached the server.
        if (std::exchange(m_heldControl, QString()).startsWith(QLatin1String("BEGIN")))
            return;
    }
    QString text = std::exchange(m_heldControl, QString()) + sql;
    QSqlQuery query(m_db);
    if (!query.exec(text))
        Fail(query.lastError());
}

void Database::SendHeldControl()
{
    if (!m_heldControl.isEmpty())
    {
        QSqlQuery query(m_db);
        if (!query.exec(std::exchange(m_heldControl, QString())))
            Fail(query.lastError());
    }
}

void Database::LockKey(const QString& key)
{
    // An embedded database lets one writer in at a time already. On a server the lock ends with the
    // transaction; a hash shared by two keys only makes them wait for each other. Its result is
    // of no use, so it travels with the next statement; a failure shows there.
    if (m_engine == Engine::PostgreSQL)
    {
        const Statement& lock =
            PreparedStatement(QStringLiteral("SELECT pg_advisory_xact_lock(hashtextextended(?, 0))"));
        m_heldControl += ExecuteText(lock, {key}) + QLatin1Char(';');
    }
}
