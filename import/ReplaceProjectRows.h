#pragma once

#include "import/SectionGuard.h"

#include <QString>

#include <span>

class Database;
struct XmlNode;

// One of the fixed rows a project keeps in a detail table: its code (a plan year, a budget
// item) and the two amounts copied from the file.
struct FixedRow
{
    QString code;
    FieldMapping first;
    FieldMapping second;
};

// Replaces the rows of the project guard.Id() in table: deletes them, then adds one row per
// fixed row, in order, with projectid, codeColumn = the code text and the two copies (every row
// copies into the same two columns). The delete and the additions are one unit: when the delete
// or an addition fails, the project keeps exactly its old rows. A copy the column refuses is
// reported and leaves that column empty in its row; the rows are still written.
// Returns guard.Result().
bool ReplaceProjectRows(Database& db, const XmlNode& root, const QString& table, const QString& codeColumn,
                        std::span<const FixedRow> rows, SectionGuard& guard);

// The absolute paths of the rows' copies, in order.
QStringList PathsOf(std::span<const FixedRow> rows);
