#pragma once

// Lowers the calling thread's scheduling priority below the user-interface thread's, for
// the threads that read log files: on a machine with as many busy readers as cores, the
// window's thread (which also runs the logging) still gets a core as soon as it has
// something to do. Best effort: a system that refuses leaves the priority as it was. The
// platform's implementation is background_thread_linux.cpp or background_thread_win32.cpp.

namespace qv::trend {

void runInBackground();

} // namespace qv::trend
