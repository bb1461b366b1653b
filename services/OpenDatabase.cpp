// Where a connection goes: the data source's file or server, the checks of the file, the
// connection's settings for a batch or a report run.

#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/DatabaseInternals.h"
#include "store/Store.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>

#include <sqlite3.h>

#include <utility>

namespace
{
QString NextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("corvane-%1").arg(counter.fetchAndAddRelaxed(1));
}
} // namespace

Database::Database(const QString& driver, const QString& databaseName, const QString& connectOptions)
    : m_name(NextConnectionName())
{
    ConnectionTarget target;
    target.driver = driver;
    target.databaseName = databaseName;
    target.connectOptions = connectOptions;
    target.shownName = databaseName;
    Open(target);
}

Database::Database(const ConnectionTarget& target) : m_name(NextConnectionName())
{
    Open(target);
}

void Database::Open(const ConnectionTarget& target)
{
    m_engine = target.driver == QLatin1String("QPSQL") ? Engine::PostgreSQL : Engine::SQLite;
    m_shownName = target.shownName;
    m_db = QSqlDatabase::addDatabase(target.driver, m_name);
    m_db.setDatabaseName(target.databaseName);
    if (!target.host.isEmpty())
        m_db.setHostName(target.host);
    if (target.port > 0)
        m_db.setPort(target.port);
    if (!target.userName.isEmpty())
        m_db.setUserName(target.userName);
    if (!target.connectOptions.isEmpty())
        m_db.setConnectOptions(target.connectOptions);
    if (!m_db.isValid() || !m_db.open())
    {
        const QString own =
            m_engine == Engine::SQLite && m_db.isValid()
                ? DescribeFileFailure(m_db.lastError().nativeErrorCode().toInt() & 0xff, target.shownName)
                : QString();
        const QString description = m_db.isValid()
                                        ? DescribeError(m_db.lastError())
                                        : QStringLiteral("缺少数据库驱动") + target.driver +
                                              QStringLiteral("(Debian: libqt6sql6-psql / libqt6sql6-sqlite)");
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        Fail(own.isEmpty()
                 ? QStringLiteral("无法打开数据库") + target.shownName + QStringLiteral(":") + description
                 : own);
    }
    const QVariant handle = m_db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_native = *static_cast<sqlite3* const*>(handle.constData());
}

Database::~Database()
{
    for (const Statement& statement : std::as_const(m_statements))
        delete statement.query;
    m_statements.clear();
    for (sqlite3_stmt* statement : std::as_const(m_nativeStatements))
        sqlite3_finalize(statement);
    m_nativeStatements.clear();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

void Database::SetUpForBatch()
{
    // Another program's writer holds the file for seconds at most; past this the batch stops
    // once rather than failing file after file.
    if (m_engine == Engine::SQLite)
    {
        Run(QStringLiteral("PRAGMA busy_timeout=2000"));
        // A file's savepoint keeps the pages it changes in a sub-journal; in memory that is a few
        // pages per file, in a temporary file it is two writes per page.
        Run(QStringLiteral("PRAGMA temp_store=MEMORY"));
        // A checkpoint waits for the disk twice. A batch lets the log grow to 64 MB between them
        // rather than 4 MB; the log is on disk, and a crash loses nothing more.
        Run(QStringLiteral("PRAGMA wal_autocheckpoint=16384"));
        // A file leaves the import folder once its group's commit returns: the commit must be on
        // disk by then, or a power cut takes back rows whose files have already moved. One sync
        // per group of files.
        Run(QStringLiteral("PRAGMA synchronous=FULL"));
    }
}

void Database::TuneForReports(bool mapFile)
{
    // The report queries jump between tables by index. Reading the file mapped spares a system
    // call and a copy per page, but its pages count once per mapping connection; a second
    // connection reads through a larger page cache instead.
    if (m_engine == Engine::SQLite)
        Execute(mapFile ? QStringLiteral("PRAGMA mmap_size=268435456")
                        : QStringLiteral("PRAGMA cache_size=-32768"))
            .finish();
}

bool IsServerDataSource(const QString& dataSource)
{
    return dataSource.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           dataSource.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

ConnectionTarget ServerTarget(const QString& uri)
{
    const QUrl url(uri, QUrl::StrictMode);
    const QString database = url.path().mid(1);
    if (!url.isValid() || url.host().isEmpty() || database.isEmpty() || database.contains(QLatin1Char('/')))
        throw CorvaneError(QStringLiteral("数据源应为 postgresql://用户@主机:端口/数据库:") + uri);
    if (!url.password().isEmpty())
        throw CorvaneError(QStringLiteral("数据源中不能写密码，请用 PGPASSWORD 或 ~/.pgpass:") +
                           url.toString(QUrl::RemovePassword));
    ConnectionTarget target;
    target.driver = QStringLiteral("QPSQL");
    target.databaseName = database;
    target.host = url.host();
    target.port = url.port(5432);
    target.userName = url.userName();
    target.shownName = url.toString(QUrl::RemovePassword | QUrl::RemoveQuery);
    // Further settings (sslmode=require, ...) pass to the client library as they are.
    QStringList options{QStringLiteral("connect_timeout=10"), QStringLiteral("application_name=corvane")};
    for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
    {
        if (name.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            throw CorvaneError(QStringLiteral("数据源中不能写密码，请用 PGPASSWORD 或 ~/.pgpass:") +
                               target.shownName);
        options.append(name + QLatin1Char('=') + value);
    }
    target.connectOptions = options.join(QLatin1Char(';'));
    return target;
}

QString DatabasePath(const Settings& settings)
{
    if (settings.DataSource.isEmpty())
        return settings.LocalPath + QStringLiteral("wenwu.mdb");
    if (QDir::isRelativePath(settings.DataSource))
        return settings.LocalPath + settings.DataSource;
    return settings.DataSource;
}

std::unique_ptr<Database> OpenDatabase(const Settings& settings)
{
    if (IsServerDataSource(settings.DataSource))
    {
        auto server = std::make_unique<Database>(ServerTarget(settings.DataSource));
        // The server's own synchronous_commit holds: a file moves once its commit returns, so the
        // commit must be on the server's disk by then.
        UpgradeDatabase(*server);
        return server;
    }
    if (settings.DataSource.contains(QLatin1String("://")))
        throw CorvaneError(QStringLiteral("不支持的数据源:") + settings.DataSource);

    const QString path = DatabasePath(settings);
    QFileInfo info(path);
    if (!info.exists())
        throw CorvaneError(QStringLiteral("数据库文件不存在:") + path);
    if (!info.isFile())
        throw CorvaneError(QStringLiteral("不是有效的数据库文件:") + path);

    // An empty file would quietly become an empty database.
    if (info.size() == 0)
        throw CorvaneError(QStringLiteral("不是有效的数据库文件:") + path);

    // The file is read through SQLite alone: closing any other descriptor of it would drop the
    // locks of this process's connections to it, and another program could then write under them.
    auto db = std::make_unique<Database>(QStringLiteral("QSQLITE"), path,
                                         QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    try
    {
        // WAL makes a commit cost little; NORMAL sync keeps the database consistent on a crash
        // (a batch asks for more: SetUpForBatch).
        db->Execute(QStringLiteral("PRAGMA journal_mode=WAL")).finish();
        db->Execute(QStringLiteral("PRAGMA synchronous=NORMAL")).finish();
    }
    catch (const CorvaneError&)
    {
        if (db->LastErrorCode() != SQLITE_NOTADB)
            throw;
        db.reset();
        // Not an SQLite file, so no connection holds a lock on it: its header may be read.
        QFile file(path);
        const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(32) : QByteArray();
        const QByteArray signature = header.mid(4, 15);
        if (signature == "Standard Jet DB" || signature == "Standard ACE DB")
            throw CorvaneError(
                QStringLiteral("数据库文件是 Access 格式，本程序不能读取，请使用 SQLite 数据库:") + path);
        throw CorvaneError(QStringLiteral("不是有效的数据库文件:") + path);
    }
    // A database of an earlier version gets its saved queries brought up to date, under the
    // write lock; another program holding it meanwhile leaves the database unopened.
    if (!UpgradeDatabase(*db))
        throw CorvaneError(QStringLiteral("数据库正被其他程序使用") + path);
    return db;
}
