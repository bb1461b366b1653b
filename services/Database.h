#pragma once

#include "services/Settings.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <memory>

class MessageSink;

// Kind of a column as the record layer converts values for it.
enum class ColumnKind
{
    Text,
    Integer,
    Real,
};

// One open connection. Keeps prepared statements and column kinds for the life of a batch.
// Every value reaches the engine as a bound parameter.
class Database
{
public:
    Database(const QString& driver, const QString& databaseName, const QString& connectOptions = {});
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // A prepared statement for this SQL text, reused on later calls. Throws CorvaneError.
    QSqlQuery& Prepared(const QString& sql);
    // Runs one statement with bound values. Throws CorvaneError with the engine's description.
    QSqlQuery& Execute(const QString& sql, const QVariantList& values = {});
    // Runs a script of statements separated by ";" at line ends (the store files).
    void ExecuteScript(const QString& script);

    // Kinds of the columns of a table by name. Throws CorvaneError for an unknown table.
    const QHash<QString, ColumnKind>& Columns(const QString& table);
    QString QuoteName(const QString& identifier) const;
    // The statement text kept under key, made by build() the first time: for callers that would
    // otherwise assemble the same long text for every row.
    template <typename Build> const QString& StatementText(const QString& key, Build build)
    {
        auto found = m_statementTexts.constFind(key);
        if (found != m_statementTexts.constEnd())
            return *found;
        return *m_statementTexts.insert(key, build());
    }
    // True when a unique index of table covers exactly this column, compared as stored, so that
    // a row can be written with one INSERT ... ON CONFLICT. Cached for the connection.
    bool HasUniqueKey(const QString& table, const QString& column);

    void Begin();
    // Begins a write transaction now rather than at the first write, so that another program's
    // write lock shows here, before any row is written. False when the database stays locked
    // past the busy wait; throws CorvaneError for any other failure.
    bool TryBeginWrite();
    void Commit();
    void Rollback();

    QSqlDatabase& Connection() { return m_db; }
    const QString& ConnectionName() const { return m_name; }

private:
    QString m_name;
    QSqlDatabase m_db;
    struct Statement
    {
        QSqlQuery* query;
        qsizetype parameters;
    };
    Statement& PreparedStatement(const QString& sql);

    QHash<QString, Statement> m_statements;
    QHash<QString, QHash<QString, ColumnKind>> m_columns;
    mutable QHash<QString, QString> m_quotedNames;
    QHash<QString, QString> m_statementTexts;
    QHash<QPair<QString, QString>, bool> m_uniqueKeys;
};

// The description of a failed statement, as an operator should read it.
QString DescribeSqlError(const QSqlQuery& query);

// Opens the program's database: with DataSource empty the file LocalPath + "wenwu.mdb",
// else the SQLite file DataSource names (relative to LocalPath). Never creates a database:
// throws CorvaneError "数据库文件不存在:" + path for a missing file, and a clear message for
// a file that is an Access database or no database at all.
std::unique_ptr<Database> OpenDatabase(const Settings& settings);

// The database file OpenDatabase would open for these settings.
QString DatabasePath(const Settings& settings);

// Commits on Commit(); rolls back when left without it. Never throws from its destructor.
class Transaction
{
public:
    explicit Transaction(Database& db);
    // Takes over a transaction the caller began (e.g. with TryBeginWrite).
    enum Begun
    {
        AlreadyBegun
    };
    Transaction(Database& db, Begun);
    ~Transaction();
    void Commit();

private:
    Database& m_db;
    bool m_done = false;
};

// A nested unit inside a transaction: Release() keeps its work, leaving without it undoes it.
class Savepoint
{
public:
    Savepoint(Database& db, const QString& name);
    ~Savepoint();
    void Release();

private:
    Database& m_db;
    QString m_name;
    bool m_done = false;
};
