#include "reports/ReportRows.h"

#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace
{
QSqlQuery& Run(Database& db, const QString& sql, const QVariantList& values)
{
    try
    {
        return db.Execute(sql, values);
    }
    catch (const CorvaneError& error)
    {
        throw CorvaneError(QStringLiteral("查询失败:") + error.Message() + QStringLiteral("\n") + sql);
    }
}
} // namespace

ReportRows::ReportRows(Database& db, const QString& sql, const QVariantList& values)
    : m_query(Run(db, sql, values)), m_sql(sql)
{
}

ReportRows::~ReportRows()
{
    m_query.finish();
}

bool ReportRows::Next()
{
    if (m_query.next())
        return true;
    if (m_query.lastError().isValid())
        throw CorvaneError(QStringLiteral("查询失败:") + DescribeSqlError(m_query) + QStringLiteral("\n") +
                           m_sql);
    return false;
}

int ReportRows::Field(const QString& name) const
{
    const int index = m_query.record().indexOf(name);
    if (index < 0)
        throw CorvaneError(QStringLiteral("查询结果中没有字段") + name + QStringLiteral("\n") + m_sql);
    return index;
}

QVariant ReportRows::Value(int field) const
{
    return m_query.value(field);
}
