#include "services/BackgroundThread.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

void YieldToForegroundWork()
{
#if defined(__linux__)
    // A nice value is per thread on Linux. Raising it needs no privilege; failing changes nothing.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
}
