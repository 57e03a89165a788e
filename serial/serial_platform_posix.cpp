#include "serial/serial_platform_posix.h"

#include "serial/port_map_posix.h"
#include "serial/probe_errors_posix.h"
#include "serial/termios_map_posix.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace qv {

namespace {

// After a read that failed without a hang-up, how long the reader waits for the stop
// signal alone before it watches the port again.
constexpr auto kFailedReadPause = std::chrono::milliseconds{50};

// The port whose last read on this thread failed without a hang-up, or -1. Only the
// reader thread of a port reads and waits on it, so the note needs no lock.
thread_local int tFailedRead = -1;

// Runs a system call again while a signal interrupts it.
template <typename Call> auto retry(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

int fd(NativeHandle handle) {
    return static_cast<int>(handle);
}

Status lastError() {
    return errno != 0 ? static_cast<Status>(errno) : static_cast<Status>(EIO);
}

// `path` with the user's home folder written as "~", as the user knows it.
std::string homeAbbreviated(const std::string& path) {
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return path;
    std::string prefix = home;
    if (prefix.size() > 1 && prefix.back() == '/')
        prefix.pop_back();
    if (path.starts_with(prefix + "/"))
        return "~" + path.substr(prefix.size());
    return path;
}

// The real path of the device that `path` leads to, all links followed; "" when it leads
// to no existing file.
std::string realDevice(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// A /dev/ttyS device exists for every UART slot the kernel reserves, with or without a
// UART behind it; the driver says "unknown" for the empty ones. `device` is the real path.
bool isEmptyUartSlot(int descriptor, const std::string& device) {
#if defined(__linux__) && defined(TIOCGSERIAL)
    constexpr std::string_view kFamily = "/dev/ttyS";
    const std::string_view name(device);
    if (!name.starts_with(kFamily) || name.size() == kFamily.size())
        return false;
    for (char c : name.substr(kFamily.size()))
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    serial_struct info{};
    if (ioctl(descriptor, TIOCGSERIAL, &info) != 0)
        return false; // the driver cannot tell: take the device as it is
    return info.type == PORT_UNKNOWN;
#else
    (void)descriptor;
    (void)device;
    return false;
#endif
}

// Opens the device at `path` (whose real path is `device`) for the channel
// (takeExclusive) or for a probe, which must leave no trace: no exclusive flag that could
// outlive it, no setting changed.
OpenResult acquire(const std::string& path, const std::string& device, bool takeExclusive) {
    const int descriptor =
        retry([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (descriptor < 0)
        return {kInvalidHandle, lastError()};
    auto fail = [descriptor](Status error) {
        ::close(descriptor);
        return OpenResult{kInvalidHandle, error};
    };
    if (retry([&] { return ::flock(descriptor, LOCK_EX | LOCK_NB); }) != 0)
        return fail(lastError());
#ifdef TIOCGEXCL
    int exclusive = 0;
    if (ioctl(descriptor, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
        return fail(EBUSY);
#endif
    termios settings{};
    if (tcgetattr(descriptor, &settings) != 0)
        return fail(lastError());
    if (isEmptyUartSlot(descriptor, device))
        return fail(ENXIO);
    // Without the flag the flock still keeps out every program that locks its port.
    if (takeExclusive)
        ioctl(descriptor, TIOCEXCL);
    return {descriptor, 0};
}

} // namespace

PosixSerialPlatform::PosixSerialPlatform(std::filesystem::path portsDir,
                                         std::filesystem::path lockFolder,
                                         std::filesystem::path consoleList)
    : portsDir_(std::move(portsDir)), lockFolder_(std::move(lockFolder)),
      consoleList_(std::move(consoleList)) {}

PosixSerialPlatform::~PosixSerialPlatform() {
    for (const auto& [reader, writer] : stopWriters_) {
        ::close(reader);
        ::close(writer);
    }
}

bool PosixSerialPlatform::heldHere(const std::string& path) {
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode))
        return false;
    std::lock_guard lock(mutex_);
    for (const auto& [descriptor, held] : held_) {
        const struct stat& node = held.node;
        if (node.st_rdev != device.st_rdev || node.st_ino != device.st_ino ||
            node.st_dev != device.st_dev)
            continue;
        // A device unplugged and plugged in again may come back under the same node;
        // the descriptor still held then belongs to the old one, which has hung up.
        pollfd state{descriptor, 0, 0};
        const bool hungUp =
            ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL));
        return !hungUp;
    }
    return false;
}

bool PosixSerialPlatform::ownLockFile(const std::filesystem::path& file) {
    std::lock_guard lock(mutex_);
    for (const auto& [descriptor, held] : held_)
        if (held.lock.file() == file)
            return true;
    return false;
}

OpenResult PosixSerialPlatform::openPort(int port) {
    const std::optional<std::string> path = portDevicePath(port, portsDir_);
    if (!path)
        return {kInvalidHandle, ENOENT};
    if (heldHere(*path))
        return {kInvalidHandle, EBUSY};
    const std::string device = realDevice(*path);
    if (isSystemConsole(device, consoleList_))
        return {kInvalidHandle, ENXIO};
    // The lock file before the device: a port another program has locked is left
    // untouched, and its lines stay as that program set them.
    PortLockFile lockFile;
    if (const auto file = lockFileFor(lockFolder_, device); file && !lockFile.take(*file))
        return {kInvalidHandle, EBUSY};
    const OpenResult opened = acquire(*path, device, true);
    if (opened.handle != kInvalidHandle) {
        HeldPort held{{}, std::move(lockFile)};
        ::fstat(fd(opened.handle), &held.node);
        std::lock_guard lock(mutex_);
        held_.insert_or_assign(fd(opened.handle), std::move(held));
    }
    return opened;
}

std::string PosixSerialPlatform::describeOpenFailure(int port, Status error) const {
    const std::string name = portName(port);
    if (port < 1 || port > kPortCount)
        return portOutOfRangeText(port);
    const std::optional<std::string> path = portDevicePath(port, portsDir_);
    std::error_code ec;
    if (!path) {
        if (std::filesystem::symlink_status(portsDir_, ec).type() ==
            std::filesystem::file_type::not_found)
            return substitute(text::kPortWithoutFolder,
                              {name, portEntryName(port), homeAbbreviated(portsDir_.string())});
        return substitute(text::kPortNotInFolder,
                          {name, portEntryName(port), homeAbbreviated(portsDir_.string())});
    }
    if (const std::string device = realDevice(*path); isSystemConsole(device, consoleList_))
        return substitute(text::kPortIsConsole, {name, device});
    if (error == EBUSY || error == EWOULDBLOCK)
        return portInUseText(port);
    // The device the entry leads to says more than the entry itself.
    std::string device = *path;
    if (const auto target = std::filesystem::read_symlink(*path, ec); !ec)
        device = (std::filesystem::path(*path).parent_path() / target).lexically_normal().string();
    return name + ": " + homeAbbreviated(device) + ": " + std::strerror(static_cast<int>(error));
}

ProbeResult PosixSerialPlatform::probePort(int port) {
    const std::optional<std::string> path = portDevicePath(port, portsDir_);
    if (!path)
        return kProbeAbsent;
    // Our own port is known to be busy without opening it again: as root the open
    // would pass the exclusive flag, and every open of a UART raises DTR and RTS.
    if (heldHere(*path))
        return kProbeBusy;
    const std::string device = realDevice(*path);
    // Not a port to offer: it cannot be used.
    if (isSystemConsole(device, consoleList_))
        return kProbeAbsent;
    // Our own lock file counts as nobody's here: heldHere has found its descriptor hung
    // up, and the device now under its path is another.
    if (const auto file = lockFileFor(lockFolder_, device);
        file && !ownLockFile(*file) && lockHolder(*file) == LockHolder::Live)
        return kProbeBusy;
    const OpenResult probe = acquire(*path, device, false);
    if (probe.handle == kInvalidHandle)
        return probeResultFromErrno(probe.error);
    ::close(fd(probe.handle));
    return kProbeFree;
}

void PosixSerialPlatform::closePort(NativeHandle port) {
    decltype(held_)::node_type held;
    {
        std::lock_guard lock(mutex_);
        held = held_.extract(fd(port));
    }
    ioctl(fd(port), TIOCNXCL);
    // The descriptor is gone whatever close reports; never close it twice.
    ::close(fd(port));
    // The lock file goes last, when the port is free for whoever finds it gone.
    if (held)
        held.mapped().lock.release();
}

Status PosixSerialPlatform::getState(NativeHandle port, Dcb& dcb) {
    termios settings{};
    if (tcgetattr(fd(port), &settings) != 0)
        return lastError();
    int lines = 0;
    std::optional<int> modemBits;
    if (ioctl(fd(port), TIOCMGET, &lines) == 0)
        modemBits = lines;
    dcb = dcbFromTermios(settings, modemBits);
    return 0;
}

Status PosixSerialPlatform::setState(NativeHandle port, const Dcb& dcb) {
    termios wanted{};
    if (tcgetattr(fd(port), &wanted) != 0)
        return lastError();
    const termios current = wanted;
    if (Status error = applyDcbToTermios(dcb, wanted))
        return error;
    // Settings already in force are not written again: Linux wakes every thread waiting
    // on the terminal at each tcsetattr, changed or not, and every modem-line change
    // sets the state anew, so the reader of a silent port would wake at each poll.
    if (termiosTaken(wanted, current))
        return 0;
    if (retry([&] { return tcsetattr(fd(port), TCSANOW, &wanted); }) != 0)
        return lastError();
    termios actual{};
    if (tcgetattr(fd(port), &actual) != 0)
        return lastError();
    return termiosTaken(wanted, actual) ? 0 : EINVAL;
}

Status PosixSerialPlatform::setModemLine(NativeHandle port, ModemLine line, bool on) {
    const int bit = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    return ioctl(fd(port), on ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : lastError();
}

Status PosixSerialPlatform::setBreak(NativeHandle port, bool on) {
    return ioctl(fd(port), on ? TIOCSBRK : TIOCCBRK) == 0 ? 0 : lastError();
}

Status PosixSerialPlatform::write(NativeHandle port, const void* data, std::size_t count) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + kSerialWriteTimeout;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (count > 0) {
        const ssize_t n = retry([&] { return ::write(fd(port), bytes, count); });
        if (n > 0) {
            bytes += n;
            count -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return lastError();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return ETIMEDOUT;
        pollfd out{fd(port), POLLOUT, 0};
        if (retry([&] { return ::poll(&out, 1, static_cast<int>(left.count())); }) < 0)
            return lastError();
    }
    return 0;
}

OpenResult PosixSerialPlatform::createStopSignal() {
    int ends[2];
    if (::pipe(ends) != 0)
        return {kInvalidHandle, lastError()};
    for (int end : ends) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    std::lock_guard lock(mutex_);
    stopWriters_[ends[0]] = ends[1];
    return {ends[0], 0};
}

void PosixSerialPlatform::signalStop(NativeHandle stop) {
    std::lock_guard lock(mutex_);
    auto it = stopWriters_.find(fd(stop));
    if (it == stopWriters_.end())
        return;
    const std::uint8_t token = 1;
    // A full pipe (EAGAIN) is a signal already raised.
    retry([&] { return ::write(it->second, &token, 1); });
}

void PosixSerialPlatform::closeStopSignal(NativeHandle stop) {
    std::lock_guard lock(mutex_);
    auto it = stopWriters_.find(fd(stop));
    if (it == stopWriters_.end())
        return;
    ::close(it->first);
    ::close(it->second);
    stopWriters_.erase(it);
}

WaitResult PosixSerialPlatform::waitForInput(NativeHandle port, NativeHandle stop, bool watchPort) {
    pollfd watched[2] = {{fd(stop), POLLIN, 0}, {fd(port), POLLIN, 0}};
    const nfds_t count = watchPort ? 2 : 1;
    // After a failed read of this port, the stop signal alone for a while: a descriptor
    // that keeps failing would otherwise make the reader a busy loop.
    int pause = -1;
    if (tFailedRead == fd(port)) {
        tFailedRead = -1;
        pause = static_cast<int>(kFailedReadPause.count());
    }
    for (;;) {
        const int ready = pause >= 0 ? ::poll(watched, 1, pause) : ::poll(watched, count, -1);
        if (pause >= 0 && ready == 0) {
            pause = -1;
            continue;
        }
        if (ready < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == ENOMEM)
                continue;
            // The descriptors are unusable: nothing more can be received, and
            // waiting on would only spin.
            return WaitResult::Stop;
        }
        if (watched[0].revents != 0) {
            // Auto-reset: take the token that raised the signal.
            std::uint8_t token = 0;
            retry([&] { return ::read(fd(stop), &token, 1); });
            return WaitResult::Stop;
        }
        if (!watchPort)
            continue;
        if (watched[1].revents & POLLIN)
            return WaitResult::Readable;
        if (watched[1].revents & (POLLHUP | POLLERR | POLLNVAL))
            return WaitResult::PortGone;
    }
}

long PosixSerialPlatform::read(NativeHandle port, std::uint8_t* buffer, std::size_t capacity) {
    const ssize_t n = retry([&] { return ::read(fd(port), buffer, capacity); });
    if (n > 0)
        return static_cast<long>(n);
    // A zero-length read: the far end hung up.
    if (n == 0)
        return -1;
    switch (readFailureFromErrno(errno)) {
    case ReadFailure::NoData:
        return 0;
    case ReadFailure::HungUp:
        return -1;
    case ReadFailure::Other:
        break;
    }
    // The device is still there but this read failed: nothing for this wake-up. The
    // descriptor probably still polls readable, so the next wait pauses first.
    tFailedRead = fd(port);
    return 0;
}

std::unique_ptr<SerialPlatform> makePlatformSerial(std::filesystem::path portsDir) {
    return std::make_unique<PosixSerialPlatform>(std::move(portsDir), systemLockFolder());
}

} // namespace qv
