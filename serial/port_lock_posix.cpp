#include "serial/port_lock_posix.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv {

namespace fs = std::filesystem;

namespace {

// Enough of a lock file for its first line: UUCP pads the pid to ten places.
constexpr std::size_t kLockHead = 128;
// Removing a stale lock and making ours may lose a race with another program doing the
// same; after this many rounds the port is opened without a lock file.
constexpr int kTakeRounds = 3;
// How many milliseconds a new lock file waits for its flock at most.
constexpr int kFlockWaits = 50;

// Opens a lock file for reading without following a link and without blocking on
// anything that is not a plain file. -1 and errno on failure.
int openLock(const fs::path& file) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0)
        return -1;
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        errno = EINVAL;
        return -1;
    }
    return descriptor;
}

// The process id that `head` (the start of a lock file) names on its first line, or 0.
pid_t namedProcess(std::string_view head) {
    std::size_t at = head.find_first_not_of(" \t");
    if (at == std::string_view::npos)
        return 0;
    long long pid = 0;
    const std::size_t digits = at;
    while (at < head.size() && head[at] >= '0' && head[at] <= '9' && pid <= INT_MAX)
        pid = pid * 10 + (head[at++] - '0');
    if (at == digits || pid <= 0 || pid > INT_MAX)
        return 0;
    if (at < head.size() && head[at] != '\n' && head[at] != ' ' && head[at] != '\t' &&
        head[at] != '\r')
        return 0;
    return static_cast<pid_t>(pid);
}

// What the open lock file says; takes and drops a shared flock to see whether its holder
// keeps one.
LockHolder holderOf(int descriptor) {
    // A folder without flock support (ENOLCK) leaves the process id to decide.
    const bool shared = ::flock(descriptor, LOCK_SH | LOCK_NB) == 0;
    if (!shared && errno == EWOULDBLOCK)
        return LockHolder::Live;
    char head[kLockHead];
    const ssize_t got = ::pread(descriptor, head, sizeof head, 0);
    if (shared)
        ::flock(descriptor, LOCK_UN);
    if (got <= 0)
        return LockHolder::Unknown;
    const pid_t pid = namedProcess({head, static_cast<std::size_t>(got)});
    if (pid == 0)
        return LockHolder::Unknown;
    // EPERM: the process is there, it belongs to someone else.
    if (::kill(pid, 0) == 0 || errno == EPERM)
        return LockHolder::Live;
    return errno == ESRCH ? LockHolder::Dead : LockHolder::Unknown;
}

// Takes the exclusive flock of a lock file just made. A reader in another program may
// hold it shared for the moment of a read.
void holdFlock(int descriptor) {
    for (int wait = 0; wait < kFlockWaits; ++wait) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds{1});
    }
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the lock file at `file` if it still names a dead process and nobody holds its
// flock; the flock taken meanwhile keeps a program that does the same from removing a
// fresh lock made after this one went.
void removeStale(const fs::path& file) {
    const int descriptor = openLock(file);
    if (descriptor < 0)
        return;
    struct stat opened {}, there {};
    if (holderOf(descriptor) == LockHolder::Dead && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
        ::fstat(descriptor, &opened) == 0 && ::lstat(file.c_str(), &there) == 0 &&
        sameFile(opened, there))
        ::unlink(file.c_str());
    ::close(descriptor);
}

// The first line of a small system file, or "".
std::string firstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string executableName() {
    char target[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", target, sizeof target - 1);
    if (length <= 0)
        return {};
    std::string_view path(target, static_cast<std::size_t>(length));
    // The link of a program whose file was replaced while it runs.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted))
        path.remove_suffix(kDeleted.size());
    return std::string(path.substr(path.rfind('/') + 1));
}

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

// The machine id where Qt's programs read it, so that they see our lock as one of their
// own machine's.
std::string machineId() {
    std::string id = firstLine("/var/lib/dbus/machine-id");
    return id.empty() ? firstLine("/usr/local/var/lib/dbus/machine-id") : id;
}

} // namespace

fs::path systemLockFolder() {
    std::error_code ec;
    const fs::path run = "/run/lock";
    return fs::is_directory(run, ec) ? run : fs::path("/var/lock");
}

std::string lockFileName(std::string_view devicePath) {
    constexpr std::string_view kDev = "/dev/";
    if (devicePath.starts_with(kDev))
        devicePath.remove_prefix(kDev.size());
    std::string name = "LCK..";
    for (char c : devicePath)
        name.push_back(c == '/' ? '_' : c);
    return name;
}

std::optional<fs::path> lockFileFor(const fs::path& lockFolder, const std::string& realDevice) {
    if (lockFolder.empty() || realDevice.empty())
        return std::nullopt;
    return lockFolder / lockFileName(realDevice);
}

LockHolder lockHolder(const fs::path& file) {
    const int descriptor = openLock(file);
    if (descriptor < 0)
        return errno == ENOENT ? LockHolder::None : LockHolder::Unknown;
    const LockHolder holder = holderOf(descriptor);
    ::close(descriptor);
    return holder;
}

std::string ownLockContents() {
    return std::to_string(::getpid()) + "\n" + executableName() + "\n" + hostName() + "\n" +
           machineId() + "\n" + firstLine("/proc/sys/kernel/random/boot_id") + "\n";
}

PortLockFile::PortLockFile(PortLockFile&& other) noexcept
    : file_(std::move(other.file_)), descriptor_(other.descriptor_) {
    other.descriptor_ = -1;
}

PortLockFile& PortLockFile::operator=(PortLockFile&& other) noexcept {
    if (this != &other) {
        release();
        file_ = std::move(other.file_);
        descriptor_ = other.descriptor_;
        other.descriptor_ = -1;
    }
    return *this;
}

bool PortLockFile::take(const fs::path& file) {
    for (int round = 0; round < kTakeRounds; ++round) {
        const int descriptor =
            ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (descriptor >= 0) {
            file_ = file;
            descriptor_ = descriptor;
            // The flock first: a program that finds the file still empty sees it held.
            holdFlock(descriptor);
            ::fchmod(descriptor, 0644);
            const std::string contents = ownLockContents();
            // A lock that names nobody would stand in every reader's way.
            if (::write(descriptor, contents.data(), contents.size()) !=
                static_cast<ssize_t>(contents.size()))
                release();
            return true;
        }
        if (errno != EEXIST)
            return true; // no folder, not writable: no lock file
        switch (lockHolder(file)) {
        case LockHolder::Live:
            return false;
        case LockHolder::Dead:
            removeStale(file);
            break;
        case LockHolder::None:
            break; // gone meanwhile
        case LockHolder::Unknown:
            return true; // not ours to remove
        }
    }
    return true;
}

void PortLockFile::release() {
    if (descriptor_ < 0)
        return;
    // Another program may have removed this file and made its own in its place.
    struct stat mine {}, there {};
    if (::fstat(descriptor_, &mine) == 0 && ::lstat(file_.c_str(), &there) == 0 &&
        sameFile(mine, there))
        ::unlink(file_.c_str());
    ::close(descriptor_);
    descriptor_ = -1;
}

} // namespace qv
