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
    // Known to name distinct files: a folder's listing in which no name is a link.
    bool distinct = false;
    // Folder mode: why the folder could not be listed, naming it; the list is then not to be
    // imported.
    QString problem = {};
};

// Every file of a folder with the extension (compared without case), sorted by name; the entries
// that cannot be read go to unreadable. A folder that cannot be listed (no permission, not a
// folder) sets problem: "无法读取文件夹" + the folder, a line break and why.
FileList FileListOfFolder(const QString& folder, const QString& extension);

// The files chosen in the open-file dialog (paths, all in one folder) as the file list of a
// batch: the folder, ending in "/", and the bare names in the order chosen. A name without a
// folder gives the folder "". Returns false with a problem to show when the paths lie in
// several folders.
bool FileListFromSelection(const QStringList& paths, FileList& files, QString& problem);

// The names without the later ones that name a file already listed (the same file under
// another spelling or through a link); the list itself when there are none.
QStringList DistinctFiles(const QString& folder, const QStringList& names);

// The companion of a file name: up to and including its last "." followed by "htm"; empty for a
// name without ".".
QString CompanionName(const QString& name);
