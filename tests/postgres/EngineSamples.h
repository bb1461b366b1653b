#pragma once

#include "import/FileList.h"
#include "services/Settings.h"

#include <QString>
#include <QStringList>

#include <string>

// Copies the files of folder with the extension into the import folder of settings and returns
// them as a batch's file list (sorted by name).
FileList CopyBatch(const QString& folder, const QString& extension, const QStringList& only,
                   const Settings& settings);

// Every row of every store table, each rendered as one line, the tables in store order and each
// table's rows sorted, so two engines' contents compare as lists.
QStringList TableContents(const Settings& settings);

// Every cell of every sheet of a saved workbook that is not empty, as "sheet!col,row=text".
QStringList WorkbookCells(const QString& path);

// Copies the two template workbooks into AppFolder.
void CopyTemplates(const Settings& settings);

// The lines only one of two lists holds, at most ten of each, for a failure message.
std::string Differences(const QStringList& expected, const QStringList& actual);

// A list as one text, so that a failure shows its lines.
inline std::string Joined(const QStringList& lines)
{
    return lines.join(QLatin1Char('\n')).toStdString();
}
