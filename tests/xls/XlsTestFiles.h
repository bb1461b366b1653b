#pragma once

#include "xls/XlsWorkbook.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>

// Paths, compound-file helpers and a fixture for the workbook tests.

// A file of tests/data/xls, of templates/, or of the build's program folder.
QString TestDataFile(const QString& name);
QString TemplateFile(const QString& name);
// A file of tests/data/findings: inputs that once broke the program.
QString FindingFile(const QString& name);

// The message of the CorvaneError that action throws, or "(no error)".
QString ThrownMessage(const std::function<void()>& action);

// The streams and storages of a compound file, by path ("Storage/Stream"). A storage's entry
// holds its 16-byte class id prefixed with "clsid:".
std::map<QString, QByteArray> ReadCompoundEntries(const QString& path);

// The Workbook stream of a compound file (name compared without case); empty when there is none.
QByteArray ReadWorkbookStream(const QString& path);

// Writes a compound file from entries as ReadCompoundEntries returns them.
void WriteCompoundEntries(const QString& path, const std::map<QString, QByteArray>& entries);

// A workbook to fill and a temporary folder to save it in.
class WorkbookFill : public ::testing::Test
{
protected:
    // Opens path and returns its sheet.
    Worksheet& Open(const QString& path, int sheet = 0);
    // Saves into the folder as name, fails the test when the verifier finds a broken rule, reopens
    // the saved file and returns its sheet.
    Worksheet& SaveAndReopen(int sheet = 0, const QString& name = "filled.xls");

    QTemporaryDir m_dir;
    XlsWorkbook m_book;
};
