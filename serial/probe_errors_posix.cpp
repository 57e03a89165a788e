#include "serial/probe_errors_posix.h"

#include <cerrno>

namespace qv {

ProbeResult probeResultFromErrno(int error) {
    switch (error) {
    case 0:
        return kProbeFree;
    case EBUSY:
    case EWOULDBLOCK:
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EACCES:
    case EPERM:
        return kProbeBusy;
    default:
        return kProbeAbsent;
    }
}

ReadFailure readFailureFromErrno(int error) {
    switch (error) {
    case EWOULDBLOCK:
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
        return ReadFailure::NoData;
    case EIO:
    case ENXIO:
    case ENODEV:
        return ReadFailure::HungUp;
    default:
        return ReadFailure::Other;
    }
}

} // namespace qv
