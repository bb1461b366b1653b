#include "services/Record.h"

#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QSqlRecord>

#include <cmath>

namespace
{
QString Refusal(const QString& column, const QString& text, const QString& expected)
{
    return QStringLiteral("字段%1不能接受值\"%2\"(应为%3)").arg(column, text, expected);
}
} // namespace

Record::Record(Database& db, const QString& table) : m_db(&db), m_table(table) {}

Record Record::FindOrAdd(Database& db, const QString& table, const QString& keyColumn, const QString& key)
{
    Record record(db, table);
    record.m_keyColumn = keyColumn.toLower();
    record.CheckColumn(record.m_keyColumn);
    record.m_key = key;
    const QString sql = QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ? LIMIT 1")
                            .arg(db.QuoteName(table), db.QuoteName(record.m_keyColumn));
    QSqlQuery& query = db.Execute(sql, {key});
    record.m_isNew = !query.next();
    query.finish();
    if (record.m_isNew)
        record.SetValue(record.m_keyColumn, key);
    return record;
}

Record Record::AddNew(Database& db, const QString& table)
{
    Record record(db, table);
    db.Columns(table); // an unknown table fails here, not at the first assignment
    return record;
}

void Record::CheckColumn(const QString& column) const
{
    if (!m_db->Columns(m_table).contains(column))
        throw CorvaneError(QStringLiteral("表%1中没有字段%2").arg(m_table, column));
}

void Record::SetText(const QString& column, const QString& text)
{
    const QString name = column.toLower();
    CheckColumn(name);
    const ColumnKind kind = m_db->Columns(m_table).value(name);
    if (kind == ColumnKind::Text)
    {
        SetValue(name, text);
        return;
    }
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
    {
        SetValue(name, QVariant(kind == ColumnKind::Integer ? QMetaType(QMetaType::LongLong)
                                                            : QMetaType(QMetaType::Double)));
        return;
    }
    bool ok = false;
    if (kind == ColumnKind::Integer)
    {
        qlonglong whole = trimmed.toLongLong(&ok);
        if (!ok)
        {
            // "12.0" is a whole number written by a spreadsheet; "12.5" is not.
            const double number = trimmed.toDouble(&ok);
            ok = ok && std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 9.0e15;
            whole = ok ? qlonglong(number) : 0;
        }
        if (!ok)
            throw CorvaneError(Refusal(name, text, QStringLiteral("整数")));
        SetValue(name, whole);
        return;
    }
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        throw CorvaneError(Refusal(name, text, QStringLiteral("数字")));
    SetValue(name, number);
}

void Record::SetValue(const QString& column, const QVariant& value)
{
    const QString name = column.toLower();
    CheckColumn(name);
    const qsizetype index = m_columns.indexOf(name);
    if (index >= 0)
    {
        m_values[index] = value;
        return;
    }
    m_columns.append(name);
    m_values.append(value);
}

QVariant Record::Value(const QString& column) const
{
    const qsizetype index = m_columns.indexOf(column.toLower());
    return index >= 0 ? m_values[index] : QVariant();
}

void Record::Update()
{
    QStringList names;
    for (const QString& column : m_columns)
        names.append(m_db->QuoteName(column));
    QVariantList values(m_values.begin(), m_values.end());
    QString sql;
    if (m_isNew)
    {
        if (names.isEmpty())
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_db->QuoteName(m_table));
        else
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(m_db->QuoteName(m_table), names.join(QLatin1Char(',')),
                           QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')));
    }
    else
    {
        if (names.isEmpty())
            return;
        sql = QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                  .arg(m_db->QuoteName(m_table), names.join(QStringLiteral(" = ?, ")),
                       m_db->QuoteName(m_keyColumn));
        values.append(m_key);
    }
    m_db->Execute(sql, values).finish();
    if (m_isNew && !m_keyColumn.isEmpty())
        m_isNew = false; // a second Update() of the same record edits the row just added
}
