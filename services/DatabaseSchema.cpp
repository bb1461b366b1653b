// What the database says about its tables, asked once per connection and kept.

#include "services/Database.h"

#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>

namespace
{
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
} // namespace

const QHash<QString, ColumnKind>& Database::Columns(const QString& table)
{
    auto found = m_columns.constFind(table);
    if (found != m_columns.constEnd())
        return *found;
    const QSqlRecord record = m_db.record(table);
    if (record.isEmpty())
        Fail(QStringLiteral("数据库中没有表") + table);
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

QString Database::RowIdentity() const
{
    return m_engine == Engine::PostgreSQL ? QStringLiteral("ctid") : QStringLiteral("rowid");
}
