// The log file on POSIX systems: a plain descriptor held with an exclusive advisory
// lock (flock) while open. Other programs can still read the file; a second instance of
// this program, or anything else asking for an exclusive lock, cannot open it. Programs
// that take no lock can still append to it, so every line is appended (O_APPEND), never
// written at a position of our own that another's lines may have passed.
//
// The descriptor stays non-blocking: a pipe or terminal whose reader stops reading
// fails the write after the stall limit instead of holding the writer thread for ever.

#include "acquisition/log_file.h"

#include "acquisition/appended_line.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

using Steady = std::chrono::steady_clock;

// The absolute form of `path`, for messages: the resolved path when the file exists,
// otherwise the path joined to the working directory.
std::string absolutePath(const std::string& path) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        std::string result(resolved);
        std::free(resolved);
        return result;
    }
    if (!path.empty() && path.front() == '/')
        return path;
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr)
        return path;
    return std::string(cwd) + "/" + path;
}

class PosixLogFile final : public LogFile {
public:
    explicit PosixLogFile(std::chrono::milliseconds stallLimit) : stallLimit_(stallLimit) {}
    ~PosixLogFile() override { close(); }

    bool open(const std::string& path, bool truncate) override {
        close();
        fullPath_ = absolutePath(path);
        path_ = path;
        // Non-blocking: a pipe without a reader fails at once instead of waiting for one.
        // A terminal named as the log never becomes our controlling terminal.
        const int fd = ::open(
            path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
        if (fd < 0)
            return fail(errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return failClosing(fd, errno);
        regular_ = S_ISREG(st.st_mode);
        // Only a regular file is held and can be emptied; a device such as /dev/null is
        // shared by everyone and used as it is. The lock comes before any change, so a
        // file held by someone else is never emptied.
        if (regular_ && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            error_ = error == EWOULDBLOCK ? text::kLogInUse : std::strerror(error);
            return false;
        }
        if (truncate && regular_ && ::ftruncate(fd, 0) != 0)
            return failClosing(fd, errno);
        fd_ = fd;
        return true;
    }

    bool seekToEnd() override {
        return fd_ >= 0 && (::lseek(fd_, 0, SEEK_END) >= 0 || fail(errno));
    }

    bool write(std::string_view line) override {
        if (fd_ < 0)
            return fail(EBADF);
        if (regular_ && !stillNamedByPath()) {
            error_ = text::kLogReplaced;
            return false;
        }
        line_.begin();
        const auto deadline = Steady::now() + stallLimit_;
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                // An append leaves the offset right after the bytes it wrote.
                if (const off_t end = regular_ ? ::lseek(fd_, 0, SEEK_CUR) : off_t{-1}; end >= 0)
                    line_.wrote(end, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (waitWritable(deadline))
                    continue;
            } else {
                error_ = std::strerror(n < 0 ? errno : ENOSPC);
            }
            if (done > 0)
                cutBackLastWrite();
            return false;
        }
        return true;
    }

    bool sync() override {
        // EINVAL and EROFS only say that this kind of file cannot be synchronised.
        if (fd_ >= 0 && ::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS)
            return fail(errno);
        return fd_ >= 0;
    }

    void cutBackLastWrite() override {
        struct stat st {};
        if (fd_ < 0 || !regular_ || ::fstat(fd_, &st) != 0)
            return;
        if (const auto size = line_.cutBackTo(st.st_size))
            ::ftruncate(fd_, static_cast<off_t>(*size));
        line_.begin();
    }

    bool close() override {
        if (fd_ < 0)
            return true;
        const int fd = fd_;
        fd_ = -1;
        // On Linux the descriptor is released even when close reports EINTR; retrying
        // could close a descriptor another thread just opened.
        return ::close(fd) == 0 || errno == EINTR || fail(errno);
    }

    bool isOpen() const override { return fd_ >= 0; }
    std::string fullPath() const override { return fullPath_; }
    std::string lastErrorText() const override { return error_; }

private:
    bool fail(int error) {
        error_ = std::strerror(error);
        return false;
    }
    bool failClosing(int fd, int error) {
        ::close(fd);
        return fail(error);
    }

    // Waits until the reader takes data again; false (with the reason kept) once
    // `deadline` passes.
    bool waitWritable(Steady::time_point deadline) {
        for (;;) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now());
            if (left.count() <= 0) {
                error_ = logStalledText(stallLimit_);
                return false;
            }
            pollfd p{fd_, POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
            if (ready > 0)
                return true; // the write says what an error or hang-up means
            if (ready < 0 && errno != EINTR)
                return fail(errno);
        }
    }

    // Whether the log's path still names the open file. A file deleted (or its folder
    // removed, or another file put in its place) while open still takes writes here,
    // but nobody will ever find those lines: such a write fails instead, so the user is
    // told and the line is not counted.
    bool stillNamedByPath() const {
        struct stat held {
        }, named{};
        return ::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &named) == 0 &&
               held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    }

    const std::chrono::milliseconds stallLimit_;
    int fd_ = -1;
    bool regular_ = false;
    AppendedLine line_; // what the last write put in the file, regular files only
    std::string path_;  // as opened, for stillNamedByPath
    std::string fullPath_;
    std::string error_;
};

} // namespace

std::unique_ptr<LogFile> makePlatformLogFile() {
    return makePlatformLogFile(kLogStallLimit);
}

std::unique_ptr<LogFile> makePlatformLogFile(std::chrono::milliseconds stallLimit) {
    return std::make_unique<PosixLogFile>(stallLimit);
}

} // namespace qv
