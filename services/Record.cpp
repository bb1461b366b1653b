#include "services/Record.h"

#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QSqlRecord>

#include <charconv>
#include <cmath>

namespace
{
QString Refusal(const QString& column, const QString& text, const QString& expected)
{
    return QStringLiteral("字段%1不能接受值\"%2\"(应为%3)").arg(column, text, expected);
}
// Report files hold plain decimals; reading them without Qt's locale-aware conversion saves most
// of the cost of a copy. Anything else is left to QString, so the accepted forms stay the same.
template <typename Number> bool ReadPlainNumber(const QString& text, Number& value)
{
    char buffer[40];
    if (text.size() >= qsizetype(sizeof buffer))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        const char16_t c = text[i].unicode();
        if (c > 0x7f)
            return false;
        buffer[i] = char(c);
    }
    const char* end = buffer + text.size();
    const auto [stop, error] = std::from_chars(buffer, end, value);
    return error == std::errc() && stop == end;
}

qlonglong ReadInteger(const QString& text, bool& ok)
{
    qlonglong value = 0;
    ok = ReadPlainNumber(text, value);
    return ok ? value : text.toLongLong(&ok);
}

double ReadReal(const QString& text, bool& ok)
{
    double value = 0;
    ok = ReadPlainNumber(text, value);
    return ok ? value : text.toDouble(&ok);
}
// Column names are nearly always given in lower case already: sharing them spares a copy per value.
QString LowerName(const QString& column)
{
    for (const QChar c : column)
        if (c.unicode() > 0x7f || (c >= u'A' && c <= u'Z'))
            return column.toLower();
    return column;
}
} // namespace

QVariant ColumnValue(const QString& column, ColumnKind kind, const QString& text)
{
    if (kind == ColumnKind::Text)
        return text.isNull() ? QStringLiteral("") : text;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QVariant(kind == ColumnKind::Integer ? QMetaType(QMetaType::LongLong)
                                                    : QMetaType(QMetaType::Double));
    bool ok = false;
    if (kind == ColumnKind::Integer)
    {
        qlonglong whole = ReadInteger(trimmed, ok);
        if (!ok)
        {
            // "12.0" is a whole number written by a spreadsheet; "12.5" is not.
            const double number = ReadReal(trimmed, ok);
            ok = ok && std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 9.0e15;
            whole = ok ? qlonglong(number) : 0;
        }
        if (!ok)
            throw ValueRefused(Refusal(column, text, QStringLiteral("整数")), text, QStringLiteral("整数"));
        return whole;
    }
    const double number = ReadReal(trimmed, ok);
    if (!ok || !std::isfinite(number))
        throw ValueRefused(Refusal(column, text, QStringLiteral("数字")), text, QStringLiteral("数字"));
    return number;
}

ColumnKind KindOfColumn(Database& db, const QString& table, const QString& column)
{
    const QHash<QString, ColumnKind>& kinds = db.Columns(table);
    auto found = kinds.constFind(column);
    if (found == kinds.constEnd())
        throw CorvaneError(QStringLiteral("表%1中没有字段%2").arg(table, column));
    return *found;
}

Record::Record(Database& db, const QString& table) : m_db(&db), m_table(table), m_kinds(db.Columns(table))
{
    m_columns.reserve(m_kinds.size());
    m_values.reserve(m_kinds.size());
}

Record Record::FindOrAdd(Database& db, const QString& table, const QString& keyColumn, const QString& key)
{
    Record record(db, table);
    record.m_keyColumn = LowerName(keyColumn);
    record.CheckColumn(record.m_keyColumn);
    // A file without an id reads it as a null text; its row is the one whose key is empty.
    record.m_key = key.isNull() ? QStringLiteral("") : key;
    if (db.HasUniqueKey(table, record.m_keyColumn))
    {
        // Whether the row exists is left to the engine at Update(): one statement instead of two.
        record.m_upsert = true;
        record.Assign(record.m_keyColumn, record.m_key);
        return record;
    }
    record.m_row = record.FirstRow();
    record.m_isNew = record.m_row.isNull();
    if (record.m_isNew)
        record.SetValue(record.m_keyColumn, record.m_key);
    return record;
}

QVariant Record::FirstRow() const
{
    const QString identity = m_db->RowIdentity();
    QSqlQuery& query =
        m_db->Execute(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %1 LIMIT 1")
                          .arg(identity, m_db->QuoteName(m_table), m_db->QuoteName(m_keyColumn)),
                      {m_key});
    const QVariant row = query.next() ? query.value(0) : QVariant();
    query.finish();
    return row;
}

Record Record::AddNew(Database& db, const QString& table)
{
    return Record(db, table); // an unknown table fails here, not at the first assignment
}

ColumnKind Record::CheckColumn(const QString& column) const
{
    auto found = m_kinds.constFind(column);
    if (found == m_kinds.constEnd())
        throw CorvaneError(QStringLiteral("表%1中没有字段%2").arg(m_table, column));
    return *found;
}

void Record::SetText(const QString& column, const QString& text)
{
    const QString name = LowerName(column);
    Assign(name, ColumnValue(name, CheckColumn(name), text));
}

void Record::SetValue(const QString& column, const QVariant& value)
{
    const QString name = LowerName(column);
    CheckColumn(name);
    Assign(name, value);
}

void Record::Assign(const QString& column, const QVariant& value)
{
    for (qsizetype i = 0; i < m_columns.size(); ++i)
    {
        const QString& known = m_columns[i];
        if (known.size() == column.size() && (known.constData() == column.constData() || known == column))
        {
            m_values[i] = value;
            return;
        }
    }
    m_columns.append(column);
    m_values.append(value);
}

QVariant Record::Value(const QString& column) const
{
    const qsizetype index = m_columns.indexOf(LowerName(column));
    return index >= 0 ? m_values[index] : QVariant();
}

QString Record::StatementText(Mode mode) const
{
    const QLatin1Char comma(',');
    QString sql;
    sql.reserve(48 + 40 * m_columns.size());
    if (mode == Mode::Update)
    {
        sql += QStringLiteral("UPDATE ") + m_db->QuoteName(m_table) + QStringLiteral(" SET ");
        for (qsizetype i = 0; i < m_columns.size(); ++i)
        {
            if (i > 0)
                sql += comma;
            sql += m_db->QuoteName(m_columns[i]) + QStringLiteral(" = ?");
        }
        // Only the row found: others with the same key stay as they are.
        sql += QStringLiteral(" WHERE ") + m_db->RowIdentity() + QStringLiteral(" = ?");
        return sql;
    }
    sql += QStringLiteral("INSERT INTO ") + m_db->QuoteName(m_table);
    if (m_columns.isEmpty())
        return sql + QStringLiteral(" DEFAULT VALUES");
    sql += QStringLiteral(" (");
    for (qsizetype i = 0; i < m_columns.size(); ++i)
    {
        if (i > 0)
            sql += comma;
        sql += m_db->QuoteName(m_columns[i]);
    }
    sql += QStringLiteral(") VALUES (?");
    for (qsizetype i = 1; i < m_columns.size(); ++i)
        sql += QStringLiteral(",?");
    sql += QLatin1Char(')');
    if (mode == Mode::Insert)
        return sql;
    // The key is the first column assigned; the others replace those of an existing row.
    sql += QStringLiteral(" ON CONFLICT(") + m_db->QuoteName(m_keyColumn) + QLatin1Char(')');
    if (m_columns.size() == 1)
        return sql + QStringLiteral(" DO NOTHING");
    sql += QStringLiteral(" DO UPDATE SET ");
    for (qsizetype i = 1; i < m_columns.size(); ++i)
    {
        if (i > 1)
            sql += comma;
        const QString name = m_db->QuoteName(m_columns[i]);
        sql += name + QStringLiteral(" = excluded.") + name;
    }
    return sql;
}

void Record::Update()
{
    const Mode mode = m_upsert ? Mode::Upsert : m_isNew ? Mode::Insert : Mode::Update;
    if (mode == Mode::Update && m_columns.isEmpty())
        return;
    // Every row of a batch has the same columns: the long text is built once per layout.
    QString layout;
    layout.reserve(m_table.size() + m_keyColumn.size() + 2 + 20 * m_columns.size());
    layout += m_table;
    layout += QLatin1Char(char('0' + int(mode)));
    layout += m_keyColumn;
    for (const QString& column : m_columns)
    {
        layout += QLatin1Char(',');
        layout += column;
    }
    const QString& sql = m_db->StatementText(layout, [&] { return StatementText(mode); });
    if (mode == Mode::Update)
    {
        QVariantList values = m_values;
        values.append(m_row);
        m_db->Run(sql, values);
        return;
    }
    m_db->Run(sql, m_values);
    if (mode == Mode::Insert && !m_keyColumn.isEmpty())
    {
        // A second Update() of the same record edits the row just written.
        m_row = FirstRow();
        m_isNew = false;
    }
}
