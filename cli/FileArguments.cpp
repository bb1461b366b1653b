#include "cli/FileArguments.h"

#include <QDir>
#include <QFileInfo>

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
        files = FileListOfFolder(arguments.first(), extension);
        return true;
    }
    QStringList paths;
    for (const QString& argument : arguments)
    {
        const QFileInfo info(argument);
        if (info.isDir())
        {
            problem = QStringLiteral("只能给出一个文件夹，或同一文件夹中的文件:") + argument;
            return false;
        }
        paths.append(QDir::fromNativeSeparators(info.absoluteFilePath()));
    }
    return FileListFromSelection(paths, files, problem);
}
