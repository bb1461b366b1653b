#pragma once

#include <QByteArray>
#include <QString>

// Report files are under 100 KB; a file this large is not one.
constexpr qint64 kMaxXmlFileSize = qint64(16) << 20;

// Reads the bytes of a regular file up to kMaxXmlFileSize into content; the reason in Chinese
// when it cannot ("" when it could). A FIFO would block the read and a device would never end,
// so only regular files are opened.
QString ReadRegularFile(const QString& path, QByteArray& content);
