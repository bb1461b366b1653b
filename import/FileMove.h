#pragma once

#include <QString>

// True when both paths name the same directory on disk (links and letter case resolved as the
// file system resolves them). False when either does not exist.
bool IsSameFolder(const QString& first, const QString& second);

// Moves source to target, replacing an existing target atomically: a rename within one file
// system; across file systems a copy to a temporary name in the target's folder, flushed and
// renamed, then the source removed. Never leaves the target half-written or the file lost.
// A symbolic link is replaced by a regular file holding what it points at, and removed.
// Throws CorvaneError with a clear message on failure.
void MoveFileReplacing(const QString& source, const QString& target);
