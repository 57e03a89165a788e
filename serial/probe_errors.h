#pragma once

// Which open errors mean a port exists but is held (busy) and which mean it is missing
// or unusable (absent), on POSIX.

#include "serial/serial_types.h"

namespace qv {

// EBUSY, EWOULDBLOCK (from the exclusive lock), EACCES and EPERM give busy: the port is
// there and someone (maybe this program) has it, or the user lacks the right to open
// it. Every other error gives absent. 0 gives free.
ProbeResult probeResultFromErrno(int error);

} // namespace qv
