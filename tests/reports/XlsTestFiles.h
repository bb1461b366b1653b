#pragma once

#include <QByteArray>
#include <QString>
#include <map>

// Paths and compound-file helpers for the workbook tests.

// A file of tests/data/reports, of templates/, or of the build's program folder.
QString TestDataFile(const QString& name);
QString TemplateFile(const QString& name);

// The streams and storages of a compound file, by path ("Storage/Stream"). A storage's entry
// holds its 16-byte class id prefixed with "clsid:".
std::map<QString, QByteArray> ReadCompoundEntries(const QString& path);

// The Workbook stream of a compound file (name compared without case); empty when there is none.
QByteArray ReadWorkbookStream(const QString& path);

// Writes a compound file from entries as ReadCompoundEntries returns them.
void WriteCompoundEntries(const QString& path, const std::map<QString, QByteArray>& entries);
