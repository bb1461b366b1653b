#pragma once

#include <QString>
#include <cstdint>

// File-system attribute bits of a path (1 read-only, 2 hidden, 16 folder, 32 archive), or -1
// when the path is empty or does not exist. Callers read 0 or more as "exists".
std::int16_t PathAttributes(const QString& path);
