#include "serial/port_lock_posix.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace fs = std::filesystem;

namespace {

// Enough of a lock file for its first line (UUCP pads the pid to ten places) and for all
// of this program's five lines.
constexpr std::size_t kLockHead = 1024;
// Removing a stale lock and publishing ours may lose a race with other programs doing the
// same; after this many rounds the port counts as busy.
constexpr int kTakeRounds = 5;
// A lock file whose first line is not complete yet may be one that its program is still
// writing: for this long after its last change it holds the port.
constexpr auto kFreshLock = std::chrono::seconds{5};

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

// Whether the file behind `descriptor` was changed less than kFreshLock ago (or, the
// clock having been set back, claims to be changed less than that ahead).
bool changedJustNow(int descriptor) {
    struct stat info {};
    timespec now{};
    if (::fstat(descriptor, &info) != 0 || ::clock_gettime(CLOCK_REALTIME, &now) != 0)
        return false;
    const auto age = std::chrono::seconds{now.tv_sec - info.st_mtim.tv_sec} +
                     std::chrono::nanoseconds{now.tv_nsec - info.st_mtim.tv_nsec};
    return std::chrono::abs(age) < kFreshLock;
}

// Whether `head` (a whole lock file) is in the five-line format of a copy of this
// program: such a copy holds the lock's flock for as long as the file exists.
bool ownFormat(std::string_view head) {
    if (std::count(head.begin(), head.end(), '\n') != 5 || !head.ends_with('\n'))
        return false;
    const std::size_t first = head.find('\n');
    const std::string_view program = head.substr(first + 1, head.find('\n', first + 1) - first - 1);
    return !program.empty() && program == executableName();
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
    const std::string_view text(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    // Made by a program that has not finished writing it, or has just died doing so.
    if (got >= 0 && text.find('\n') == std::string_view::npos && changedJustNow(descriptor))
        return LockHolder::Live;
    const pid_t pid = namedProcess(text);
    if (pid == 0)
        return LockHolder::Unknown;
    // One of our own without its flock: its process has ended, whoever has its id now.
    if (shared && ownFormat(text))
        return LockHolder::Dead;
    // EPERM: the process is there, it belongs to someone else.
    if (::kill(pid, 0) == 0 || errno == EPERM)
        return LockHolder::Live;
    return errno == ESRCH ? LockHolder::Dead : LockHolder::Unknown;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

enum class Removal {
    Gone,    // removed, or not there any more
    Kept,    // no longer stale, or another program is looking at it this moment
    Refused, // the system does not let this process remove it
};

// Removes the lock file at `file` if it is still stale and nobody holds its flock; the
// flock taken meanwhile keeps a program that does the same from removing a fresh lock
// made after this one went.
Removal removeStale(const fs::path& file) {
    const int descriptor = openLock(file);
    if (descriptor < 0)
        return errno == ENOENT ? Removal::Gone : Removal::Kept;
    Removal removal = Removal::Kept;
    struct stat opened {
    }, there{};
    if (holderOf(descriptor) == LockHolder::Dead && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
        ::fstat(descriptor, &opened) == 0 && ::lstat(file.c_str(), &there) == 0 &&
        sameFile(opened, there))
        removal = ::unlink(file.c_str()) == 0 || errno == ENOENT ? Removal::Gone : Removal::Refused;
    ::close(descriptor);
    return removal;
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
    // The lock is made complete and flocked under a name of its own, then published by
    // link(), which never replaces a file: nobody ever finds it half written or free.
    std::string temporary =
        (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0)
        return true; // no folder, not writable: no lock file
    const std::string contents = ownLockContents();
    const bool complete =
        ::fchmod(descriptor, 0644) == 0 && ::write(descriptor, contents.data(), contents.size()) ==
                                               static_cast<ssize_t>(contents.size());
    // Nobody knows the file yet: the flock is free, unless the folder has no flocks.
    ::flock(descriptor, LOCK_EX | LOCK_NB);
    auto outcome = [&](bool taken) {
        ::unlink(temporary.c_str());
        if (taken) {
            file_ = file;
            descriptor_ = descriptor;
        } else {
            ::close(descriptor);
        }
    };
    // A lock that names nobody would stand in every reader's way.
    if (!complete)
        return outcome(false), true;
    for (int round = 0; round < kTakeRounds; ++round) {
        if (::link(temporary.c_str(), file.c_str()) == 0)
            return outcome(true), true;
        if (errno != EEXIST)
            return outcome(false), true; // a folder without hard links: no lock file
        switch (lockHolder(file)) {
        case LockHolder::Live:
            return outcome(false), false;
        case LockHolder::Dead:
            if (removeStale(file) == Removal::Refused)
                return outcome(false), true; // not ours to remove: no lock file
            break;
        case LockHolder::None:
            break; // gone meanwhile
        case LockHolder::Unknown:
            return outcome(false), true; // not ours to remove: no lock file
        }
    }
    // Others kept coming and going: the port counts as in use.
    return outcome(false), false;
}

void PortLockFile::release() {
    if (descriptor_ < 0)
        return;
    // Another program may have removed this file and made its own in its place.
    struct stat mine {
    }, there{};
    if (::fstat(descriptor_, &mine) == 0 && ::lstat(file_.c_str(), &there) == 0 &&
        sameFile(mine, there))
        ::unlink(file_.c_str());
    ::close(descriptor_);
    descriptor_ = -1;
}

} // namespace qv
