#pragma once

#include <QSet>
#include <QString>
#include <QVector>

class Database;
class MessageSink;

// A dictionary table in memory: rows 1..N of (code, name) in the table's order, row 0 empty.
// A table without records gives an unallocated dictionary (no rows at all).
struct Dictionary
{
    QString table;
    QVector<QPair<QString, QString>> rows; // row 0 is ("", "") when allocated
    QSet<QString> codes;                   // the codes of all rows, "" included

    bool IsAllocated() const { return !rows.isEmpty(); }
};

// Reads the whole table. An empty table shows "no record" and yields an unallocated
// dictionary. Throws CorvaneError when the table or a field is missing.
Dictionary LoadDictionary(Database& db, const QString& table, const QString& codeField,
                          const QString& nameField, MessageSink& sink);

// True when the text equals a code of the dictionary, exactly and case-sensitively; the empty
// text is always a code. Throws CorvaneError naming the table when the dictionary is unallocated.
bool IsDictionaryCode(const QString& text, const Dictionary& dictionary);
