#pragma once

// Pure mappings of the Windows serial layer, kept apart from the calls that use them:
// the device path of a port number, the probe result of an open error, what a failed
// read or port wait means, and the DCB.

#include "serial/serial_types.h"

#include <cstdint>
#include <string>

#include <windows.h>

namespace qv {

// "\\.\COM<n>": the device namespace form, which also reaches ports above COM9.
std::wstring comDevicePath(int port);

// ERROR_ACCESS_DENIED (5) and ERROR_SHARING_VIOLATION (32) give busy: the port exists
// and is held. Every other error gives absent. 0 gives free.
ProbeResult probeResultFromWin32Error(std::uint32_t error);

// What a failed read or port-event wait of the channel's reader says about the device.
enum class CommFailure {
    Retry, // still there: a line error under fAbortOnError (995 until ClearCommError), a
           // time-out, anything not known to mean removal; clear the error, watch on
    Gone,  // removed or its handle unusable: ERROR_DEVICE_NOT_CONNECTED, ERROR_BAD_COMMAND,
           // ERROR_ACCESS_DENIED, ERROR_GEN_FAILURE, ...; stop watching the port
};
CommFailure commFailureFromWin32Error(std::uint32_t error);

// Our Dcb keeps the fields the channel reads and writes, with the flags word exactly as
// the driver's DCB has it. Every other field of `driver` stays as the driver reported it.
Dcb dcbFromWin32(const DCB& driver);
void applyDcbToWin32(const Dcb& dcb, DCB& driver);

} // namespace qv
