#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class Database;
enum class ColumnKind;

// One row being written: found by its key or new. Assigned values are converted to the
// column's kind at once; Update() writes the accepted columns. Every value is bound.
class Record
{
public:
    // The first row of table whose keyColumn equals key, or a new row with the key set.
    // Throws CorvaneError when the table cannot be read.
    static Record FindOrAdd(Database& db, const QString& table, const QString& keyColumn, const QString& key);
    // A new row with nothing assigned yet.
    static Record AddNew(Database& db, const QString& table);

    const QString& Table() const { return m_table; }

    // Assigns a text. Empty into a non-text column stores NULL; a text the column cannot take
    // is refused with a CorvaneError naming the column and the value, and the column keeps
    // its value.
    void SetText(const QString& column, const QString& text);
    // Assigns a value as it is (a default number stays a number).
    void SetValue(const QString& column, const QVariant& value);
    QVariant Value(const QString& column) const;

    // Inserts the new row or updates the found one with the assigned columns.
    // Throws CorvaneError with the engine's description.
    void Update();

private:
    Record(Database& db, const QString& table);
    // The kind of a column of the table; throws CorvaneError for a column it lacks.
    ColumnKind CheckColumn(const QString& column) const;
    void Assign(const QString& column, const QVariant& value);
    bool RowExists() const;
    enum class Mode
    {
        Insert,
        Update,
        Upsert,
    };
    QString StatementText(Mode mode) const;

    Database* m_db;
    QString m_table;
    QString m_keyColumn;
    QVariant m_key;
    bool m_isNew = true;
    bool m_upsert = false;              // the key is unique: Update() inserts or updates in one statement
    QHash<QString, ColumnKind> m_kinds; // of the table's columns
    QStringList m_columns;              // assigned, in order of first assignment
    QVector<QVariant> m_values;
};
