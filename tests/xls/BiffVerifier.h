#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Re-parses the Workbook stream of a saved file and checks the rules that the lenient readers do
// not: record sizes, BOUNDSHEET, EXTSST and INDEX positions, the CONTINUE rules of the shared
// strings, sorted and unique cells, a ROW for every row with cells and wide enough for them,
// one INDEX and one DIMENSIONS per sheet, DIMENSIONS covering every cell, DBCELL offsets, XF and
// string indices in range, RECALCID 0.
// Returns one line per broken rule; empty when the file is sound.
QStringList VerifyWorkbookStructure(const QString& path);

// The same checks on a Workbook stream.
QStringList VerifyWorkbookStream(const QByteArray& stream);
