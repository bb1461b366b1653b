#include "import/FileList.h"

#include "services/PathAttributes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <type_traits>

namespace
{
// The name as `ls -b` shows it: bytes that do not decode as octal escapes.
QString ShownName(const std::string& raw)
{
    QString shown;
    for (const char c : raw)
    {
        const uchar byte = uchar(c);
        if (byte < 0x80 && byte >= 0x20)
            shown += QLatin1Char(c);
        else
            shown += QStringLiteral("\\%1").arg(byte, 3, 8, QLatin1Char('0'));
    }
    return shown;
}

QString DescribeFolderError(const std::error_code& error)
{
    if (error == std::errc::not_a_directory)
        return QStringLiteral("这不是一个文件夹");
    if (error == std::errc::no_such_file_or_directory)
        return QStringLiteral("文件夹不存在");
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return QStringLiteral("没有权限列出该文件夹中的文件");
    return DescribeOpenError(error.value(), false);
}

bool HasExtension(const QString& name, const QString& extension)
{
    return name.size() > extension.size() && name.endsWith(extension, Qt::CaseInsensitive) &&
           name[name.size() - extension.size() - 1] == u'.';
}

// Names only, and no file information kept per entry: a large folder costs little memory. The
// folder is read through the standard library, which gives the names as the system stores them,
// so a name that does not decode is seen rather than silently dropped.
void ListFolder(FileList& files, const QString& extension)
{
    namespace fs = std::filesystem;
    std::error_code error;
    files.distinct = true;
    for (fs::directory_iterator entry(fs::path(files.folder.toStdU16String()), error), end;
         !error && entry != end; entry.increment(error))
    {
        const fs::path& path = entry->path();
        QString name;
        QString unreadable;
        if constexpr (std::is_same_v<fs::path::value_type, char>)
        {
            const std::string raw = path.filename().string();
            name = QFile::decodeName(QByteArray::fromStdString(raw));
            if (QFile::encodeName(name).toStdString() != raw)
            {
                if (!HasExtension(ShownName(raw), extension))
                    continue;
                files.unreadable.append(
                    {ShownName(raw), QStringLiteral("文件名不能按系统编码解读，请改名后再导入")});
                continue;
            }
        }
        else
        {
            name = QString::fromStdU16String(path.filename().u16string());
        }
        if (!HasExtension(name, extension))
            continue;
        std::error_code statusError;
        if (entry->is_symlink(statusError))
            files.distinct = false;
        // The listing tells a plain file from anything else without a call per file.
        if (!entry->is_symlink(statusError) && entry->is_regular_file(statusError))
        {
            files.names.append(name);
            continue;
        }
        const fs::file_status status = fs::status(path, statusError);
        if (fs::is_directory(status))
            continue;
        if (!fs::exists(status))
        {
            // A loop or a folder the program may not read is not a missing file.
            const int reason = statusError ? statusError.value() : ENOENT;
            std::error_code linkError;
            unreadable = DescribeOpenError(reason, fs::is_symlink(entry->symlink_status(linkError)));
        }
        else if (!fs::is_regular_file(status))
            unreadable = QStringLiteral("不是普通文件");
        if (unreadable.isEmpty())
            files.names.append(name);
        else
            files.unreadable.append({name, unreadable});
    }
    // A folder that cannot be read through would otherwise look empty, and its batch succeed.
    if (error)
        files.problem =
            QStringLiteral("无法读取文件夹") + files.folder + QLatin1Char('\n') + DescribeFolderError(error);
}
} // namespace

FileList FileListOfFolder(const QString& folder, const QString& extension)
{
    FileList files;
    files.folder = QDir::fromNativeSeparators(QDir(folder).absolutePath()) + QLatin1Char('/');
    ListFolder(files, extension);
    std::sort(files.names.begin(), files.names.end());
    return files;
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

QString CompanionName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot + 1) + QStringLiteral("htm");
}

QStringList DistinctFiles(const QString& folder, const QStringList& names)
{
    QSet<QString> seen;
    seen.reserve(names.size());
    QStringList distinct;
    bool copied = false;
    // Resolving every path walks each folder of it; a plain name that is no link only needs the
    // folder resolved, once, and is looked up in the open folder alone.
    const QString listed = folder.isEmpty() ? QStringLiteral(".") : folder;
    QString canonicalFolder = QFileInfo(listed).canonicalFilePath();
    if (!canonicalFolder.isEmpty() && !canonicalFolder.endsWith(QLatin1Char('/')))
        canonicalFolder += QLatin1Char('/');
    const int folderFd = ::open(QFile::encodeName(listed).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    auto isPlainFile = [&](const QString& name)
    {
        struct stat info;
        return folderFd >= 0 && !canonicalFolder.isEmpty() && !name.contains(QLatin1Char('/')) &&
               ::fstatat(folderFd, QFile::encodeName(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(info.st_mode);
    };
    for (qsizetype i = 0; i < names.size(); ++i)
    {
        const QString path = folder + names[i];
        QString key =
            isPlainFile(names[i]) ? canonicalFolder + names[i] : QFileInfo(path).canonicalFilePath();
        if (key.isEmpty())
            key = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        const bool repeated = seen.contains(key);
        if (repeated && !copied)
        {
            distinct = names.mid(0, i);
            copied = true;
        }
        if (!repeated)
        {
            seen.insert(key);
            if (copied)
                distinct.append(names[i]);
        }
    }
    if (folderFd >= 0)
        ::close(folderFd);
    return copied ? distinct : names;
}
