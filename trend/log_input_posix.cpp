// The log file on POSIX descriptors. Opened non-blocking, so that a FIFO without a writer
// does not hold the open, and without becoming the controlling terminal; the type is then
// taken from the opened descriptor, so a name swapped after a check cannot slip through.

#include "trend/log_input.h"
#include "trend/log_reader.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::trend {

LogInput::~LogInput() {
    close();
}

void LogInput::close() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
    handle_ = -1;
}

LogReadStatus LogInput::open(const std::filesystem::path& path) {
    close();
    // A name that is not a regular file is refused before it is opened: opening some
    // devices has effects of its own (a serial line's control lines, a tape's rewind).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? LogReadStatus::Missing
                                                   : LogReadStatus::Unreadable;
    if (!S_ISREG(st.st_mode))
        return LogReadStatus::NotRegular;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? LogReadStatus::Missing : LogReadStatus::Unreadable;
    struct stat opened {};
    const bool known = ::fstat(fd, &opened) == 0;
    if (!known || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return known ? LogReadStatus::NotRegular : LogReadStatus::Unreadable;
    }
    handle_ = fd;
    return LogReadStatus::Ok;
}

std::optional<std::size_t> LogInput::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    if (handle_ < 0 || offset > static_cast<std::uint64_t>(LLONG_MAX))
        return std::nullopt;
    for (;;) {
        const ssize_t got =
            ::pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(offset));
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return std::nullopt;
    }
}

std::optional<std::uint64_t> LogInput::size() const {
    struct stat st {};
    if (handle_ < 0 || ::fstat(static_cast<int>(handle_), &st) != 0 || st.st_size < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

} // namespace qv::trend
