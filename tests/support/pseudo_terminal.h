#pragma once

// A pseudo-terminal whose slave stands in for a serial device: the program (or the
// channel under test) opens the slave, usually through a comN link in a port folder, and
// the test plays the device's far end through the master. No Qt.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace qv::test {

class PseudoTerminal {
public:
    // With `nonBlocking`, sends never wait: a full buffer drops the bytes.
    explicit PseudoTerminal(bool nonBlocking = false) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | (nonBlocking ? O_NONBLOCK : 0));
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            slave_ = ::ptsname(master_);
    }
    ~PseudoTerminal() { closeMaster(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return !slave_.empty(); }
    const std::string& slave() const { return slave_; }
    int master() const { return master_; }

    // What the device sends. True when all of it was taken.
    bool send(std::string_view bytes) {
        return master_ >= 0 &&
               ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Reads away whatever the other side wrote and nobody wants (non-blocking only).
    void drain() {
        char buffer[256];
        while (master_ >= 0 && ::read(master_, buffer, sizeof buffer) > 0) {
        }
    }
    // Reads exactly n bytes that the other side wrote, waiting for them at most `wait`.
    std::string receive(std::size_t n, std::chrono::milliseconds wait = std::chrono::seconds{3}) {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + wait;
        while (out.size() < n && std::chrono::steady_clock::now() < end) {
            pollfd in{master_, POLLIN, 0};
            if (::poll(&in, 1, 100) <= 0)
                continue;
            char buffer[64];
            const ssize_t got = ::read(master_, buffer, std::min(sizeof buffer, n - out.size()));
            if (got <= 0)
                break;
            out.append(buffer, static_cast<std::size_t>(got));
        }
        return out;
    }
    void setNonBlocking() { ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK); }
    // The device goes away: the slave hangs up.
    void closeMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string slave_;
};

} // namespace qv::test
