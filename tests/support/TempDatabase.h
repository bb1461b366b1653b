#pragma once

#include "services/Database.h"
#include "services/Settings.h"

#include <QTemporaryDir>

#include <memory>

// Settings for a working folder: AppFolder, ImportPath and LocalPath are its subfolders "app/",
// "in/" and "local/", made here.
Settings WorkingFolders(const QString& root);

// A temporary working folder holding a fresh wenwu.mdb made from the store scripts, with
// settings pointing at it: AppFolder, ImportPath and LocalPath are subfolders "app/",
// "in/" and "local/"; the database lies in LocalPath.
class TempDatabase
{
public:
    TempDatabase();

    Settings settings;
    QString Folder() const { return m_dir.path() + QStringLiteral("/"); }
    // A fresh connection to the database (the import opens its own).
    std::unique_ptr<Database> Open() const { return OpenDatabase(settings); }
    // A single value of a query with bound values, for assertions.
    QVariant Scalar(const QString& sql, const QVariantList& values = {}) const;
    // Every row of every table but the import ledger's as text, in a stable order: equal before
    // and after a run that must leave the data as it was.
    QString Snapshot() const;
    // Writes a file with the given bytes, creating folders as needed; returns its path.
    QString WriteFile(const QString& relativePath, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};
