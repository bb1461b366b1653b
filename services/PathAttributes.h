#pragma once

#include <QString>
#include <cstdint>

// File-system attribute bits of a path (1 read-only, 2 hidden, 16 folder, 32 archive), or -1
// when the path is empty or does not exist. Callers read 0 or more as "exists".
std::int16_t PathAttributes(const QString& path);

// Why a file could not be opened, in the operator's words, from the system's error number
// (errno). link: the path itself is a symbolic link, so a missing file is its target.
QString DescribeOpenError(int error, bool link);
