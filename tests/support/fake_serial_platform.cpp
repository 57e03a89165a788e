#include "tests/support/fake_serial_platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv::test {

Dcb FakeSerialPlatform::driverDefaults() {
    Dcb dcb;
    dcb.BaudRate = 38400;
    dcb.ByteSize = 7;
    dcb.Parity = 2;
    dcb.StopBits = 0;
    dcb.flags = Dcb::kBinary | Dcb::kOutxDsrFlow | Dcb::kDsrSensitivity;
    return dcb;
}

// --- test side ---

void FakeSerialPlatform::setDriverState(const Dcb& dcb) {
    std::lock_guard lock(mutex_);
    driverState_ = dcb;
}

void FakeSerialPlatform::addPort(int port) {
    std::lock_guard lock(mutex_);
    ports_[port].present = true;
    changed_.notify_all();
}

void FakeSerialPlatform::removePort(int port) {
    std::lock_guard lock(mutex_);
    Port& p = ports_[port];
    p.present = false;
    if (Handle* h = handle(p.open))
        h->gone = true;
    p.open = kInvalidHandle;
    changed_.notify_all();
}

void FakeSerialPlatform::holdByOther(int port, bool held) {
    std::lock_guard lock(mutex_);
    ports_[port].heldByOther = held;
}

void FakeSerialPlatform::setSensorRecord(int port, std::string record) {
    std::lock_guard lock(mutex_);
    ports_[port].record = std::move(record);
}

void FakeSerialPlatform::inject(int port, const std::string& bytes) {
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    if (it == ports_.end())
        return;
    if (Handle* h = handle(it->second.open)) {
        h->input.insert(h->input.end(), bytes.begin(), bytes.end());
        changed_.notify_all();
    }
}

std::vector<std::string> FakeSerialPlatform::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void FakeSerialPlatform::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void FakeSerialPlatform::failNext(const std::string& op, Status error) {
    std::lock_guard lock(mutex_);
    failures_[op] = error;
}

int FakeSerialPlatform::openCount(int port) const {
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    return it == ports_.end() ? 0 : it->second.openCount;
}

bool FakeSerialPlatform::isOpen(int port) const {
    std::lock_guard lock(mutex_);
    return openHandleOf(port) != nullptr;
}

Dcb FakeSerialPlatform::appliedState(int port) const {
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    return it == ports_.end() ? Dcb{} : it->second.applied;
}

bool FakeSerialPlatform::dtr(int port) const {
    std::lock_guard lock(mutex_);
    const Handle* h = openHandleOf(port);
    return h && h->dtr;
}

bool FakeSerialPlatform::rts(int port) const {
    std::lock_guard lock(mutex_);
    const Handle* h = openHandleOf(port);
    return h && h->rts;
}

bool FakeSerialPlatform::breakSet(int port) const {
    std::lock_guard lock(mutex_);
    const Handle* h = openHandleOf(port);
    return h && h->brk;
}

long FakeSerialPlatform::waitReturns() const {
    std::lock_guard lock(mutex_);
    return waitReturns_;
}

int FakeSerialPlatform::waitsWithoutPort() const {
    std::lock_guard lock(mutex_);
    return waitsWithoutPort_;
}

int FakeSerialPlatform::liveStopSignals() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(stops_.size());
}

int FakeSerialPlatform::readersEnded() const {
    std::lock_guard lock(mutex_);
    return readersEnded_;
}

bool FakeSerialPlatform::usedAfterEndReading() const {
    std::lock_guard lock(mutex_);
    return usedAfterEnd_;
}

// --- helpers (mutex_ held) ---

namespace {
// Whether the calling thread has ended its reading (thread ids are reused; this is not).
thread_local bool tReaderEnded = false;
} // namespace

void FakeSerialPlatform::noteReaderCall() {
    if (tReaderEnded)
        usedAfterEnd_ = true;
}

bool FakeSerialPlatform::takeFailure(const std::string& op, Status& error) {
    auto it = failures_.find(op);
    if (it == failures_.end())
        return false;
    error = it->second;
    failures_.erase(it);
    return true;
}

FakeSerialPlatform::Handle* FakeSerialPlatform::handle(NativeHandle h) {
    auto it = handles_.find(h);
    return it == handles_.end() ? nullptr : &it->second;
}

const FakeSerialPlatform::Handle* FakeSerialPlatform::openHandleOf(int port) const {
    auto p = ports_.find(port);
    if (p == ports_.end())
        return nullptr;
    auto h = handles_.find(p->second.open);
    return h == handles_.end() ? nullptr : &h->second;
}

template <typename Body>
Status FakeSerialPlatform::onHandle(const char* op, NativeHandle h, Body body) {
    std::lock_guard lock(mutex_);
    Status error = 0;
    if (takeFailure(op, error))
        return error;
    Handle* target = handle(h);
    if (!target)
        return EBADF;
    if (target->gone)
        return EIO;
    return body(*target);
}

Status FakeSerialPlatform::setLine(NativeHandle h, const char* name, bool on, bool Handle::*field) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::string(name) + (on ? " 1" : " 0"));
    }
    return onHandle(name, h, [&](Handle& target) {
        const bool wasOn = target.rts && target.dtr && !target.brk;
        target.*field = on;
        const bool isOn = target.rts && target.dtr && !target.brk;
        const std::string& record = ports_[target.port].record;
        if (isOn && !wasOn && !record.empty()) {
            target.input.insert(target.input.end(), record.begin(), record.end());
            changed_.notify_all();
        }
        return Status{0};
    });
}

// --- SerialPlatform ---

OpenResult FakeSerialPlatform::openPort(int port) {
    std::lock_guard lock(mutex_);
    Status error = 0;
    if (takeFailure("open", error))
        return {kInvalidHandle, error};
    auto it = ports_.find(port);
    if (it == ports_.end() || !it->second.present)
        return {kInvalidHandle, ENOENT};
    Port& p = it->second;
    if (p.heldByOther || handle(p.open))
        return {kInvalidHandle, EBUSY};
    const NativeHandle h = nextHandle_++;
    Handle& opened = handles_[h];
    opened.port = port;
    opened.dcb = driverState_;
    p.open = h;
    ++p.openCount;
    // A later step of the device's open failing: the port is held all the same.
    takeFailure("openLater", error);
    return {h, error};
}

std::string FakeSerialPlatform::describeOpenFailure(int port, Status error) const {
    return portName(port) + ": " + std::strerror(static_cast<int>(error));
}

void FakeSerialPlatform::holdProbes(int port) {
    std::lock_guard lock(mutex_);
    heldProbes_ = port;
}

void FakeSerialPlatform::releaseProbes() {
    {
        std::lock_guard lock(mutex_);
        heldProbes_.reset();
    }
    changed_.notify_all();
}

int FakeSerialPlatform::probesDone() const {
    std::lock_guard lock(mutex_);
    return probesDone_;
}

ProbeResult FakeSerialPlatform::probePort(int port) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return heldProbes_ != port; });
    ++probesDone_;
    auto it = ports_.find(port);
    if (it == ports_.end() || !it->second.present)
        return kProbeAbsent;
    if (it->second.heldByOther || handle(it->second.open))
        return kProbeBusy;
    return kProbeFree;
}

void FakeSerialPlatform::closePort(NativeHandle port) {
    std::lock_guard lock(mutex_);
    auto it = handles_.find(port);
    if (it == handles_.end())
        return;
    Port& p = ports_[it->second.port];
    if (p.open == port)
        p.open = kInvalidHandle;
    handles_.erase(it);
    changed_.notify_all();
}

Status FakeSerialPlatform::getState(NativeHandle port, Dcb& dcb) {
    return onHandle("getState", port, [&](Handle& h) {
        dcb = h.dcb;
        return Status{0};
    });
}

Status FakeSerialPlatform::setState(NativeHandle port, const Dcb& dcb) {
    return onHandle("setState", port, [&](Handle& h) {
        h.dcb = dcb;
        ports_[h.port].applied = dcb;
        return Status{0};
    });
}

Status FakeSerialPlatform::setModemLine(NativeHandle port, ModemLine line, bool on) {
    return line == ModemLine::Dtr ? setLine(port, "dtr", on, &Handle::dtr)
                                  : setLine(port, "rts", on, &Handle::rts);
}

Status FakeSerialPlatform::setBreak(NativeHandle port, bool on) {
    return setLine(port, "break", on, &Handle::brk);
}

Status FakeSerialPlatform::write(NativeHandle port, const void*, std::size_t) {
    return onHandle("write", port, [](Handle&) { return Status{0}; });
}

OpenResult FakeSerialPlatform::createStopSignal() {
    std::lock_guard lock(mutex_);
    Status error = 0;
    if (takeFailure("stop", error))
        return {kInvalidHandle, error};
    const NativeHandle h = nextHandle_++;
    stops_[h] = false;
    return {h, 0};
}

void FakeSerialPlatform::signalStop(NativeHandle stop) {
    std::lock_guard lock(mutex_);
    auto it = stops_.find(stop);
    if (it != stops_.end())
        it->second = true;
    changed_.notify_all();
}

void FakeSerialPlatform::closeStopSignal(NativeHandle stop) {
    std::lock_guard lock(mutex_);
    stops_.erase(stop);
    changed_.notify_all();
}

WaitResult FakeSerialPlatform::waitForInput(NativeHandle port, NativeHandle stop, bool watchPort) {
    std::unique_lock lock(mutex_);
    noteReaderCall();
    WaitResult result = WaitResult::Stop;
    if (!watchPort)
        ++waitsWithoutPort_;
    changed_.wait(lock, [&] {
        auto s = stops_.find(stop);
        if (s == stops_.end() || s->second) {
            // Auto-reset: the wait that sees the signal consumes it. A signal closed
            // under the waiter also ends the wait rather than hanging it.
            if (s != stops_.end())
                s->second = false;
            result = WaitResult::Stop;
            return true;
        }
        if (!watchPort)
            return false;
        const Handle* h = handle(port);
        if (!h || h->gone) {
            result = WaitResult::PortGone;
            return true;
        }
        if (!h->input.empty()) {
            result = WaitResult::Readable;
            return true;
        }
        return false;
    });
    if (!watchPort)
        --waitsWithoutPort_;
    ++waitReturns_;
    return result;
}

long FakeSerialPlatform::read(NativeHandle port, std::uint8_t* buffer, std::size_t capacity) {
    std::lock_guard lock(mutex_);
    noteReaderCall();
    Handle* h = handle(port);
    if (!h || h->gone)
        return -1;
    const std::size_t n = std::min(capacity, h->input.size());
    std::copy_n(h->input.begin(), n, buffer);
    h->input.erase(h->input.begin(), h->input.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<long>(n);
}

void FakeSerialPlatform::endReading(NativeHandle) {
    std::lock_guard lock(mutex_);
    ++readersEnded_;
    tReaderEnded = true;
}

} // namespace qv::test
