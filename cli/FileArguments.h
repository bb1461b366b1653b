#pragma once

#include "import/FileList.h"

#include <QString>
#include <QStringList>

// Builds the file list of a command line: either one folder (every file with the extension in
// it, sorted by name) or files of one folder, in the order given. A path that does not exist is
// kept: the batch reports it. Returns false with a usage problem when nothing is given, files
// come from several folders or a folder stands among files.
bool FileListFromArguments(const QStringList& arguments, const QString& extension, FileList& files,
                           QString& problem);
