#pragma once

// The device control block and the POSIX terminal settings, mapped both ways.
//
// A serial port on Windows is always raw: every byte reaches the reader unchanged. The
// terminal settings written here are raw in the same way (no echo, no canonical input,
// no CR/NL translation, no signals, no software flow control, no output processing),
// with the receiver on and the modem-status lines ignored (CREAD, CLOCAL). Reads are
// VMIN=1, VTIME=0, so that on a non-blocking descriptor "no data" is EAGAIN and a
// zero-length read means hang-up.

#include "serial/serial_types.h"

#include <optional>
#include <termios.h>

namespace qv {

// The block as the driver's settings describe it. `modemBits` are the TIOCMGET bits
// when the device has modem lines: they give DTR and RTS control enable or disable by
// the line's level. RTS/CTS flow control reads as RTS handshake. A rate without a
// number here reads as 0.
Dcb dcbFromTermios(const termios& settings, std::optional<int> modemBits);

// Writes the block's rate, framing and RTS handshake, plus the raw mode above, into
// `settings`, keeping everything else. 0, or EINVAL for what the platform cannot do
// (a rate or framing it has no setting for; 1.5 stop bits other than with 5-bit
// bytes, which the UART makes of two stop bits).
Status applyDcbToTermios(const Dcb& dcb, termios& settings);

// Whether the driver took every part of `wanted` that applyDcbToTermios writes:
// tcsetattr succeeds when any part of a change was taken.
bool termiosTaken(const termios& wanted, const termios& actual);

} // namespace qv
