// The settings store outside Windows: one INI file per application,
// settingsFilePath(company, application), in the format of settings/ini_file.h. Each read
// reads the file anew; each write reads it, changes the one value and replaces the file
// whole (a new file renamed over it), so that a reader never sees half a file and a value
// another copy of the program wrote meanwhile stays.

#include "settings/default_log_file.h"
#include "settings/ini_file.h"
#include "settings/publish_settings.h"
#include "settings/settings_store.h"
#include "settings/user_folder.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv {
namespace {

namespace fs = std::filesystem;

// A settings file is a few hundred bytes; anything beyond this is not one, and is not
// read into memory.
constexpr off_t kLargestFile = 1 << 20;
// How long a write waits for another copy of the program to finish its own.
constexpr auto kLockWait = std::chrono::seconds{2};
constexpr auto kLockRetry = std::chrono::milliseconds{10};

std::string fullKey(const char* section, const char* entry) {
    if (section == nullptr || *section == '\0')
        return entry;
    return std::string(section) + "/" + entry;
}

struct Contents {
    enum class State { Missing, Unreadable, Read } state = State::Missing;
    ini::Parsed parsed;
};

// The file's contents. Only a regular file is read, opened without waiting (a pipe or
// device put in its place is unreadable, not waited on); no file, or one whose folder is
// missing, is an empty store.
Contents load(const fs::path& path) {
    Contents contents;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        contents.state = errno == ENOENT || errno == ENOTDIR ? Contents::State::Missing
                                                             : Contents::State::Unreadable;
        return contents;
    }
    contents.state = Contents::State::Unreadable;
    struct stat info {};
    std::string bytes;
    bool complete = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kLargestFile) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || bytes.size() > static_cast<std::size_t>(kLargestFile)) {
                complete = n == 0;
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (complete && bytes.size() <= static_cast<std::size_t>(kLargestFile)) {
        contents.state = Contents::State::Read;
        contents.parsed = ini::parse(bytes);
    }
    return contents;
}

// The process's file-creation mask, read without changing it.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:"))
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 022;
}

// While held, no other copy of the program writes the file: an exclusive lock on
// "<file>.lock" beside it, removed again when done. Waits at most kLockWait.
class WriteLock {
public:
    explicit WriteLock(const fs::path& file) : path_(file.string() + ".lock") {
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        while (!tryTake() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kLockRetry);
    }
    ~WriteLock() {
        if (fd_ < 0)
            return;
        ::unlink(path_.c_str());
        ::close(fd_);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    bool held() const { return fd_ >= 0; }

private:
    bool tryTake() {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        // The lock counts only while the file is still the one at the path: a holder that
        // finished removed it, and a newcomer's file is another one.
        struct stat held {
        }, named{};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
            ::stat(path_.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            const std::string owner = std::to_string(::getpid()) + "\n";
            [[maybe_unused]] const auto written = ::write(fd, owner.data(), owner.size());
            fd_ = fd;
            return true;
        }
        ::close(fd);
        return false;
    }

    std::string path_;
    int fd_ = -1;
};

bool writeAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces `path` by a file holding `bytes`: written beside it, synced, renamed over it.
// An existing file keeps its permissions; a new one can be read by everyone.
bool replaceFile(const fs::path& path, const std::string& bytes, std::optional<mode_t> mode) {
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const mode_t permissions = mode ? *mode : ((0666 & ~currentUmask()) | 0644);
    const bool written = ::fchmod(fd, permissions) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Writes one value: the file is read, changed and replaced. A file that does not parse
// is replaced by one that holds just this value (its contents were never used, and
// writing them back would make them count). True when the value reached the file and the
// rest of the file was whole.
bool writeValue(const fs::path& named, std::string_view key, ini::Value value) {
    std::error_code error;
    // The file a link names is the one replaced; the link stays.
    fs::path path = named;
    if (fs::is_symlink(fs::symlink_status(named, error))) {
        path = named.parent_path() / fs::read_symlink(named, error);
        if (error)
            return false;
    }

    Contents contents = load(path);
    if (contents.state == Contents::State::Unreadable)
        return false;
    std::optional<mode_t> mode;
    if (contents.state == Contents::State::Missing) {
        fs::create_directories(path.parent_path(), error);
        if (error)
            return false;
    } else {
        // A file the user may read but not write stays as it is.
        if (::access(path.c_str(), R_OK | W_OK) != 0)
            return false;
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0)
            mode = info.st_mode & 07777;
    }

    const WriteLock lock(named);
    if (!lock.held())
        return false;
    // Read again under the lock: what another copy wrote meanwhile stays.
    contents = load(path);
    if (contents.state == Contents::State::Unreadable)
        return false;
    const bool parses = contents.state == Contents::State::Missing || contents.parsed.fileOk;
    ini::Entries entries = parses ? std::move(contents.parsed.entries) : ini::Entries{};
    ini::set(entries, key, std::move(value));
    // A file that holds the broker's password is its owner's alone, whatever it was.
    if (ini::find(entries, kMqttPasswordEntry) != nullptr)
        mode = (mode.value_or(0600) & 0700) | 0600;
    if (!replaceFile(path, ini::serialize(entries), mode))
        return false;
    return !parses || contents.state == Contents::State::Missing || contents.parsed.linesOk;
}

std::optional<ini::Value> readValue(const fs::path& path, std::string_view key) {
    const Contents contents = load(path);
    // A file that does not parse is not trusted at all.
    if (contents.state != Contents::State::Read || !contents.parsed.fileOk)
        return std::nullopt;
    if (const ini::Value* value = ini::find(contents.parsed.entries, key))
        return *value;
    return std::nullopt;
}

} // namespace

int SettingsStore::GetProfileInt(const char* section, const char* entry, int defaultValue) const {
    const auto value = readValue(settingsFilePath(company_, application_), fullKey(section, entry));
    const auto number = value ? ini::asInteger(*value) : std::nullopt;
    if (!number || *number < INT_MIN || *number > INT_MAX)
        return defaultValue;
    return static_cast<int>(*number);
}

std::string SettingsStore::GetProfileString(const char* section, const char* entry,
                                            const std::string& defaultValue) const {
    const auto value = readValue(settingsFilePath(company_, application_), fullKey(section, entry));
    // Text only: a list (unquoted commas in a hand-edited file) or any other type is a
    // value of the wrong type.
    const auto text = value ? ini::asText(*value) : std::nullopt;
    return text ? *text : defaultValue;
}

bool SettingsStore::WriteProfileInt(const char* section, const char* entry, int value) {
    return writeValue(settingsFilePath(company_, application_), fullKey(section, entry),
                      ini::integerValue(value));
}

bool SettingsStore::WriteProfileString(const char* section, const char* entry,
                                       const std::string& value) {
    return writeValue(settingsFilePath(company_, application_), fullKey(section, entry),
                      ini::textValue(value));
}

// Outside Windows a program file has no extension to drop: "QV-5300.v2" is a name of
// its own, and a copy under it keeps values of its own.
std::string applicationNameFromProgramPath(const std::string& programPath) {
    return fs::path(programPath).filename().string();
}

std::string defaultLogFileName() {
    // A drive-letter path means nothing here; the user's home folder is where a user
    // looks for a file the program made on its own.
    return (homeFolder() / kLogFileBaseName).string();
}

} // namespace qv
