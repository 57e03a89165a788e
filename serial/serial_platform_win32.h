#pragma once

// The serial platform on Windows: port n is the device "\\.\COM<n>", opened with the wide
// calls. The channel's open is exclusive, overlapped and open-existing, with the event
// mask EV_RXCHAR | EV_TXEMPTY and time-outs under which a read returns at once; a probe
// opens without overlapped I/O and closes at once. Status codes are last-error codes.
//
// The port this object holds probes busy without being opened again (Windows refuses the
// second open with 5 anyway; Wine does not enforce the exclusivity) unless its handle
// fails, as it does once the device has gone: then the probe opens the device as usual.
//
// The reader thread keeps its overlapped event wait, its read with its buffer and their
// events in a record of its own (thread-local), made at its first wait; endReading cancels
// a wait still pending and waits for its completion before the record goes. A read or
// wait that fails is judged by commFailureFromWin32Error: a device that has gone is no
// longer watched; any other failure is cleared with ClearCommError (a line error under
// fAbortOnError fails every read until then) and the port is watched again after a short
// pause. Nothing waits for ever on an operation the driver does not give back after its
// cancel: its record is left to the driver, and the port is no longer read.
//
// Thread contract: as SerialPlatform. The table of held ports is used by the
// user-interface thread and guarded by a mutex all the same; the calls are only read.

#include "serial/serial_platform.h"

#include <map>
#include <mutex>

#include <windows.h>

namespace qv {

// The calls through which the channel reads and writes a port: the system's, or a test's
// stand-ins playing a driver (line errors, a removed device, a cancel it ignores).
struct Win32CommCalls {
    BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::ReadFile;
    BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::WriteFile;
    BOOL(WINAPI* waitCommEvent)(HANDLE, LPDWORD, LPOVERLAPPED) = ::WaitCommEvent;
    BOOL(WINAPI* clearCommError)(HANDLE, LPDWORD, LPCOMSTAT) = ::ClearCommError;
};

class Win32SerialPlatform : public SerialPlatform {
public:
    explicit Win32SerialPlatform(Win32CommCalls calls = {}) : calls_(calls) {}

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
    void endReading(NativeHandle port) override;

private:
    // The handle through which this object holds port n, if any, and it still works.
    bool heldHere(int port);
    // After a failed read or port wait with `error`: true when the device has gone;
    // otherwise the error is cleared and the next wait pauses first.
    bool deviceGone(HANDLE port, DWORD error);

    const Win32CommCalls calls_;

    std::mutex mutex_;
    std::map<NativeHandle, int> held_; // open channel handle -> port number
};

} // namespace qv
