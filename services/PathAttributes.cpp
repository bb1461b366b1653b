#include "services/PathAttributes.h"

#include <QFileInfo>

#include <cerrno>

std::int16_t PathAttributes(const QString& path)
{
    if (path.isEmpty())
        return -1;
    const QFileInfo info(path);
    if (!info.exists())
        return -1;
    std::int16_t bits = info.isDir() ? 16 : 32;
    if (!info.isWritable())
        bits |= 1;
    if (info.isHidden())
        bits |= 2;
    return bits;
}

QString DescribeOpenError(int error, bool link)
{
    switch (error)
    {
    case ENOENT:
        return link ? QStringLiteral("链接指向的文件不存在") : QStringLiteral("文件不存在");
    case ELOOP:
        return QStringLiteral("符号链接绕成了一个圈，指不到任何文件");
    case EACCES:
    case EPERM:
        return link ? QStringLiteral("没有权限读取链接指向的文件或它所在的文件夹")
                    : QStringLiteral("没有权限读取该文件或它所在的文件夹");
    case ENOTDIR:
        return QStringLiteral("路径中有一段不是文件夹");
    default:
        return qt_error_string(error);
    }
}
