#include "services/xml/ReadRegularFile.h"

#include "services/PathAttributes.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

QString ReadRegularFile(const QString& path, QByteArray& content)
{
    const QByteArray name = QFile::encodeName(path);
    // Opened without waiting, so that a FIFO is refused rather than read from; what it is shows
    // on the open file, where it can no longer change.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        const int error = errno;
        struct stat link;
        return DescribeOpenError(error, ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode));
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return qt_error_string(errno);
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? QStringLiteral("这是一个文件夹，不是文件")
                                     : QStringLiteral("不是普通文件");
    if (info.st_size > kMaxXmlFileSize)
        return QStringLiteral("文件过大 (超过 %1 MB)").arg(kMaxXmlFileSize >> 20);
    // One byte more than the file had shows whether it grew since; it is then read on, up to the
    // limit and a byte.
    content.resize(qsizetype(info.st_size) + 1);
    qsizetype got = 0;
    for (;;)
    {
        if (got == content.size())
        {
            if (got > kMaxXmlFileSize)
                return QStringLiteral("文件过大 (超过 %1 MB)").arg(kMaxXmlFileSize >> 20);
            content.resize(std::min(got * 2, kMaxXmlFileSize + 1));
        }
        const ssize_t n = ::read(fd, content.data() + got, std::size_t(content.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return qt_error_string(errno);
        if (n == 0)
            break;
        got += n;
        // A regular file reads short only at its end: no call just to be told so.
        if (got < content.size())
            break;
    }
    content.resize(got);
    return QString();
}
