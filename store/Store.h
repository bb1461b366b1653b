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

// The text of one store script: "schema.sql" (the embedded form), "schema-postgresql.sql",
// "views.sql" or "dictionaries.sql".
QString StoreScript(const QString& name);

// The names of the scripts that build a database of the engine, in order.
QStringList StoreScripts(Engine engine);

// The tables of a database the store builds, in the order schema.sql creates them.
QStringList StoreTables();
