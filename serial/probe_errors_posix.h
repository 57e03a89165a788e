#pragma once

// What the errors of the POSIX serial calls say about a port: which open errors mean it
// exists but is held (busy) and which that it is missing or unusable (absent); which read
// errors mean the device has gone.

#include "serial/serial_types.h"

namespace qv {

// EBUSY, EWOULDBLOCK (from the exclusive lock), EACCES and EPERM give busy: the port is
// there and someone (maybe this program) has it, or the user lacks the right to open
// it. Every other error gives absent. 0 gives free.
ProbeResult probeResultFromErrno(int error);

enum class ReadFailure {
    NoData, // nothing to read now (EAGAIN, EWOULDBLOCK)
    HungUp, // the device has gone: EIO, ENXIO, ENODEV; nothing more will come
    Other,  // anything else: this read delivers nothing, the port stays watched
};

// The class of a failed read's errno.
ReadFailure readFailureFromErrno(int error);

} // namespace qv
