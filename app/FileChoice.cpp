#include "app/FileChoice.h"

#include <QDir>

QStringList NameFiltersFromFilter(const QString& filter)
{
    QStringList nameFilters;
    if (filter.isEmpty())
        return nameFilters;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2)
    {
        QString description = parts[i].trimmed();
        const QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        QStringList qtPatterns;
        for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        {
            const QString trimmed = pattern.trimmed();
            // On Windows "*.*" matches every name; Qt's wildcard would require a dot.
            qtPatterns.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (qtPatterns.isEmpty())
            qtPatterns.append(QStringLiteral("*"));
        // Qt reads the patterns from the last parentheses: the description's own copy goes.
        const QString ownPatterns = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (!patterns.isEmpty() && description.endsWith(ownPatterns))
            description = description.chopped(ownPatterns.size()).trimmed();
        nameFilters.append(description + QStringLiteral(" (") + qtPatterns.join(QLatin1Char(' ')) +
                           QLatin1Char(')'));
    }
    return nameFilters;
}

bool FileListFromSelection(const QStringList& paths, FileList& files, QString& problem)
{
    files = FileList();
    for (qsizetype i = 0; i < paths.size(); ++i)
    {
        const QString path = QDir::cleanPath(QDir::fromNativeSeparators(paths[i]));
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString folder = path.left(slash + 1);
        if (i == 0)
            files.folder = folder;
        else if (folder != files.folder)
        {
            problem = QStringLiteral("一次只能导入同一文件夹中的文件:") + paths[i];
            return false;
        }
        files.names.append(path.mid(slash + 1));
    }
    return true;
}
