#pragma once

#include <QString>

// The program-wide folders and the database setting. Every folder value that is not empty
// ends in "/", so paths are built by joining folder and file name.
struct Settings
{
    QString AppFolder;  // holds config.pz and the template workbooks
    QString ImportPath; // where the import file dialog starts
    QString LocalPath;  // database, moved import files, output workbooks
    QString DataSource; // empty: LocalPath + "wenwu.mdb"; else an SQLite file or a server URI
};

// Appends "/" to a folder value that is not empty and lacks one.
QString WithTrailingSlash(const QString& folder);
