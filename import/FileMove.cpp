#include "import/FileMove.h"

#include "services/CorvaneError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>
#include <system_error>

namespace
{
// From UTF-16, so that the same code names files on Windows (wide paths) and POSIX (UTF-8).
std::filesystem::path FsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

QString MoveFailure(const QString& source, const QString& target, const QString& reason)
{
    return QStringLiteral("移动文件失败:") + source + QStringLiteral(" -> ") + target + QStringLiteral(":") +
           reason;
}

void CopyThenRemove(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw CorvaneError(MoveFailure(source, target, in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        throw CorvaneError(MoveFailure(source, target, out.errorString()));
    char buffer[1 << 16];
    qint64 got = 0;
    while ((got = in.read(buffer, sizeof buffer)) > 0)
        if (out.write(buffer, got) != got)
            throw CorvaneError(MoveFailure(source, target, out.errorString()));
    if (got < 0)
        throw CorvaneError(MoveFailure(source, target, in.errorString()));
    in.close();
    // commit() flushes to disk before renaming over the target.
    if (!out.commit())
        throw CorvaneError(MoveFailure(source, target, out.errorString()));
    if (!QFile::remove(source))
        throw CorvaneError(QStringLiteral("文件已复制到") + target + QStringLiteral("，但无法删除原文件:") +
                           source);
}
} // namespace

bool IsSameFolder(const QString& first, const QString& second)
{
    std::error_code error;
    const bool same = std::filesystem::equivalent(FsPath(first), FsPath(second), error);
    return !error && same;
}

void MoveFileReplacing(const QString& source, const QString& target)
{
    std::error_code error;
    // A link renamed into the archive would dangle there: archive what it points at instead.
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(FsPath(source), error)))
    {
        CopyThenRemove(source, target);
        return;
    }
    std::filesystem::rename(FsPath(source), FsPath(target), error);
    if (!error)
        return;
    if (error == std::errc::cross_device_link)
    {
        CopyThenRemove(source, target);
        return;
    }
    throw CorvaneError(MoveFailure(source, target, QString::fromLocal8Bit(error.message().c_str())));
}
