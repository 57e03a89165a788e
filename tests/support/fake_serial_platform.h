#pragma once

// A serial platform made of memory, with a simulated sensor on each port, for the tests
// of the channel and of everything built on it.
//
// Ports exist only once added. A port has at most one open handle at a time (opens are
// exclusive); handles are small numbers that stay unique for the fake's life, so a
// stale handle never names a newer open. Each open starts with DTR and RTS low and
// the break clear, and with the "driver" settings below. Bytes injected while the port
// is not open are lost, as on a real line nobody listens to.
//
// Thread contract: every member may be called from any thread; one mutex guards the
// whole state, and waitForInput() blocks on a condition variable that every change
// wakes.

#include "serial/serial_platform.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv::test {

class FakeSerialPlatform : public SerialPlatform {
public:
    // The settings getState reports on a fresh open: 38400 baud, 7 data bits, even
    // parity, one stop bit, binary mode, DSR output flow and DSR sensitivity set, so
    // a test can see which of them Open replaces.
    static Dcb driverDefaults();

    // --- test side ---
    // The settings getState reports on opens from now on.
    void setDriverState(const Dcb& dcb);
    void addPort(int port); // present and free
    // Unplugs the port: probes say absent, an open handle's wait reports PortGone and
    // its reads fail. Adding the port again makes a new device; the old handle stays dead.
    void removePort(int port);
    // Another program holds the port: probes say busy, openPort fails with EBUSY.
    void holdByOther(int port, bool held);
    // Each time the open handle of `port` enters the combination RTS on, DTR on, break
    // clear, `record` is queued as input once. An empty record silences the sensor.
    void setSensorRecord(int port, std::string record);
    // Bytes arriving at the port's open handle (dropped when the port is not open).
    void inject(int port, const std::string& bytes);
    // Probes of `port` wait until releaseProbes(), as those of a port that takes seconds
    // to open or fail do; the other ports' probes go on meanwhile.
    void holdProbes(int port);
    void releaseProbes();
    // Probes answered so far, held ones once released.
    int probesDone() const;

    // Line calls in order: "dtr 1", "rts 0", "break 1", ... (also failed ones).
    std::vector<std::string> calls() const;
    void clearCalls();
    // The next call of `op` fails with `error` (once). op is one of "open", "openLater" (the
    // device opens and stays held, a later step of its open fails), "getState",
    // "setState", "dtr", "rts", "break", "write", "stop" (createStopSignal).
    void failNext(const std::string& op, Status error);

    int openCount(int port) const;
    bool isOpen(int port) const;
    // The settings last applied with setState to the port's current or last handle.
    Dcb appliedState(int port) const;
    // Line states of the port's open handle (false when not open).
    bool dtr(int port) const;
    bool rts(int port) const;
    bool breakSet(int port) const;
    // How often waitForInput has returned, over all handles: lets a test see that a
    // reader thread blocks instead of spinning.
    long waitReturns() const;
    // Readers blocked in a wait that no longer watches their port: once a port is gone,
    // its reader waits here for its stop signal alone.
    int waitsWithoutPort() const;
    // Stop signals created and not yet closed.
    int liveStopSignals() const;
    // endReading calls so far, and whether any waitForInput or read came after one on
    // the same thread.
    int readersEnded() const;
    bool usedAfterEndReading() const;

    // --- SerialPlatform ---
    OpenResult openPort(int port) override;
    // "COM<n>: " and the error's text.
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
    struct Port {
        bool present = false;
        bool heldByOther = false;
        std::string record;
        NativeHandle open = kInvalidHandle; // the live handle, if any
        int openCount = 0;
        Dcb applied;
    };
    struct Handle {
        int port = 0;
        bool gone = false;
        bool dtr = false, rts = false, brk = false;
        Dcb dcb;
        std::deque<std::uint8_t> input;
    };

    // These three require mutex_ held.
    bool takeFailure(const std::string& op, Status& error);
    Handle* handle(NativeHandle h);
    const Handle* openHandleOf(int port) const;
    // What every call on a handle does first, under the lock: an injected failure of
    // `op`, EBADF for a handle that is not open, EIO for an unplugged port; then `body`
    // with the live handle.
    template <typename Body> Status onHandle(const char* op, NativeHandle h, Body body);
    // Records the line call, then sets the line; a sensor answers the switch-on.
    Status setLine(NativeHandle h, const char* name, bool on, bool Handle::*field);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, Port> ports_;
    std::map<NativeHandle, Handle> handles_;
    std::map<NativeHandle, bool> stops_; // live stop signals and whether raised
    std::map<std::string, Status> failures_;
    std::vector<std::string> calls_;
    Dcb driverState_ = driverDefaults();
    NativeHandle nextHandle_ = 100;
    long waitReturns_ = 0;
    std::optional<int> heldProbes_; // the port whose probes wait
    int probesDone_ = 0;
    int waitsWithoutPort_ = 0;
    int readersEnded_ = 0;
    bool usedAfterEnd_ = false;
    void noteReaderCall(); // mutex_ held
};

} // namespace qv::test
