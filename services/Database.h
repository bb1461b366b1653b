#pragma once

#include "services/Settings.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <memory>
#include <span>
#include <string>
#include <vector>

class MessageSink;
struct sqlite3;
struct sqlite3_stmt;

// Kind of a column as the record layer converts values for it.
enum class ColumnKind
{
    Text,
    Integer,
    Real,
};

// The engines the program runs on: the embedded file, or a server shared by several operators.
enum class Engine
{
    SQLite,
    PostgreSQL,
};

// Where a connection goes. host empty: a local file named by databaseName.
struct ConnectionTarget
{
    QString driver;
    QString databaseName;
    QString connectOptions;
    QString host;
    int port = -1;
    QString userName;
    QString shownName; // names the database in messages
};

// One open connection. Keeps prepared statements and column kinds while it is open.
// On SQLite every value reaches the engine as a bound parameter. On a server each statement is
// prepared once and run with EXECUTE, whose values the Qt driver writes into the statement text
// (QSqlDriver::formatValue, as its own prepared statements do): a text in single quotes with each
// quote doubled (and each backslash doubled when the server does not take strings as standard),
// a number in digits, a null as NULL, bytes escaped by the client library. This class writes no
// value into a statement's text otherwise. What differs between the engines is decided here, so
// the import and the reports run the same statements on both.
class Database
{
public:
    Database(const QString& driver, const QString& databaseName, const QString& connectOptions = {});
    explicit Database(const ConnectionTarget& target);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // A prepared statement for this SQL text, reused on later calls (on a server it is run only
    // through Execute). Throws CorvaneError.
    QSqlQuery& Prepared(const QString& sql);
    // Runs one statement with these values (bound, or written into EXECUTE on a server). Throws
    // CorvaneError with the engine's description.
    QSqlQuery& Execute(const QString& sql, const QVariantList& values = {});
    // Runs a statement that returns no rows, with these values. On SQLite they go to the engine
    // directly: Qt's binding layer costs more than the engine's work on a short insert. Other
    // engines go through Execute. Throws CorvaneError with the engine's description.
    void Run(const QString& sql, std::span<const QVariant> values = {});
    // True when a query gives at least one row, with these values. Throws CorvaneError.
    bool HasRow(const QString& sql, std::span<const QVariant> values);
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

    // The column that identifies one row of any table, for editing exactly one of several rows
    // with the same key ("rowid" on SQLite, "ctid" on PostgreSQL).
    QString RowIdentity() const;
    // True when a savepoint costs more than a look for the rows it would guard, so a replacement
    // takes one only over rows that exist: the embedded engine copies every page the savepoint's
    // work touches; a server takes it with the next statement, where a look is a round trip.
    bool LooksBeforeSavepoint() const { return m_engine == Engine::SQLite; }
    // True when rows that a report groups several ways are read from a temporary copy made once:
    // on the embedded engine the copy spares joining each project again; a server reads the view.
    bool CopiesReportRows() const { return m_engine == Engine::SQLite; }

    // False once the engine has ended the open transaction on its own (a failed statement that
    // rolls back all); true while one is open. Engines that cannot tell answer true.
    bool InTransaction() const;

    void Begin();
    // Begins a write transaction now rather than at the first write, so that another program's
    // write lock shows here, before any row is written. False when the database stays locked
    // past the busy wait; throws CorvaneError for any other failure.
    bool TryBeginWrite();
    void Commit();
    void Rollback();
    void ExecuteControl(const QString& sql);

    // The engine, and whether an import commits its files in groups (CommitsInGroups): the
    // embedded engine does; a server commits each file by itself, since another operator's
    // transaction may make it undo one, which is then run again alone.
    Engine Kind() const { return m_engine; }
    bool CommitsInGroups() const { return m_engine == Engine::SQLite; }
    // Sets a batch's connection up: on an embedded database a writer of another program is waited
    // for a short while (then TryBeginWrite gives up), and each commit is on disk when it returns;
    // a server waits as it must.
    void SetUpForBatch();
    // Settings that speed up the long reads of a report run.
    void TuneForReports(bool mapFile);
    // Inside a transaction: waits until no other connection writes the rows of key (a unit or a
    // project), so two operators importing the same file write it one after the other.
    void LockKey(const QString& key);
    // After a statement failed: true when the engine gave up on the transaction because of
    // another one (serialisation failure, deadlock), so running it again can succeed.
    bool ConflictFailed() const { return m_conflict; }
    // After a statement failed: true when the connection to the server is gone.
    bool ConnectionLost() const { return m_connectionLost; }
    // After a statement failed: true when the database itself can take no more writes (disk full,
    // read-only, damaged, gone), so every later file would fail the same way.
    bool Unusable() const { return m_unusable; }
    // The engine's result code of the last failure on SQLite (SQLITE_FULL, ...), 0 elsewhere.
    int LastErrorCode() const { return m_lastCode; }
    // The description of the last failed statement. A failure of the database file itself is
    // described in the operator's words, naming the file and what to do.
    const QString& LastFailure() const { return m_lastFailure; }

    QSqlDatabase& Connection() { return m_db; }
    const QString& ConnectionName() const { return m_name; }

private:
    void Open(const ConnectionTarget& target);
    // Every failure ends here: its description is kept for LastFailure() and thrown as
    // CorvaneError, context (the statement, for a script) added to the thrown text only.
    [[noreturn]] void Fail(const QString& description, const QString& context = {});
    [[noreturn]] void Fail(const QSqlError& error, const QString& context = {});
    // Notes what kind of failure the last error was (conflict, lost connection, unusable) and
    // returns its description.
    QString NoteFailure(const QSqlError& error);
    QString NoteSqliteFailure(int code, const QString& description);
    QString NoteNativeFailure();

    QString m_name;
    QSqlDatabase m_db;
    Engine m_engine = Engine::SQLite;
    bool m_conflict = false;
    bool m_connectionLost = false;
    bool m_unusable = false;
    int m_lastCode = 0;
    QString m_shownName;
    QString m_lastFailure;
    QString m_heldControl; // transaction control not sent yet
    struct Statement
    {
        QSqlQuery* query;
        qsizetype parameters;
        QString serverName; // of the statement prepared on a server
    };
    Statement& PreparedStatement(const QString& sql);
    // Prepares sql on the server under a name of ours, with the held control in the same trip.
    Statement PrepareOnServer(const QString& sql, QSqlQuery& query);
    // Runs a server statement, the held control in the same round trip. False when it failed.
    bool ExecuteOnServer(const Statement& statement, const QVariantList& values);
    // The server's EXECUTE of a prepared statement with these values, written by the driver.
    QString ExecuteText(const Statement& statement, const QVariantList& values) const;
    void SendHeldControl();
    sqlite3_stmt* NativeStatement(const QString& sql);
    // The cached statement with these values bound, ready to step.
    sqlite3_stmt* BoundStatement(const QString& sql, std::span<const QVariant> values);
    void RunNative(const QString& sql, std::span<const QVariant> values);

    sqlite3* m_native = nullptr; // the SQLite handle under Qt's connection, null on other engines
    QHash<QString, sqlite3_stmt*> m_nativeStatements;
    std::string m_utf8;                  // the texts of the statement being run, as UTF-8
    std::vector<std::size_t> m_utf8Ends; // per value: the end of its text in m_utf8 (+1), or 0

    QHash<QString, Statement> m_statements;
    QHash<QString, QHash<QString, ColumnKind>> m_columns;
    mutable QHash<QString, QString> m_quotedNames;
    QHash<QString, QString> m_statementTexts;
    QHash<QPair<QString, QString>, bool> m_uniqueKeys;
};

// The description of a failed statement, as an operator should read it.
QString DescribeSqlError(const QSqlQuery& query);

// Opens the program's database: with DataSource empty the file LocalPath + "wenwu.mdb"; with a
// postgresql://user@host:port/dbname URI that database on a PostgreSQL server (the password
// comes from PGPASSWORD or ~/.pgpass, never from the URI); else the SQLite file DataSource names
// (relative to LocalPath). Never creates a database: throws CorvaneError "数据库文件不存在:" +
// path for a missing file, a clear message for a file that is an Access database or no database
// at all, for a URI it cannot use and for a server it cannot reach. A database of an earlier
// version gets its saved queries brought up to date (UpgradeDatabase); "数据库正被其他程序使用" +
// path when another program keeps it locked meanwhile.
std::unique_ptr<Database> OpenDatabase(const Settings& settings);

// True when the data source names a database server rather than a file.
bool IsServerDataSource(const QString& dataSource);

// The connection a postgresql:// URI names. Throws CorvaneError for a malformed URI or one
// holding a password.
ConnectionTarget ServerTarget(const QString& uri);

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
