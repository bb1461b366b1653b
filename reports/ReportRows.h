#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

class Database;
class QSqlQuery;

// The records of one report query, read forward once; fields are looked up by name once.
class ReportRows
{
public:
    // Runs the query. Throws CorvaneError "查询失败:" + the engine's description + the query.
    ReportRows(Database& db, const QString& sql, const QVariantList& values = {});
    ~ReportRows();
    ReportRows(const ReportRows&) = delete;
    ReportRows& operator=(const ReportRows&) = delete;

    bool Next();
    // The position of a field of the result; throws CorvaneError for a field the query lacks.
    int Field(const QString& name) const;
    QVariant Value(int field) const;
    QVariant Value(const QString& name) const { return Value(Field(name)); }

private:
    QSqlQuery& m_query;
    QString m_sql;
};
