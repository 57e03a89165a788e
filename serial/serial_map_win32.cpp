#include "serial/serial_map_win32.h"

#include "serial/port_name.h"

#include <cstddef>
#include <cstring>

namespace qv {

namespace {

// The flags word is a set of bit-fields in DCB; it is the 32 bits after BaudRate.
constexpr std::size_t kFlagsOffset = offsetof(DCB, BaudRate) + sizeof(DWORD);
static_assert(offsetof(DCB, wReserved) == kFlagsOffset + sizeof(DWORD));

} // namespace

std::wstring comDevicePath(int port) {
    const std::string name = portName(port);
    return L"\\\\.\\" + std::wstring(name.begin(), name.end());
}

ProbeResult probeResultFromWin32Error(std::uint32_t error) {
    switch (error) {
    case 0:
        return kProbeFree;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return kProbeBusy;
    default:
        return kProbeAbsent;
    }
}

CommFailure commFailureFromWin32Error(std::uint32_t error) {
    switch (error) {
    // What USB adapters' drivers report once the adapter has been pulled, and what a handle
    // whose device went away reports.
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return CommFailure::Gone;
    default:
        // A device wrongly taken for gone is never read again while the probe still finds
        // it held: the channel would be deaf without a word. Retrying costs a short pause.
        return CommFailure::Retry;
    }
}

Dcb dcbFromWin32(const DCB& driver) {
    Dcb dcb;
    dcb.BaudRate = driver.BaudRate;
    std::memcpy(&dcb.flags, reinterpret_cast<const unsigned char*>(&driver) + kFlagsOffset,
                sizeof dcb.flags);
    dcb.ByteSize = driver.ByteSize;
    dcb.Parity = driver.Parity;
    dcb.StopBits = driver.StopBits;
    return dcb;
}

void applyDcbToWin32(const Dcb& dcb, DCB& driver) {
    driver.DCBlength = sizeof(DCB);
    driver.BaudRate = dcb.BaudRate;
    std::memcpy(reinterpret_cast<unsigned char*>(&driver) + kFlagsOffset, &dcb.flags,
                sizeof dcb.flags);
    driver.ByteSize = dcb.ByteSize;
    driver.Parity = dcb.Parity;
    driver.StopBits = dcb.StopBits;
}

} // namespace qv
