#pragma once

#include "services/Database.h"

#include <QString>
#include <QStringList>

// Creates a new, complete database file (tables, indexes, dictionaries, views) at path.
// Refuses to overwrite an existing file; throws CorvaneError. Nothing is left behind on failure.
void CreateDatabase(const QString& path);

// Creates the tables, indexes, dictionaries and views in the empty server database the
// postgresql:// URI names, all in one transaction. Refuses a database that already holds any of
// the tables; throws CorvaneError.
void CreateServerDatabase(const QString& uri);

// Brings the saved queries of a database made by an earlier version up to date (corpsecurity
// once kept the units without a security row) and adds the import ledger's tables when missing;
// changes no row. Does nothing when they are up to
// date, so any number of programs may call it on one database at once: one of them replaces the
// query under the write lock, the others find it done. False when another program held the write
// lock past the busy wait; throws CorvaneError when the query cannot be replaced.
bool UpgradeDatabase(Database& db);

// The text of one store script: "schema.sql" (the embedded form), "schema-postgresql.sql",
// "views.sql" or "dictionaries.sql".
QString StoreScript(const QString& name);

// The names of the scripts that build a database of the engine, in order.
QStringList StoreScripts(Engine engine);

// The tables of a database the store builds, in the order schema.sql creates them.
QStringList StoreTables();
