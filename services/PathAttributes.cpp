#include "services/PathAttributes.h"

#include <QFileInfo>

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
