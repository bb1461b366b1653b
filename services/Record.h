#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class Database;
enum class ColumnKind;

// The value a column of this kind stores for a text read from a file. A text column takes the
// text (a missing element's null text as the empty text); empty into a number column is NULL;
// a text the column cannot take throws CorvaneError naming the column and the value.
QVariant ColumnValue(const QString& column, ColumnKind kind, const QString& text);

// The kind of a column of table (column in lower case); throws CorvaneError for a table or a
// column the database lacks.
ColumnKind KindOfColumn(Database& db, const QString& table, const QString& column);

// One row being written: found by its key or new. Assigned values are converted to the
// column's kind at once; Update() writes the accepted columns. Every value is bound.
class Record
{
public:
    // The first row of table whose keyColumn equals key, or a new row with the key set. When
    // several rows have the key, only the first (in table order) is ever edited.
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

    // Saves the assigned columns: inserts a new row, updates the row found, or, when the key is
    // unique, upserts in one statement. Throws CorvaneError with the engine's description.
    void Update();

private:
    Record(Database& db, const QString& table);
    // The kind of a column of the table; throws CorvaneError for a column it lacks.
    ColumnKind CheckColumn(const QString& column) const;
    void Assign(const QString& column, const QVariant& value);
    QVariant FirstRow() const; // the identity of the first row with the key, null when none
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
    QVariant m_row; // the identity of the row found, when the key is not unique
    bool m_isNew = true;
    bool m_upsert = false;              // the key is unique: Update() inserts or updates in one statement
    QHash<QString, ColumnKind> m_kinds; // of the table's columns
    QStringList m_columns;              // assigned, in order of first assignment
    QVector<QVariant> m_values;
};
