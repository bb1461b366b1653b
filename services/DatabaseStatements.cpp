// The statements run through Qt SQL, prepared once per connection and kept by their text.

#include "services/Database.h"
#include "services/DatabaseInternals.h"

#include <QRegularExpression>
#include <QSqlError>

namespace
{
const QString& PlaceholderName(qsizetype index)
{
    thread_local QStringList names;
    while (names.size() <= index)
        names.append(QStringLiteral(":p") + QString::number(names.size()));
    return names[index];
}
} // namespace

QString NamePlaceholders(const QString& sql, qsizetype& count)
{
    QString named;
    named.reserve(sql.size() + sql.size() / 2);
    QChar closingQuote;
    count = 0;
    for (const QChar ch : sql)
    {
        if (!closingQuote.isNull())
        {
            if (ch == closingQuote)
                closingQuote = QChar();
            named += ch;
        }
        else if (ch == u'?')
        {
            named += QStringLiteral(":p") + QString::number(count++);
        }
        else
        {
            if (ch == u'\'' || ch == u'"' || ch == u'`')
                closingQuote = ch;
            else if (ch == u'[')
                closingQuote = u']';
            named += ch;
        }
    }
    return named;
}

Database::Statement& Database::PreparedStatement(const QString& sql)
{
    auto found = m_statements.find(sql);
    if (found != m_statements.end())
        return *found;
    auto query = std::make_unique<QSqlQuery>(m_db);
    query->setForwardOnly(true);
    if (m_engine == Engine::PostgreSQL)
    {
        Statement statement = PrepareOnServer(sql, *query);
        statement.query = query.release();
        return *m_statements.insert(sql, statement);
    }
    qsizetype parameters = 0;
    const QString named = NamePlaceholders(sql, parameters);
    if (!query->prepare(named))
        Fail(query->lastError());
    return *m_statements.insert(sql, Statement{query.release(), parameters, QString()});
}

QSqlQuery& Database::Prepared(const QString& sql)
{
    return *PreparedStatement(sql).query;
}

QSqlQuery& Database::Execute(const QString& sql, const QVariantList& values)
{
    if (m_engine == Engine::SQLite)
        SendHeldControl();
    Statement& statement = PreparedStatement(sql);
    QSqlQuery& query = *statement.query;
    if (values.size() != statement.parameters)
        Fail(DescribeParameterCount(statement.parameters, values.size(), sql));
    bool done = false;
    if (m_engine == Engine::PostgreSQL)
    {
        done = ExecuteOnServer(statement, values);
    }
    else
    {
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(PlaceholderName(i), values[i]);
        done = query.exec();
    }
    if (!done)
    {
        const QString description = NoteFailure(query.lastError());
        query.finish();
        Fail(description);
    }
    return query;
}

void Database::ExecuteScript(const QString& script)
{
    SendHeldControl();
    // The store scripts keep one statement per ";" at a line end; triggers are not used there.
    const QStringList statements = script.split(QRegularExpression(QStringLiteral(";\\s*(\\n|$)")));
    for (const QString& raw : statements)
    {
        QString statement;
        for (const QString& line : raw.split(QLatin1Char('\n')))
            if (!line.trimmed().startsWith(QLatin1String("--")))
                statement += line + QLatin1Char('\n');
        if (statement.trimmed().isEmpty())
            continue;
        QSqlQuery query(m_db);
        if (!query.exec(statement))
            Fail(query.lastError(), QStringLiteral(":") + statement.trimmed().left(80));
    }
}
