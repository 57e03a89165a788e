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
// The reader thread keeps its overlapped event wait, its completion event and its read
// event in a record of its own (thread-local), made at its first wait; endReading cancels
// a wait still pending and waits for its completion before the record goes.
//
// Thread contract: as SerialPlatform. The table of held ports is used by the
// user-interface thread and guarded by a mutex all the same.

#include "serial/serial_platform.h"

#include <map>
#include <mutex>

namespace qv {

class Win32SerialPlatform : public SerialPlatform {
public:
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

    std::mutex mutex_;
    std::map<NativeHandle, int> held_; // open channel handle -> port number
};

} // namespace qv
