#pragma once

// The simulator's side of its serial line: the master of a pseudo-terminal whose slave
// the logger opens through a "comN" link in a port folder. Single-threaded.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qv::sim {

class PtyPort {
public:
    PtyPort() = default;
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;
    ~PtyPort() { close(); }

    // Creates a new pseudo-terminal whose slave is in raw mode (every byte, CR
    // included, reaches the reader unchanged; nothing is echoed back). An error
    // message on failure.
    std::optional<std::string> open();
    // Closes the master: a program holding the slave sees a hang-up.
    void close();

    bool isOpen() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }

    // Whether some program holds the slave open (a real line with nobody listening
    // loses what is sent, so the simulator sends only while this holds).
    bool hasReader() const;

    enum class SendResult { Sent, NoReader, BufferFull };
    // Sends all of `bytes` or, when the slave's input buffer is full, as much as fits.
    // Never blocks.
    SendResult send(std::string_view bytes);

    // Waits until the reader closes the slave, `timeout` passes or a signal outside
    // `waitMask` arrives.
    void waitForHangUp(std::chrono::nanoseconds timeout, const sigset_t& waitMask) const;

    // Reads and discards whatever the reader wrote, so that its writes never stall.
    void drain();

private:
    int master_ = -1;
    std::string slavePath_;
};

// Creates `link` as a symbolic link to `target`. Refuses to replace anything but a
// dangling symbolic link (left behind by a simulator that was killed); sets
// `replacedStale` when it did replace one. An error message on failure.
std::optional<std::string> createPortLink(const std::filesystem::path& link,
                                          const std::string& target, bool& replacedStale);

// Removes `link` if it is still the symbolic link to `target` made by createPortLink;
// leaves anything else alone. True when it removed the link.
bool removePortLink(const std::filesystem::path& link, const std::string& target);

} // namespace qv::sim
