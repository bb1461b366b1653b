#pragma once

// Marks the calling thread as helping work (loading ahead, moving files): when the cores are
// busy, the thread that writes the database runs first, since the batch ends with it.
void YieldToForegroundWork();
