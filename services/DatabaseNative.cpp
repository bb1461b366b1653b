// The short statements of an import on SQLite, run on the engine's own handle: Qt's binding layer
// costs more than the engine's work on a short insert.

#include "services/Database.h"
#include "services/DatabaseInternals.h"

#include <QStringEncoder>

#include <sqlite3.h>

namespace
{
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
} // namespace

void Database::Run(const QString& sql, std::span<const QVariant> values)
{
    if (m_native)
    {
        RunNative(sql, values);
        return;
    }
    Execute(sql, QVariantList(values.begin(), values.end())).finish();
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
        Fail(description);
    }
    sqlite3_reset(statement);
    return result == SQLITE_ROW;
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
        Fail(description);
    }
    return *m_nativeStatements.insert(sql, statement);
}

sqlite3_stmt* Database::BoundStatement(const QString& sql, std::span<const QVariant> values)
{
    sqlite3_stmt* statement = NativeStatement(sql);
    const int parameters = sqlite3_bind_parameter_count(statement);
    if (qsizetype(values.size()) != parameters)
        Fail(DescribeParameterCount(parameters, qsizetype(values.size()), sql));
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
            Fail(description);
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
        Fail(description);
    }
    sqlite3_reset(statement);
}
