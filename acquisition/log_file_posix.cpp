// The log file on POSIX systems: a plain descriptor held with an exclusive advisory
// lock (flock) while open. Other programs can still read the file; a second instance of
// this program, or anything else asking for an exclusive lock, cannot open it.

#include "acquisition/log_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

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
    ~PosixLogFile() override { close(); }

    bool open(const std::string& path, bool truncate) override {
        close();
        // O_NONBLOCK only for the open itself: a pipe without a reader then fails at once
        // instead of freezing the window until someone reads it.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0)
            return false;
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            ::close(fd);
            return false;
        }
        regular_ = S_ISREG(st.st_mode);
        // Only a regular file is held and can be emptied; a device such as /dev/null is
        // shared by everyone and used as it is. The lock comes before any change, so a
        // file held by someone else is never emptied.
        if (regular_ && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        if (truncate && regular_ && ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            ::close(fd);
            return false;
        }
        fd_ = fd;
        path_ = path;
        fullPath_ = absolutePath(path);
        return true;
    }

    bool seekToEnd() override { return fd_ >= 0 && ::lseek(fd_, 0, SEEK_END) >= 0; }

    bool write(std::string_view data) override {
        if (fd_ < 0 || (regular_ && !stillNamedByPath()))
            return false;
        const off_t lineStart = regular_ ? ::lseek(fd_, 0, SEEK_CUR) : off_t{-1};
        std::size_t done = 0;
        bool ok = true;
        while (done < data.size()) {
            const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = false;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        // EINVAL and EROFS only say that this kind of file cannot be synchronised.
        if (ok && ::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS)
            ok = false;
        if (!ok && done > 0 && lineStart >= 0) {
            // A line that did not make it whole is not counted, and the caller writes it
            // again: cut the file back so that no torn or doubled line stays behind.
            if (::ftruncate(fd_, lineStart) == 0)
                ::lseek(fd_, lineStart, SEEK_SET);
        }
        return ok;
    }

    bool close() override {
        if (fd_ < 0)
            return true;
        const int fd = fd_;
        fd_ = -1;
        // On Linux the descriptor is released even when close reports EINTR; retrying
        // could close a descriptor another thread just opened.
        return ::close(fd) == 0 || errno == EINTR;
    }

    bool isOpen() const override { return fd_ >= 0; }
    std::string fullPath() const override { return fullPath_; }

private:
    // Whether the log's path still names the open file. A file deleted (or its folder
    // removed, or another file put in its place) while open still takes writes here,
    // but nobody will ever find those lines: such a write fails instead, so the user is
    // told and the line is not counted.
    bool stillNamedByPath() const {
        struct stat held {}, named {};
        return ::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &named) == 0 &&
               held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    }

    int fd_ = -1;
    bool regular_ = false;
    std::string path_; // as opened, for stillNamedByPath
    std::string fullPath_;
};

} // namespace

std::unique_ptr<LogFile> makePlatformLogFile() {
    return std::make_unique<PosixLogFile>();
}

} // namespace qv
