#include "services/Database.h"

#include "services/CorvaneError.h"

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

#include <sqlite3.h>

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
} // namespace

QString DescribeSqlError(const QSqlQuery& query)
{
    return DescribeError(query.lastError());
}

Database::Database(const QString& driver, const QString& databaseName, const QString& connectOptions)
    : m_name(NextConnectionName())
{
    m_db = QSqlDatabase::addDatabase(driver, m_name);
    m_db.setDatabaseName(databaseName);
    if (!connectOptions.isEmpty())
        m_db.setConnectOptions(connectOptions);
    if (!m_db.open())
    {
        const QString description = DescribeError(m_db.lastError());
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw CorvaneError(QStringLiteral("无法打开数据库") + databaseName + QStringLiteral(":") +
                           description);
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

Database::Statement& Database::PreparedStatement(const QString& sql)
{
    auto found = m_statements.find(sql);
    if (found != m_statements.end())
        return *found;
    qsizetype parameters = 0;
    const QString named = NamePlaceholders(sql, parameters);
    auto query = std::make_unique<QSqlQuery>(m_db);
    query->setForwardOnly(true);
    if (!query->prepare(named))
        throw CorvaneError(DescribeSqlError(*query));
    return *m_statements.insert(sql, Statement{query.release(), parameters});
}

QSqlQuery& Database::Prepared(const QString& sql)
{
    return *PreparedStatement(sql).query;
}

QSqlQuery& Database::Execute(const QString& sql, const QVariantList& values)
{
    Statement& statement = PreparedStatement(sql);
    QSqlQuery& query = *statement.query;
    if (values.size() != statement.parameters)
        throw CorvaneError(QStringLiteral("语句需要%1个参数，给出%2个:%3")
                               .arg(statement.parameters)
                               .arg(values.size())
                               .arg(sql.left(80)));
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(PlaceholderName(i), values[i]);
    if (!query.exec())
    {
        const QString description = DescribeSqlError(query);
        query.finish();
        throw CorvaneError(description);
    }
    return query;
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
        const QString description = NativeError(m_native);
        sqlite3_finalize(statement);
        throw CorvaneError(description);
    }
    return *m_nativeStatements.insert(sql, statement);
}

void Database::RunNative(const QString& sql, std::span<const QVariant> values)
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
            const QString description = NativeError(m_native);
            sqlite3_reset(statement);
            throw CorvaneError(description);
        }
    }
    int result = sqlite3_step(statement);
    while (result == SQLITE_ROW)
        result = sqlite3_step(statement);
    if (result != SQLITE_DONE)
    {
        const QString description = NativeError(m_native);
        sqlite3_reset(statement);
        throw CorvaneError(description);
    }
    sqlite3_reset(statement);
}

void Database::ExecuteScript(const QString& script)
{
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
            throw CorvaneError(DescribeSqlError(query) + QStringLiteral(":") + statement.trimmed().left(80));
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

// Through the statement cache: QSqlDatabase prepares BEGIN and COMMIT anew on every call.
bool Database::HasUniqueKey(const QString& table, const QString& column)
{
    const QPair<QString, QString> key(table, column);
    auto found = m_uniqueKeys.constFind(key);
    if (found != m_uniqueKeys.constEnd())
        return *found;
    QSqlQuery& query =
        Execute(QStringLiteral("SELECT 1 FROM pragma_index_list(?) AS l WHERE l.\"unique\" = 1 "
                               "AND l.partial = 0 "
                               "AND (SELECT count(*) FROM pragma_index_xinfo(l.name) WHERE key = 1) = 1 "
                               "AND EXISTS (SELECT 1 FROM pragma_index_xinfo(l.name) AS x "
                               "WHERE x.key = 1 AND lower(x.name) = lower(?) AND x.coll = 'BINARY') "
                               "LIMIT 1"),
                {table, column});
    const bool unique = query.next();
    query.finish();
    m_uniqueKeys.insert(key, unique);
    return unique;
}

QString Database::RowIdentity() const
{
    return m_db.driverName() == QLatin1String("QPSQL") ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

bool Database::InTransaction() const
{
    return !m_native || sqlite3_get_autocommit(m_native) == 0;
}

void Database::Begin()
{
    Run(QStringLiteral("BEGIN"));
}

bool Database::TryBeginWrite()
{
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
    if (code == 5 || code == 6)
        return false;
    throw CorvaneError(DescribeError(error));
}

void Database::Commit()
{
    Run(QStringLiteral("COMMIT"));
}

void Database::Rollback()
{
    try
    {
        Run(QStringLiteral("ROLLBACK"));
    }
    catch (const CorvaneError&)
    {
        // Nothing was open, or the engine already rolled back after a failed statement.
    }
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
    if (settings.DataSource.contains(QLatin1String("://")))
        throw CorvaneError(QStringLiteral("不支持的数据源:") + settings.DataSource);

    const QString path = DatabasePath(settings);
    QFileInfo info(path);
    if (!info.exists())
        throw CorvaneError(QStringLiteral("数据库文件不存在:") + path);
    if (!info.isFile())
        throw CorvaneError(QStringLiteral("不是有效的数据库文件:") + path);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CorvaneError(QStringLiteral("无法读取数据库文件:") + path);
    const QByteArray header = file.read(32);
    file.close();
    const QByteArray signature = header.mid(4, 15);
    if (signature == "Standard Jet DB" || signature == "Standard ACE DB")
        throw CorvaneError(QStringLiteral("数据库文件是 Access 格式，本程序不能读取，请使用 SQLite 数据库:") +
                           path);
    if (!header.startsWith(QByteArray("SQLite format 3\0", 16)))
        throw CorvaneError(QStringLiteral("不是有效的数据库文件:") + path);

    auto db = std::make_unique<Database>(QStringLiteral("QSQLITE"), path,
                                         QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    // WAL lets a commit per file cost little; NORMAL sync keeps the database consistent on a crash.
    db->Execute(QStringLiteral("PRAGMA journal_mode=WAL")).finish();
    db->Execute(QStringLiteral("PRAGMA synchronous=NORMAL")).finish();
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
    m_db.Run(QStringLiteral("SAVEPOINT ") + m_name);
}

Savepoint::~Savepoint()
{
    if (m_done)
        return;
    try
    {
        m_db.Run(QStringLiteral("ROLLBACK TO SAVEPOINT ") + m_name);
        m_db.Run(QStringLiteral("RELEASE SAVEPOINT ") + m_name);
    }
    catch (const CorvaneError&)
    {
        // The enclosing transaction's rollback undoes it all the same.
    }
}

void Savepoint::Release()
{
    m_db.Run(QStringLiteral("RELEASE SAVEPOINT ") + m_name);
    m_done = true;
}
