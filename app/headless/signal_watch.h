#pragma once

// The requests to end the program that arrive as signals (SIGTERM from systemd or kill,
// SIGINT from Ctrl+C), turned into a readable descriptor for the event loop, so that the
// program ends through its normal path: log closed and flushed, port released, publisher
// stopped. The signals are blocked in the calling thread and so in every thread it starts
// later: made first in main(), before any other thread, none of them can be delivered
// elsewhere (where their default action would kill the process mid-write). Restored when
// destroyed.
//
// Thread contract: the thread that made it (main's); one at a time.

#include <csignal>

namespace qv::headless {

class SignalWatch {
public:
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // -1 when the descriptor could not be made: the signals then keep their default action.
    int fd() const { return fd_; }
    // Reads what is pending; the number of the last signal read, 0 if none.
    int take();

private:
    int fd_ = -1;
    sigset_t previousMask_{};
};

} // namespace qv::headless
