#pragma once

// What the source files of Database share and its callers need not see.

#include <QString>

class QSqlError;

// The engine's description of an error, or a general one when it gives none.
QString DescribeError(const QSqlError& error);

// What went wrong with the database file itself, in the operator's words and with what to do
// about it; empty for a failure of one statement. code: SQLite's primary result code.
QString DescribeFileFailure(int code, const QString& database);

// A statement given more or fewer values than it takes: a fault of the caller.
QString DescribeParameterCount(qsizetype wanted, qsizetype given, const QString& sql);

// Qt binds a positional value by first formatting a placeholder name for it, which costs more
// than the engine's work on a short insert. Statements are therefore prepared with named
// placeholders: each "?" outside quotes becomes ":p0", ":p1", ...; count: how many.
QString NamePlaceholders(const QString& sql, qsizetype& count);
