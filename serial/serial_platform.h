#pragma once

// The operating-system side of the serial channel: one implementation per platform
// (serial_platform_posix.cpp, serial_platform_win32.cpp), chosen by CMake, and
// fakes in tests. CSerialComm holds all the logic and calls only this.
//
// Thread contract: waitForInput(), read() and endReading() are called by the channel's reader
// thread; signalStop() by the user-interface thread while the reader waits; probePort() by
// any thread, by several at once (the setup command's port survey, serial/port_survey.h),
// while the user-interface thread opens, drives and closes the channel's port; every
// other operation on the user-interface thread only. Implementations keep no state
// shared between the two threads beyond what the OS handles themselves carry.

#include "serial/port_name.h"
#include "serial/serial_types.h"
#include "text/substitute.h"
#include "text/texts.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace qv {

// A write the device does not take within this time is given up.
inline constexpr auto kSerialWriteTimeout = std::chrono::milliseconds{2000};

// The wordings of describeOpenFailure that do not depend on the platform.
inline std::string portOutOfRangeText(int port) {
    return substitute(text::kPortOutOfRange, {portName(port), std::to_string(kPortCount)});
}
inline std::string portInUseText(int port) {
    return substitute(text::kPortInUse, {portName(port)});
}

struct OpenResult {
    NativeHandle handle = kInvalidHandle;
    // The OS error when handle is invalid. With a valid handle, the error of a later step
    // of the open: the port is held all the same, to be released by closePort.
    Status error = 0;
};

enum class ModemLine { Dtr, Rts };

enum class WaitResult {
    Stop,     // the stop signal was raised
    Readable, // the port has input (or an error condition to read)
    PortGone, // the device hung up or reports an error: stop watching it
};

class SerialPlatform {
public:
    virtual ~SerialPlatform() = default;

    // Opens port n (of "COM%d") exclusively for the channel, for reads that never block.
    // Changes no line setting: that is setState's job.
    virtual OpenResult openPort(int port) = 0;
    // In plain words for the user, which port failed to open and why, given the error
    // that openPort (or a later step of the channel's open) returned: "COM3 is in use by
    // another program", "COM3: /dev/ttyUSB0: Permission denied", ... UTF-8.
    virtual std::string describeOpenFailure(int port, Status error) const = 0;
    // Opens port n without taking or changing anything and closes it again.
    virtual ProbeResult probePort(int port) = 0;
    // Releases an open port (drops its exclusive hold first).
    virtual void closePort(NativeHandle port) = 0;

    // Reads the driver's settings into dcb / applies dcb's line settings (baud rate,
    // framing, flow control) together with the raw mode that lets every byte reach the
    // reader unchanged. 0 or the OS error. Neither touches the modem lines.
    virtual Status getState(NativeHandle port, Dcb& dcb) = 0;
    virtual Status setState(NativeHandle port, const Dcb& dcb) = 0;
    // Drives the DTR or RTS line high (true) or low (false). 0 or the OS error (a device
    // without modem lines, such as a pseudo-terminal, reports ENOTTY).
    virtual Status setModemLine(NativeHandle port, ModemLine line, bool on) = 0;
    // Raises (true) or clears (false) the break condition. 0 or the OS error.
    virtual Status setBreak(NativeHandle port, bool on) = 0;
    // Writes count bytes; 0 or the OS error. Never waits for ever.
    virtual Status write(NativeHandle port, const void* data, std::size_t count) = 0;

    // A signal the reader thread waits on beside the port; invalid handle and the OS
    // error on failure. Auto-reset: the wait that reports Stop consumes it.
    virtual OpenResult createStopSignal() = 0;
    virtual void signalStop(NativeHandle stop) = 0;
    virtual void closeStopSignal(NativeHandle stop) = 0;

    // Blocks, without polling or a period, until the stop signal is raised or (when
    // watchPort) the port has input or goes away. The stop signal wins a tie.
    virtual WaitResult waitForInput(NativeHandle port, NativeHandle stop, bool watchPort) = 0;
    // Reads at most `capacity` bytes without blocking. Returns the count (0: nothing
    // there, or a failure that leaves the device in place), or -1 when the device has
    // gone (hang-up, EIO, ENXIO, ENODEV). After a failure the next waitForInput of the
    // same thread on the port may first wait a short while for the stop signal alone,
    // so that a descriptor that keeps failing does not make the reader spin.
    virtual long read(NativeHandle port, std::uint8_t* buffer, std::size_t capacity) = 0;
    // The reader thread's last call before it ends: ends what the platform still has
    // pending for this thread on the port (Windows: the overlapped event wait) and waits
    // for its completion, so the OS writes into nothing the thread owned after it ends.
    // POSIX waits leave nothing pending.
    virtual void endReading(NativeHandle port) { (void)port; }
};

// The platform layer of this build. `portsDir` is the port folder that maps port
// numbers to devices (see port_map_posix.h); tests and tools pass their own. On POSIX the
// ports' lock files are those of the system's lock folder.
std::unique_ptr<SerialPlatform> makePlatformSerial(std::filesystem::path portsDir);

} // namespace qv
