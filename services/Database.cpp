#include "services/Database.h"

#include "services/CorvaneError.h"
#include "store/Store.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QStringEncoder>
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

ColumnKind KindOf(const QSqlField& field)
{
    switch (field.metaType().id())
    {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool:
        return ColumnKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return ColumnKind::Real;
    default:
        return ColumnKind::Text;
    }
}

// Qt binds a positional value by first formatting a placeholder name for it, which costs more
// than the engine's work on a short insert. Statements are therefore prepared with named
// placeholders (":p0", ":p1", ...), each "?" outside quotes renamed, and bound by name.
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

// The server's form: "$1", "$2", ... for each "?" outside quotes.
QString NumberPlaceholders(const QString& sql, qsizetype& count)
{
    QString numbered = NamePlaceholders(sql, count);
    for (qsizetype i = count - 1; i >= 0; --i)
        numbered.replace(QStringLiteral(":p") + QString::number(i),
                         QLatin1Char('$') + QString::number(i + 1));
    return numbered;
}

const QString& PlaceholderName(qsizetype index)
{
    thread_local QStringList names;
    while (names.size() <= index)
        names.append(QStringLiteral(":p") + QString::number(names.size()));
    return names[index];
}

// The same text Qt SQL would give for the engine's error.
QString NativeError(sqlite3* db)
{
    const QString text = QString::fromUtf8(sqlite3_errmsg(db)).trimmed();
    return text.isEmpty() ? QStringLiteral("数据库操作失败") : text;
}

// text: the value's UTF-8 form when it is a text, else null.
int BindNative(sqlite3_stmt* statement, int index, const QVariant& value, const char* text,
               qsizetype textSize)
{
    // As Qt SQL binds them: a null of any kind and a null text are NULL.
    if (value.isNull())
        return sqlite3_bind_null(statement, index);
    switch (value.metaType().id())
    {
    case QMetaType::QString:
    {
        if (!text)
            return sqlite3_bind_null(statement, index);
        // The database holds UTF-8: a UTF-16 text would be converted again at every use. The
        // buffer outlives the step, so the engine need not copy it.
        return sqlite3_bind_text(statement, index, text, int(textSize), SQLITE_STATIC);
    }
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        return sqlite3_bind_int64(statement, index, value.toLongLong());
    case QMetaType::ULongLong:
        return sqlite3_bind_int64(statement, index, qint64(value.toULongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(statement, index, value.toDouble());
    case QMetaType::QByteArray:
    {
        const QByteArray* bytes = static_cast<const QByteArray*>(value.constData());
        return sqlite3_bind_blob(statement, index, bytes->constData(), int(bytes->size()), SQLITE_STATIC);
    }
    default:
        return sqlite3_bind_text16(statement, index, value.toString().constData(), -1, SQLITE_TRANSIENT);
    }
}

QString DescribeError(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("数据库操作失败") : text;
}

// What went wrong with the database file itself, in the operator's words and with what to do
// about it; empty for a failure of one statement.
QString DescribeFileFailure(int code, const QString& database)
{
    switch (code)
    {
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件只读，无法写入:") + database +
               QStringLiteral("\n请确认该文件和它所在的文件夹允许写入");
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开数据库文件:") + database +
               QStringLiteral("\n请确认该文件和它所在的文件夹都在，且允许本程序读写");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("数据库文件已损坏:") + database + QStringLiteral("\n请换用备份的数据库文件");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库正被其他程序使用") + database +
               QStringLiteral("\n请等其他程序完成后再试");
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，无法写入数据库:") + database +
               QStringLiteral("\n请腾出磁盘空间后再试");
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库文件出错:") + database + QStringLiteral("\n请检查磁盘");
    default:
        return QString();
    }
}

// Failures after which every later write fails too: the batch stops rather than repeat them.
bool LeavesFileUnusable(int code)
{
    return code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_CORRUPT ||
           code == SQLITE_NOTADB || code == SQLITE_FULL || code == SQLITE_IOERR;
}
} // namespace

QString DescribeSqlError(const QSqlQuery& query)
{
    // A failure of the database file reads the same whichever statement met it.
    const QVariant handle = query.driver() ? query.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
    {
        sqlite3* native = *static_cast<sqlite3* const*>(handle.constData());
        const char* file = native ? sqlite3_db_filename(native, "main") : nullptr;
        const QString own = DescribeFileFailure(query.lastError().nativeErrorCode().toInt() & 0xff,
                                                QString::fromUtf8(file ? file : ""));
        if (!own.isEmpty())
            return own;
    }
    return DescribeError(query.lastError());
}

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
        throw CorvaneError(own.isEmpty() ? QStringLiteral("无法打开数据库") + target.shownName +
                                               QStringLiteral(":") + description
                                         : own);
    }
    const QVariant handle = m_db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_native = *static_cast<sqlite3* const*>(handle.constData());
}

QString Database::NoteFailure(const QSqlError& error)
{
    if (m_engine == Engine::SQLite)
        return NoteSqliteFailure(error.nativeErrorCode().toInt() & 0xff, DescribeError(error));
    {
        // Every error the server reports carries its SQLSTATE; one without comes from the client
        // library itself, which has lost the server. Class 40 ends a transaction because of
        // another one; 08 and 57P are a broken or shut-down connection.
        const QString state = error.nativeErrorCode();
        m_conflict = m_conflict || state == QLatin1String("40001") || state == QLatin1String("40P01");
        m_connectionLost = m_connectionLost || state.isEmpty() || state.startsWith(QLatin1String("08")) ||
                           state.startsWith(QLatin1String("57P"));
        // 53: out of disk or memory; 25006: a read-only server; XX001/XX002: damaged data.
        m_unusable = m_unusable || state.startsWith(QLatin1String("53")) || state == QLatin1String("25006") ||
                     state == QLatin1String("XX001") || state == QLatin1String("XX002");
    }
    m_lastFailure = DescribeError(error);
    return m_lastFailure;
}

QString Database::NoteSqliteFailure(int code, const QString& description)
{
    m_lastCode = code;
    m_unusable = m_unusable || LeavesFileUnusable(code);
    const QString own = DescribeFileFailure(code, m_shownName);
    m_lastFailure = own.isEmpty() ? description : own;
    return m_lastFailure;
}

QString Database::NoteNativeFailure()
{
    return NoteSqliteFailure(sqlite3_extended_errcode(m_native) & 0xff, NativeError(m_native));
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

Database::Statement& Database::PreparedStatement(const QString& sql)
{
    auto found = m_statements.find(sql);
    if (found != m_statements.end())
        return *found;
    qsizetype parameters = 0;
    auto query = std::make_unique<QSqlQuery>(m_db);
    query->setForwardOnly(true);
    if (m_engine == Engine::PostgreSQL)
    {
        // Prepared on the server under a name of ours, as the driver would, so that transaction
        // control held back can travel in the same round trip as the statement's execution.
        const QString name = QStringLiteral("corvane_%1").arg(m_statements.size());
        const QString numbered = NumberPlaceholders(sql, parameters);
        if (!query->exec(std::exchange(m_heldControl, QString()) + QStringLiteral("PREPARE ") + name +
                         QStringLiteral(" AS ") + numbered))
            throw CorvaneError(NoteFailure(query->lastError()));
        return *m_statements.insert(sql, Statement{query.release(), parameters, name});
    }
    const QString named = NamePlaceholders(sql, parameters);
    if (!query->prepare(named))
        throw CorvaneError(NoteFailure(query->lastError()));
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
        throw CorvaneError(QStringLiteral("语句需要%1个参数，给出%2个:%3")
                               .arg(statement.parameters)
                               .arg(values.size())
                               .arg(sql.left(80)));
    bool done = false;
    if (m_engine == Engine::PostgreSQL)
    {
        // The values are written by the driver's own formatting, exactly as its prepared
        // statements send them: escaped literals in the parameter list of EXECUTE.
        QString text = std::exchange(m_heldControl, QString());
        const bool combined = !text.isEmpty();
        text += ExecuteText(statement, values);
        // Several statements in one text come back as the last one's result, whole.
        query.setForwardOnly(!combined);
        done = query.exec(text);
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
        throw CorvaneError(description);
    }
    return query;
}

QString Database::ExecuteText(const Statement& statement, const QVariantList& values) const
{
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

void Database::Run(const QString& sql, std::span<const QVariant> values)
{
    if (m_native)
    {
        RunNative(sql, values);
        return;
    }
    Execute(sql, QVariantList(values.begin(), values.end())).finish();
}

sqlite3_stmt* Database::NativeStatement(const QString& sql)
{
    auto found = m_nativeStatements.constFind(sql);
    if (found != m_nativeStatements.constEnd())
        return *found;
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(m_native, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement, nullptr) != SQLITE_OK)
    {
        const QString description = NoteNativeFailure();
        sqlite3_finalize(statement);
        throw CorvaneError(description);
    }
    return *m_nativeStatements.insert(sql, statement);
}

sqlite3_stmt* Database::BoundStatement(const QString& sql, std::span<const QVariant> values)
{
    sqlite3_stmt* statement = NativeStatement(sql);
    const int parameters = sqlite3_bind_parameter_count(statement);
    if (qsizetype(values.size()) != parameters)
        throw CorvaneError(QStringLiteral("语句需要%1个参数，给出%2个:%3")
                               .arg(parameters)
                               .arg(values.size())
                               .arg(sql.left(80)));
    // Every text into one buffer first: binding points into it, so it must not grow meanwhile.
    m_utf8.clear();
    m_utf8Ends.assign(std::size_t(parameters), 0);
    for (int i = 0; i < parameters; ++i)
    {
        const QVariant& value = values[std::size_t(i)];
        if (value.metaType().id() != QMetaType::QString || value.isNull())
            continue;
        const QString& text = *static_cast<const QString*>(value.constData());
        if (text.isNull())
            continue;
        const std::size_t start = m_utf8.size();
        m_utf8.resize(start + std::size_t(text.size()) * 3 + 1);
        QStringEncoder encoder(QStringEncoder::Utf8);
        char* end = encoder.appendToBuffer(m_utf8.data() + start, text);
        m_utf8.resize(std::size_t(end - m_utf8.data()) + 1); // the final byte keeps "" apart from null
        m_utf8Ends[std::size_t(i)] = m_utf8.size();
    }
    std::size_t start = 0;
    for (int i = 0; i < parameters; ++i)
    {
        const std::size_t end = m_utf8Ends[std::size_t(i)];
        const char* text = end ? m_utf8.data() + start : nullptr;
        const qsizetype size = end ? qsizetype(end - start - 1) : 0;
        if (end)
            start = end;
        if (BindNative(statement, i + 1, values[std::size_t(i)], text, size) != SQLITE_OK)
        {
            const QString description = NoteNativeFailure();
            sqlite3_reset(statement);
            throw CorvaneError(description);
        }
    }
    return statement;
}

void Database::RunNative(const QString& sql, std::span<const QVariant> values)
{
    sqlite3_stmt* statement = BoundStatement(sql, values);
    int result = sqlite3_step(statement);
    while (result == SQLITE_ROW)
        result = sqlite3_step(statement);
    if (result != SQLITE_DONE)
    {
        const QString description = NoteNativeFailure();
        sqlite3_reset(statement);
        throw CorvaneError(description);
    }
    sqlite3_reset(statement);
}

bool Database::HasRow(const QString& sql, std::span<const QVariant> values)
{
    if (!m_native)
    {
        QSqlQuery& query = Execute(sql, QVariantList(values.begin(), values.end()));
        const bool found = query.next();
        query.finish();
        return found;
    }
    sqlite3_stmt* statement = BoundStatement(sql, values);
    const int result = sqlite3_step(statement);
    if (result != SQLITE_ROW && result != SQLITE_DONE)
    {
        const QString description = NoteNativeFailure();
        sqlite3_reset(statement);
        throw CorvaneError(description);
    }
    sqlite3_reset(statement);
    return result == SQLITE_ROW;
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
            throw CorvaneError(NoteFailure(query.lastError()) + QStringLiteral(":") +
                               statement.trimmed().left(80));
    }
}

const QHash<QString, ColumnKind>& Database::Columns(const QString& table)
{
    auto found = m_columns.constFind(table);
    if (found != m_columns.constEnd())
        return *found;
    const QSqlRecord record = m_db.record(table);
    if (record.isEmpty())
        throw CorvaneError(QStringLiteral("数据库中没有表") + table);
    QHash<QString, ColumnKind> kinds;
    for (int i = 0; i < record.count(); ++i)
        kinds.insert(record.fieldName(i).toLower(), KindOf(record.field(i)));
    return *m_columns.insert(table, kinds);
}

QString Database::QuoteName(const QString& identifier) const
{
    // Every statement the record layer builds quotes its names again; the driver's quoting is slow.
    auto found = m_quotedNames.constFind(identifier);
    if (found != m_quotedNames.constEnd())
        return *found;
    return *m_quotedNames.insert(identifier,
                                 m_db.driver()->escapeIdentifier(identifier, QSqlDriver::TableName));
}

bool Database::HasUniqueKey(const QString& table, const QString& column)
{
    const QPair<QString, QString> key(table, column);
    auto found = m_uniqueKeys.constFind(key);
    if (found != m_uniqueKeys.constEnd())
        return *found;
    const QString sql =
        m_engine == Engine::PostgreSQL
            ? QStringLiteral("SELECT 1 FROM pg_index i JOIN pg_class t ON t.oid = i.indrelid "
                             "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = i.indkey[0] "
                             "WHERE t.relname = lower(?) AND pg_table_is_visible(t.oid) AND i.indisunique "
                             "AND i.indnatts = 1 AND i.indpred IS NULL AND i.indexprs IS NULL "
                             "AND a.attname = lower(?) LIMIT 1")
            : QStringLiteral("SELECT 1 FROM pragma_index_list(?) AS l WHERE l.\"unique\" = 1 "
                             "AND l.partial = 0 "
                             "AND (SELECT count(*) FROM pragma_index_xinfo(l.name) WHERE key = 1) = 1 "
                             "AND EXISTS (SELECT 1 FROM pragma_index_xinfo(l.name) AS x "
                             "WHERE x.key = 1 AND lower(x.name) = lower(?) AND x.coll = 'BINARY') "
                             "LIMIT 1");
    QSqlQuery& query = Execute(sql, {table, column});
    const bool unique = query.next();
    query.finish();
    m_uniqueKeys.insert(key, unique);
    return unique;
}

void Database::ExecuteControl(const QString& sql)
{
    // On SQLite through the statement cache: QSqlDatabase prepares BEGIN and COMMIT anew each time.
    if (m_engine == Engine::SQLite)
    {
        Run(sql);
        return;
    }
    // The server prepares no transaction control: these go as plain statements. A begin, a
    // savepoint or a release is held back and sent with the next statement (the first write, the
    // commit): each round trip to the server costs more than the work of a short statement.
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
        throw CorvaneError(NoteFailure(query.lastError()));
}

void Database::SendHeldControl()
{
    if (!m_heldControl.isEmpty())
    {
        QSqlQuery query(m_db);
        if (!query.exec(std::exchange(m_heldControl, QString())))
            throw CorvaneError(NoteFailure(query.lastError()));
    }
}

QString Database::RowIdentity() const
{
    return m_engine == Engine::PostgreSQL ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

bool Database::InTransaction() const
{
    return !m_native || sqlite3_get_autocommit(m_native) == 0;
}

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
    throw CorvaneError(NoteFailure(error));
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
        // WAL lets a commit per file cost little; NORMAL sync keeps the database consistent on a crash.
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
    if (!UpgradeDatabase(*db))
        throw CorvaneError(QStringLiteral("数据库正被其他程序使用") + path);
    return db;
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
