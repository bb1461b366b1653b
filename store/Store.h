#pragma once

#include <QString>

// Creates a new, complete database file (tables, indexes, dictionaries, views) at path.
// Refuses to overwrite an existing file; throws CorvaneError. Nothing is left behind on failure.
void CreateDatabase(const QString& path);

// The text of one store script: "schema.sql", "views.sql" or "dictionaries.sql".
QString StoreScript(const QString& name);
