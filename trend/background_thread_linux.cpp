// Linux keeps a nice value per thread: setpriority on the thread's own id changes that
// thread only. 10 gives it about a tenth of a nice-0 thread's share of a busy core.

#include "trend/background_thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qv::trend {

void runInBackground() {
    constexpr int kNice = 10;
    const auto self = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, self, kNice);
}

} // namespace qv::trend
