#pragma once

#include <cstdint>

namespace qv {

// An OS handle as the channel keeps it: a file descriptor on POSIX, a HANDLE on
// Windows. "None" is all bits set, never zero.
using NativeHandle = std::intptr_t;
inline constexpr NativeHandle kInvalidHandle = -1;

// Status codes of the channel's operations: 0 success, 6 not open, else the OS error.
using Status = std::uint32_t;
inline constexpr Status kStatusOk = 0;
inline constexpr Status kStatusNotOpen = 6; // ERROR_INVALID_HANDLE

// Ports are COM1 to COM256: the numbers a port folder, a probe and the port list know.
inline constexpr int kPortCount = 256;

// The outcome of probing a port.
using ProbeResult = std::int32_t;
inline constexpr ProbeResult kProbeFree = 0;
inline constexpr ProbeResult kProbeBusy = 5;    // exists, held by someone (maybe us)
inline constexpr ProbeResult kProbeAbsent = 31; // missing or unusable

// Line-control modes.
inline constexpr int kDtrDisable = 0, kDtrEnable = 1, kDtrHandshake = 2;
inline constexpr int kRtsDisable = 0, kRtsEnable = 1, kRtsHandshake = 2, kRtsToggle = 3;

// The device control block: the line settings last read from or written to the
// driver. Flag masks as the Windows DCB has them.
struct Dcb {
    std::uint32_t DCBlength = sizeof(Dcb);
    std::uint32_t BaudRate = 0;
    std::uint32_t flags = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two

    static constexpr std::uint32_t kBinary = 0x01;
    static constexpr std::uint32_t kParityCheck = 0x02;
    static constexpr std::uint32_t kOutxCtsFlow = 0x04;
    static constexpr std::uint32_t kOutxDsrFlow = 0x08;
    static constexpr std::uint32_t kDtrControlMask = 0x30;
    static constexpr int kDtrControlShift = 4;
    static constexpr std::uint32_t kDsrSensitivity = 0x40;
    static constexpr std::uint32_t kRtsControlMask = 0x3000;
    static constexpr int kRtsControlShift = 12;
    // Windows: after a line error (framing, parity, overrun, break) every read and write
    // fails until the error is cleared.
    static constexpr std::uint32_t kAbortOnError = 0x4000;

    int dtrControl() const {
        return static_cast<int>((flags & kDtrControlMask) >> kDtrControlShift);
    }
    int rtsControl() const {
        return static_cast<int>((flags & kRtsControlMask) >> kRtsControlShift);
    }
    void setDtrControl(int mode) {
        flags = (flags & ~kDtrControlMask) |
                ((static_cast<std::uint32_t>(mode) & 3u) << kDtrControlShift);
    }
    void setRtsControl(int mode) {
        flags = (flags & ~kRtsControlMask) |
                ((static_cast<std::uint32_t>(mode) & 3u) << kRtsControlShift);
    }
};

} // namespace qv
