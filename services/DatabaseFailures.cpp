// How a failure of the database reads, what kind it is, and the one path that records and throws it.

#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/DatabaseInternals.h"

#include <QSqlDriver>
#include <QSqlError>

#include <sqlite3.h>

namespace
{
// The same text Qt SQL would give for the engine's error.
QString NativeError(sqlite3* db)
{
    const QString text = QString::fromUtf8(sqlite3_errmsg(db)).trimmed();
    return text.isEmpty() ? QStringLiteral("数据库操作失败") : text;
}

// Failures after which every later write fails too: the batch stops rather than repeat them.
bool LeavesFileUnusable(int code)
{
    return code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_CORRUPT ||
           code == SQLITE_NOTADB || code == SQLITE_FULL || code == SQLITE_IOERR;
}
} // namespace

QString DescribeError(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("数据库操作失败") : text;
}

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

QString DescribeParameterCount(qsizetype wanted, qsizetype given, const QString& sql)
{
    return QStringLiteral("语句需要%1个参数，给出%2个:%3").arg(wanted).arg(given).arg(sql.left(80));
}

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

void Database::Fail(const QString& description, const QString& context)
{
    m_lastFailure = description;
    throw CorvaneError(description + context);
}

void Database::Fail(const QSqlError& error, const QString& context)
{
    Fail(NoteFailure(error), context);
}

QString Database::NoteFailure(const QSqlError& error)
{
    if (m_engine == Engine::SQLite)
        return NoteSqliteFailure(error.nativeErrorCode().toInt() & 0xff, DescribeError(error));
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
    return DescribeError(error);
}

QString Database::NoteSqliteFailure(int code, const QString& description)
{
    m_lastCode = code;
    m_unusable = m_unusable || LeavesFileUnusable(code);
    const QString own = DescribeFileFailure(code, m_shownName);
    return own.isEmpty() ? description : own;
}

QString Database::NoteNativeFailure()
{
    return NoteSqliteFailure(sqlite3_extended_errcode(m_native) & 0xff, NativeError(m_native));
}
