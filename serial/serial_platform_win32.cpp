#include "serial/serial_platform_win32.h"

#include "serial/serial_map_win32.h"

#include "text/win32_text.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <windows.h>

namespace qv {

namespace {

// How long a cancelled operation (the reader's port wait or read, a write) may take to
// complete. It completes at once on Windows; should it not, its record is left alive
// rather than freed under the driver, and nothing waits for it any longer.
constexpr auto kCancelGrace = std::chrono::milliseconds{2000};
// How long a read that should return at once may stay pending before it is cancelled.
constexpr auto kReadGrace = std::chrono::milliseconds{100};
// After a failed read or port wait that is retried, how long the reader waits for the stop
// signal alone before it watches the port again: an error that comes back at once (a
// line held in break, a noisy line) is retried a few times a second, not in a busy loop.
constexpr auto kRetryPause = std::chrono::milliseconds{50};

HANDLE win(NativeHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

NativeHandle native(HANDLE handle) {
    return reinterpret_cast<NativeHandle>(handle);
}

Status lastError() {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<Status>(error) : static_cast<Status>(ERROR_GEN_FAILURE);
}

DWORD millis(std::chrono::milliseconds ms) {
    return static_cast<DWORD>(ms.count());
}

// The reader thread's overlapped state, alive from its first wait to endReading (or for
// ever, when the driver keeps an operation of it after its cancel).
struct ReaderRecord {
    OVERLAPPED wait{};
    DWORD events = 0;
    bool pending = false; // an event wait is in flight on `port`
    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED read{};
    std::vector<std::uint8_t> inbox; // what the driver reads into
    bool pauseFirst = false;         // a failure was retried: see kRetryPause

    ReaderRecord() {
        wait.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~ReaderRecord() {
        if (wait.hEvent)
            CloseHandle(wait.hEvent);
        if (read.hEvent)
            CloseHandle(read.hEvent);
    }
    ReaderRecord(const ReaderRecord&) = delete;
    ReaderRecord& operator=(const ReaderRecord&) = delete;
};

thread_local std::unique_ptr<ReaderRecord> tReader;

ReaderRecord& readerRecord() {
    if (!tReader)
        tReader = std::make_unique<ReaderRecord>();
    return *tReader;
}

// Stop wins a tie, and a raised stop signal is consumed (auto-reset).
bool stopRaised(HANDLE stop) {
    return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
}

// A write's record and a copy of its bytes, which must outlive the write.
struct PendingWrite {
    OVERLAPPED overlapped{};
    std::vector<std::uint8_t> bytes;

    PendingWrite(const void* data, std::size_t count)
        : bytes(static_cast<const std::uint8_t*>(data),
                static_cast<const std::uint8_t*>(data) + count) {
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~PendingWrite() {
        if (overlapped.hEvent)
            CloseHandle(overlapped.hEvent);
    }
    PendingWrite(const PendingWrite&) = delete;
    PendingWrite& operator=(const PendingWrite&) = delete;
};

// Waits for `overlapped` after `CancelIoEx` at most kCancelGrace; false if the driver
// still has it.
bool cancelled(HANDLE port, OVERLAPPED& overlapped) {
    CancelIoEx(port, &overlapped);
    return WaitForSingleObject(overlapped.hEvent, millis(kCancelGrace)) == WAIT_OBJECT_0;
}

} // namespace

bool Win32SerialPlatform::deviceGone(HANDLE port, DWORD error) {
    if (commFailureFromWin32Error(error) == CommFailure::Gone)
        return true;
    // Under fAbortOnError (set by another program, or a driver's default) a line error
    // fails every read and wait until it is cleared.
    DWORD errors = 0;
    COMSTAT status{};
    calls_.clearCommError(port, &errors, &status);
    readerRecord().pauseFirst = true;
    return false;
}

bool Win32SerialPlatform::heldHere(int port) {
    std::lock_guard lock(mutex_);
    for (const auto& [handle, number] : held_) {
        if (number != port)
            continue;
        // A device that has gone fails every call on the old handle; then the port is
        // no longer held, and a fresh open tells what it is now.
        DCB state{};
        state.DCBlength = sizeof state;
        return GetCommState(win(handle), &state) != 0;
    }
    return false;
}

OpenResult Win32SerialPlatform::openPort(int port) {
    if (heldHere(port))
        return {kInvalidHandle, ERROR_ACCESS_DENIED};
    const std::wstring path = comDevicePath(port);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {kInvalidHandle, lastError()};
    // A failure after the device open leaves the port held, as the channel's open says.
    Status later = 0;
    if (!SetCommMask(h, EV_RXCHAR | EV_TXEMPTY)) {
        later = lastError();
    } else {
        // A read returns at once with what has arrived, possibly nothing; writes have no
        // time-out of the driver's own (write() bounds its wait).
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        if (!SetCommTimeouts(h, &timeouts))
            later = lastError();
    }
    std::lock_guard lock(mutex_);
    held_[native(h)] = port;
    return {native(h), later};
}

std::string Win32SerialPlatform::describeOpenFailure(int port, Status error) const {
    const std::string name = portName(port);
    if (port < 1 || port > kPortCount)
        return portOutOfRangeText(port);
    if (probeResultFromWin32Error(error) == kProbeBusy)
        return portInUseText(port);
    return name + ": " + win32::systemMessage(error);
}

ProbeResult Win32SerialPlatform::probePort(int port) {
    if (heldHere(port))
        return kProbeBusy;
    const std::wstring path = comDevicePath(port);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return probeResultFromWin32Error(lastError());
    CloseHandle(h);
    return kProbeFree;
}

void Win32SerialPlatform::closePort(NativeHandle port) {
    {
        std::lock_guard lock(mutex_);
        held_.erase(port);
    }
    CloseHandle(win(port));
}

Status Win32SerialPlatform::getState(NativeHandle port, Dcb& dcb) {
    DCB driver{};
    driver.DCBlength = sizeof driver;
    if (!GetCommState(win(port), &driver))
        return lastError();
    dcb = dcbFromWin32(driver);
    return 0;
}

Status Win32SerialPlatform::setState(NativeHandle port, const Dcb& dcb) {
    // The driver's own fields (XON/XOFF limits and characters, ...) are written back as
    // it reports them.
    DCB driver{};
    driver.DCBlength = sizeof driver;
    if (!GetCommState(win(port), &driver))
        return lastError();
    applyDcbToWin32(dcb, driver);
    return SetCommState(win(port), &driver) ? 0 : lastError();
}

Status Win32SerialPlatform::setModemLine(NativeHandle, ModemLine, bool) {
    // Applying a DTR or RTS control of disable or enable with SetCommState drives the
    // line at once; nothing is left to do.
    return 0;
}

Status Win32SerialPlatform::setBreak(NativeHandle port, bool on) {
    const BOOL done = on ? SetCommBreak(win(port)) : ClearCommBreak(win(port));
    return done ? 0 : lastError();
}

Status Win32SerialPlatform::write(NativeHandle port, const void* data, std::size_t count) {
    auto pending = std::make_unique<PendingWrite>(data, count);
    OVERLAPPED& overlapped = pending->overlapped;
    if (!overlapped.hEvent)
        return lastError();
    DWORD written = 0;
    if (!calls_.writeFile(win(port), pending->bytes.data(), static_cast<DWORD>(count), &written,
                          &overlapped)) {
        const Status error = lastError();
        if (error != ERROR_IO_PENDING)
            return error;
        if (WaitForSingleObject(overlapped.hEvent, millis(kSerialWriteTimeout)) != WAIT_OBJECT_0 &&
            !cancelled(win(port), overlapped)) {
            // The driver keeps the write: the record and its bytes stay with it.
            (void)pending.release();
            return ERROR_OPERATION_ABORTED;
        }
        if (!GetOverlappedResult(win(port), &overlapped, &written, FALSE))
            return lastError();
    }
    return written == count ? 0 : ERROR_WRITE_FAULT;
}

OpenResult Win32SerialPlatform::createStopSignal() {
    HANDLE stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!stop)
        return {kInvalidHandle, lastError()};
    return {native(stop), 0};
}

void Win32SerialPlatform::signalStop(NativeHandle stop) {
    SetEvent(win(stop));
}

void Win32SerialPlatform::closeStopSignal(NativeHandle stop) {
    CloseHandle(win(stop));
}

WaitResult Win32SerialPlatform::waitForInput(NativeHandle portHandle, NativeHandle stopHandle,
                                             bool watchPort) {
    const HANDLE port = win(portHandle);
    const HANDLE stop = win(stopHandle);
    if (!watchPort) {
        // The port has gone: only the stop signal can end this wait.
        WaitForSingleObject(stop, INFINITE);
        return WaitResult::Stop;
    }
    ReaderRecord& reader = readerRecord();
    if (!reader.wait.hEvent || !reader.read.hEvent)
        return WaitResult::PortGone;
    if (reader.pauseFirst) {
        reader.pauseFirst = false;
        if (WaitForSingleObject(stop, millis(kRetryPause)) == WAIT_OBJECT_0)
            return WaitResult::Stop;
    }
    if (!reader.pending) {
        if (stopRaised(stop))
            return WaitResult::Stop;
        // Bytes the driver holds already: a port event may never come for them (the event
        // came for the first byte of a burst longer than one read), so they are read
        // before waiting.
        DWORD errors = 0;
        COMSTAT status{};
        if (calls_.clearCommError(port, &errors, &status) && status.cbInQue > 0)
            return WaitResult::Readable;
        ResetEvent(reader.wait.hEvent);
        reader.port = port;
        if (calls_.waitCommEvent(port, &reader.events, &reader.wait)) {
            // Completed at once.
            return stopRaised(stop) ? WaitResult::Stop : WaitResult::Readable;
        }
        if (const DWORD error = GetLastError(); error != ERROR_IO_PENDING) {
            // A device that has gone fails every wait at once: waiting on would spin.
            // Otherwise a read tells what there is.
            return deviceGone(port, error) ? WaitResult::PortGone : WaitResult::Readable;
        }
        reader.pending = true;
    }
    const HANDLE handles[2] = {stop, reader.wait.hEvent};
    switch (WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0:
        // The wait stays pending; endReading ends it.
        return WaitResult::Stop;
    case WAIT_OBJECT_0 + 1: {
        DWORD unused = 0;
        reader.pending = false;
        if (!GetOverlappedResult(port, &reader.wait, &unused, FALSE) &&
            deviceGone(port, GetLastError()))
            return WaitResult::PortGone;
        return WaitResult::Readable;
    }
    default:
        // The handles are unusable: nothing more can be received, and waiting on would
        // only spin.
        return WaitResult::Stop;
    }
}

long Win32SerialPlatform::read(NativeHandle portHandle, std::uint8_t* buffer,
                               std::size_t capacity) {
    const HANDLE port = win(portHandle);
    ReaderRecord& reader = readerRecord();
    if (!reader.read.hEvent)
        return -1;
    const HANDLE done = reader.read.hEvent;
    ResetEvent(done);
    reader.read = OVERLAPPED{};
    reader.read.hEvent = done;
    reader.inbox.resize(capacity);
    DWORD count = 0;
    if (!calls_.readFile(port, reader.inbox.data(), static_cast<DWORD>(capacity), &count,
                         &reader.read)) {
        if (const DWORD error = GetLastError(); error != ERROR_IO_PENDING)
            return deviceGone(port, error) ? -1 : 0;
        // The time-outs make the read complete at once with what has arrived. A driver
        // that keeps it pending all the same has it cancelled rather than waited on for
        // ever, so that a Close never waits on this thread without bound.
        if (WaitForSingleObject(done, millis(kReadGrace)) != WAIT_OBJECT_0 &&
            !cancelled(port, reader.read)) {
            // Not even the cancel ends it: the record stays with the driver, and this
            // port is not read again.
            (void)tReader.release();
            return -1;
        }
        if (!GetOverlappedResult(port, &reader.read, &count, FALSE)) {
            // ERROR_OPERATION_ABORTED: the cancel above, or a line error; what arrived
            // before it (the count it gives) is delivered.
            if (deviceGone(port, GetLastError()))
                return -1;
        }
    }
    std::copy_n(reader.inbox.begin(), std::min<std::size_t>(count, capacity), buffer);
    return static_cast<long>(std::min<std::size_t>(count, capacity));
}

void Win32SerialPlatform::endReading(NativeHandle) {
    if (!tReader)
        return;
    ReaderRecord& reader = *tReader;
    if (reader.pending) {
        // An empty mask ends a pending event wait; CancelIoEx ends it where the driver
        // does not.
        SetCommMask(reader.port, 0);
        if (!cancelled(reader.port, reader.wait)) {
            // Still in the driver's hands: leave the record alive rather than free it
            // under a pending operation.
            (void)tReader.release();
            return;
        }
        DWORD unused = 0;
        GetOverlappedResult(reader.port, &reader.wait, &unused, FALSE);
        reader.pending = false;
    }
    tReader.reset();
}

std::unique_ptr<SerialPlatform> makePlatformSerial(std::filesystem::path) {
    // COM port numbers name the system's devices: there is no port folder on Windows.
    return std::make_unique<Win32SerialPlatform>();
}

} // namespace qv
