#include "import/FileList.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

bool FileListFromArguments(const QStringList& arguments, const QString& extension, FileList& files,
                           QString& problem)
{
    files = FileList();
    if (arguments.isEmpty())
    {
        problem = QStringLiteral("未指定要导入的文件");
        return false;
    }
    if (arguments.size() == 1 && QFileInfo(arguments.first()).isDir())
    {
        QDir dir(arguments.first());
        files.folder = QDir::fromNativeSeparators(dir.absolutePath()) + QLatin1Char('/');
        // Names only: QDir::entryList keeps a file information object per entry until it has
        // sorted them all, which makes a large folder cost far more memory than its import.
        QDirIterator entries(dir.path(), {QStringLiteral("*.") + extension}, QDir::Files | QDir::Hidden);
        while (entries.hasNext())
        {
            entries.next();
            files.names.append(entries.fileName());
        }
        std::sort(files.names.begin(), files.names.end());
        return true;
    }
    for (const QString& argument : arguments)
    {
        const QFileInfo info(argument);
        if (info.isDir())
        {
            problem = QStringLiteral("只能给出一个文件夹，或同一文件夹中的文件:") + argument;
            return false;
        }
        const QString folder = QDir::fromNativeSeparators(info.absolutePath()) + QLatin1Char('/');
        if (files.names.isEmpty())
            files.folder = folder;
        else if (folder != files.folder)
        {
            problem = QStringLiteral("一次只能导入同一文件夹中的文件:") + argument;
            return false;
        }
        files.names.append(info.fileName());
    }
    return true;
}

QString CompanionName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot + 1) + QStringLiteral("htm");
}
