#include "tools/pty_port.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace qv::sim {
namespace {

std::string errnoText(int error) {
    return std::generic_category().message(error);
}

} // namespace

std::optional<std::string> PtyPort::open() {
    close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0)
        return "cannot create a pseudo-terminal: " + errnoText(errno);
    auto fail = [master](const char* what) {
        const int error = errno;
        ::close(master);
        return std::optional<std::string>(std::string(what) + ": " + errnoText(error));
    };
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return fail("cannot unlock the pseudo-terminal");
    ::fcntl(master, F_SETFD, FD_CLOEXEC);

    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0)
        return fail("cannot name the pseudo-terminal");

    // The line settings of a pseudo-terminal are the slave's; set through the master
    // they hold before anyone opens the slave. Raw: no CR-to-LF mapping, no echo.
    termios tio{};
    if (::tcgetattr(master, &tio) != 0)
        return fail("cannot read the pseudo-terminal's settings");
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(master, TCSANOW, &tio) != 0)
        return fail("cannot put the pseudo-terminal in raw mode");

    // Until the slave has been opened once, the master does not report a hang-up when
    // nobody holds it; open and close it once so hasReader() holds from the start.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail("cannot open the pseudo-terminal's slave");
    ::close(slave);

    master_ = master;
    slavePath_ = name;
    return std::nullopt;
}

void PtyPort::close() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
    slavePath_.clear();
}

bool PtyPort::hasReader() const {
    if (master_ < 0)
        return false;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & POLLHUP) == 0;
}

PtyPort::SendResult PtyPort::send(std::string_view bytes) {
    if (!hasReader())
        return SendResult::NoReader;
    while (!bytes.empty()) {
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && errno == EIO ? SendResult::NoReader : SendResult::BufferFull;
    }
    return SendResult::Sent;
}

void PtyPort::waitForHangUp(std::chrono::nanoseconds timeout, const sigset_t& waitMask) const {
    if (master_ < 0)
        return;
    const auto ns = std::max<std::int64_t>(0, timeout.count());
    const timespec limit{static_cast<std::time_t>(ns / 1'000'000'000),
                         static_cast<long>(ns % 1'000'000'000)};
    pollfd p{master_, 0, 0}; // POLLHUP is reported whatever is asked for
    ::ppoll(&p, 1, &limit, &waitMask);
}

void PtyPort::drain() {
    if (master_ < 0)
        return;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        return; // EAGAIN: nothing more; EIO: nobody holds the slave
    }
}

std::optional<std::string> createPortLink(const std::filesystem::path& link,
                                          const std::string& target, bool& replacedStale) {
    namespace fs = std::filesystem;
    replacedStale = false;
    std::error_code ec;
    const auto status = fs::symlink_status(link, ec);
    if (fs::exists(status)) {
        if (!fs::is_symlink(status))
            return link.string() +
                   " already exists and is not a link; remove it or use another --port";
        const auto pointsTo = fs::read_symlink(link, ec);
        if (fs::exists(link, ec)) // the link's target exists: in use, or reused since
            return link.string() + " already exists (-> " + pointsTo.string() +
                   "); another simulator may be using it. Remove it or use another --port";
        if (!fs::remove(link, ec) || ec)
            return "cannot remove the stale link " + link.string() + ": " + ec.message();
        replacedStale = true;
    }
    fs::create_symlink(target, link, ec);
    if (ec)
        return "cannot create the link " + link.string() + ": " + ec.message();
    return std::nullopt;
}

bool removePortLink(const std::filesystem::path& link, const std::string& target) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(link, ec)))
        return false;
    if (fs::read_symlink(link, ec) != fs::path(target) || ec)
        return false;
    return fs::remove(link, ec) && !ec;
}

} // namespace qv::sim
