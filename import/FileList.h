#pragma once

#include <QString>
#include <QStringList>

// The files of one batch, as the open-file dialog gives them: one folder and the chosen names.
struct FileList
{
    QString folder; // may be empty and may lack the trailing "/"
    QStringList names;
};

// Builds the file list of a command line: either one folder (every file with the extension in
// it, sorted by name) or files of one folder, in the order given. A path that does not exist is
// kept: the batch reports it. Returns false with a usage problem when files come from several
// folders or a folder stands among files.
bool FileListFromArguments(const QStringList& arguments, const QString& extension, FileList& files,
                           QString& problem);

// The companion of a file name: up to and including its last "." followed by "htm"; empty for a
// name without ".".
QString CompanionName(const QString& name);
