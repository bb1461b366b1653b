#pragma once

#include "import/FileList.h"

#include <QString>
#include <QStringList>

// The filter of the open-file dialog as the import buttons give it, "description|patterns|..."
// with patterns separated by ";", as Qt name filters "description (pattern pattern)". "*.*"
// becomes "*", so that names without a dot are listed too. A description that already ends in
// its own patterns in parentheses is not given them twice; a description without patterns
// lists every file.
QStringList NameFiltersFromFilter(const QString& filter);

// The files chosen in the open-file dialog (paths, all in one folder) as the file list of a
// batch: the folder, ending in "/", and the bare names in the order chosen. A name without a
// folder gives the folder "". Returns false with a problem to show when the paths lie in
// several folders.
bool FileListFromSelection(const QStringList& paths, FileList& files, QString& problem);
