#include "ThreadPriority.h"

#include <algorithm>
#include <cerrno>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace pvsm {

void LowerThreadPriority(int niceness)
{
#ifdef __linux__
    if (niceness <= 0) return;
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, id_t(gettid()));
    if (errno == 0) (void)setpriority(PRIO_PROCESS, id_t(gettid()), std::min(19, current + niceness));
#else
    (void)niceness;
#endif
}

} // namespace pvsm
