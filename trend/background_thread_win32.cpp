#include "trend/background_thread.h"

#include <windows.h>

namespace qv::trend {

void runInBackground() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

} // namespace qv::trend
