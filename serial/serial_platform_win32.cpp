#include "serial/serial_platform_win32.h"

#include "serial/win32_serial_map.h"

#include "app/services/win32_text.h"

#include <chrono>
#include <memory>

#include <windows.h>

namespace qv {

namespace {

// How long the end of a reader waits for its cancelled port wait to complete. The wait
// completes at once on Windows; should it not, its record is left alive rather than
// freed under the driver.
constexpr auto kCancelGrace = std::chrono::milliseconds{2000};
// How long a read that should return at once may stay pending before it is cancelled.
constexpr auto kReadGrace = std::chrono::milliseconds{100};

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

// The reader thread's overlapped state, alive from its first wait to endReading.
struct ReaderRecord {
    OVERLAPPED wait{};
    DWORD events = 0;
    bool pending = false; // an event wait is in flight on `port`
    HANDLE port = INVALID_HANDLE_VALUE;
    HANDLE readDone = nullptr;

    ReaderRecord() {
        wait.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~ReaderRecord() {
        if (wait.hEvent)
            CloseHandle(wait.hEvent);
        if (readDone)
            CloseHandle(readDone);
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

// Bytes the driver holds already: a port event may never come for them (the event came
// for the first byte of a burst longer than one read), so they are read before waiting.
bool inputQueued(HANDLE port) {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(port, &errors, &status) && status.cbInQue > 0;
}

} // namespace

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
    const std::string name = "COM" + std::to_string(port);
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
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done)
        return lastError();
    OVERLAPPED overlapped{};
    overlapped.hEvent = done;
    DWORD written = 0;
    Status result = 0;
    if (!WriteFile(win(port), data, static_cast<DWORD>(count), &written, &overlapped)) {
        result = lastError();
        if (result == ERROR_IO_PENDING) {
            if (WaitForSingleObject(done, millis(kSerialWriteTimeout)) != WAIT_OBJECT_0)
                CancelIoEx(win(port), &overlapped);
            // The record must outlive the operation: wait for its end, cancelled or not.
            result = GetOverlappedResult(win(port), &overlapped, &written, TRUE) ? 0 : lastError();
        }
    }
    CloseHandle(done);
    if (result == 0 && written != count)
        result = ERROR_WRITE_FAULT;
    return result;
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
    if (!reader.wait.hEvent || !reader.readDone)
        return WaitResult::PortGone;
    if (!reader.pending) {
        if (stopRaised(stop))
            return WaitResult::Stop;
        if (inputQueued(port))
            return WaitResult::Readable;
        ResetEvent(reader.wait.hEvent);
        reader.port = port;
        if (WaitCommEvent(port, &reader.events, &reader.wait)) {
            // Completed at once.
            return stopRaised(stop) ? WaitResult::Stop : WaitResult::Readable;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            // A device that has gone fails every wait at once; waiting on would spin.
            return WaitResult::PortGone;
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
        // Whatever the wait's outcome, a read tells whether the device still delivers.
        GetOverlappedResult(port, &reader.wait, &unused, FALSE);
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
    if (!reader.readDone)
        return -1;
    ResetEvent(reader.readDone);
    OVERLAPPED overlapped{};
    overlapped.hEvent = reader.readDone;
    DWORD count = 0;
    if (!ReadFile(port, buffer, static_cast<DWORD>(capacity), &count, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING)
            return -1;
        // The time-outs make the read complete at once with what has arrived. A driver
        // that keeps it pending all the same has it cancelled rather than waited on for
        // ever, so that a Close never waits on this thread without bound.
        if (WaitForSingleObject(reader.readDone, millis(kReadGrace)) != WAIT_OBJECT_0)
            CancelIoEx(port, &overlapped);
        if (!GetOverlappedResult(port, &overlapped, &count, TRUE))
            return GetLastError() == ERROR_OPERATION_ABORTED ? static_cast<long>(count) : -1;
    }
    return static_cast<long>(count);
}

void Win32SerialPlatform::endReading(NativeHandle) {
    if (!tReader)
        return;
    ReaderRecord& reader = *tReader;
    if (reader.pending) {
        // An empty mask ends a pending event wait; CancelIoEx ends it where the driver
        // does not.
        SetCommMask(reader.port, 0);
        CancelIoEx(reader.port, &reader.wait);
        if (WaitForSingleObject(reader.wait.hEvent, millis(kCancelGrace)) != WAIT_OBJECT_0) {
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
