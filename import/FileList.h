#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A folder entry that the batch cannot read: its name as the system shows it, and why.
struct UnreadableFile
{
    QString name;
    QString reason;
};

// The files of one batch, as the open-file dialog gives them: one folder and the chosen names.
struct FileList
{
    QString folder; // may be empty and may lack the trailing "/"
    QStringList names;
    // Folder mode only: entries with the extension that cannot be read (a name that does not
    // decode, a dangling link, a FIFO or device). The batch reports each one.
    QList<UnreadableFile> unreadable = {};
};

// Builds the file list of a command line: either one folder (every file with the extension in
// it, sorted by name) or files of one folder, in the order given. A path that does not exist is
// kept: the batch reports it. Returns false with a usage problem when files come from several
// folders or a folder stands among files.
bool FileListFromArguments(const QStringList& arguments, const QString& extension, FileList& files,
                           QString& problem);

// The names without the later ones that name a file already listed (the same file under
// another spelling or through a link); the list itself when there are none.
QStringList DistinctFiles(const QString& folder, const QStringList& names);

// The companion of a file name: up to and including its last "." followed by "htm"; empty for a
// name without ".".
QString CompanionName(const QString& name);
