#pragma once

// The serial platform on POSIX (Linux first, macOS where it costs nothing).
//
// Port n is the device that portDevicePath(n, portsDir) names, looked up afresh at
// every open and probe, so a port folder created or changed while the program runs
// counts at once. A port is held through four locks, each catching a different
// holder: the exclusive open flag (TIOCEXCL, which root bypasses), an exclusive flock
// on the descriptor (programs that lock their port, and root), a check of the
// exclusive flag before taking it (TIOCGEXCL, catches a TIOCEXCL holder when we run
// as root), and the device's lock file in the lock folder (port_lock_posix.h: programs
// that take nothing else, such as minicom). A port whose lock file names a live process
// is busy and is not opened at all, not even by a probe. A port that is the system
// console (system_console_posix.h) is absent and never opened either.
//
// A port this object holds is reported busy (probe) or refused (open) without opening
// the device again: as root such an open would pass the exclusive flag, and the
// kernel raises DTR and RTS at every open of a UART, which would switch the sensor on.
//
// Thread contract: as SerialPlatform. The only state of the object besides the two
// folders and the console list is the table of stop pipes and that of held devices with their lock
// files, used by the user-interface thread alone and guarded by a mutex all the same; waitForInput
// and read touch descriptors and one thread-local note of a failed read only.

#include "serial/port_lock_posix.h"
#include "serial/serial_platform.h"
#include "serial/system_console_posix.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace qv {

class PosixSerialPlatform : public SerialPlatform {
public:
    // `lockFolder` is where the ports' lock files are read and made: the program passes
    // systemLockFolder(), tests a folder of their own; empty for no lock files at all.
    // `consoleList` names the system's consoles (kActiveConsoles); tests pass their own.
    PosixSerialPlatform(std::filesystem::path portsDir, std::filesystem::path lockFolder,
                        std::filesystem::path consoleList = kActiveConsoles);
    ~PosixSerialPlatform() override;

    OpenResult openPort(int port) override;
    std::string describeOpenFailure(int port, Status error) const override;
    ProbeResult probePort(int port) override;
    void closePort(NativeHandle port) override;
    Status getState(NativeHandle port, Dcb& dcb) override;
    Status setState(NativeHandle port, const Dcb& dcb) override;
    Status setModemLine(NativeHandle port, ModemLine line, bool on) override;
    Status setBreak(NativeHandle port, bool on) override;
    Status write(NativeHandle port, const void* data, std::size_t count) override;
    OpenResult createStopSignal() override;
    void signalStop(NativeHandle stop) override;
    void closeStopSignal(NativeHandle stop) override;
    WaitResult waitForInput(NativeHandle port, NativeHandle stop, bool watchPort) override;
    long read(NativeHandle port, std::uint8_t* buffer, std::size_t capacity) override;

private:
    // Whether the device node at `path` is one of the ports open through this object
    // and that port has not hung up.
    bool heldHere(const std::string& path);
    // Whether `file` is the lock file of one of the ports held through this object.
    bool ownLockFile(const std::filesystem::path& file);

    struct HeldPort {
        struct stat node; // the device node the port was opened through
        PortLockFile lock;
    };

    const std::filesystem::path portsDir_;
    const std::filesystem::path lockFolder_;
    const std::filesystem::path consoleList_;
    std::mutex mutex_;
    // Stop signals are pipes: the handle is the read end, this maps it to the write end.
    std::map<int, int> stopWriters_;
    // Open port descriptor -> what holds it.
    std::map<int, HeldPort> held_;
};

} // namespace qv
