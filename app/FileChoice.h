#pragma once

#include <QString>
#include <QStringList>

// The filter of the open-file dialog as the import buttons give it, "description|patterns|..."
// with patterns separated by ";", as Qt name filters "description (pattern pattern)". "*.*"
// becomes "*", so that names without a dot are listed too. A description that already ends in
// its own patterns in parentheses is not given them twice; a description without patterns
// lists every file.
QStringList NameFiltersFromFilter(const QString& filter);
