#pragma once

// The one bounded wait of the tests, without Qt: a condition asked again after each call
// of a "pump" that lets time pass (a short sleep, a read of a child's output, a turn of
// an event loop). tests/support/ui_driver.h builds the Qt event-loop wait on it.

#include <chrono>
#include <functional>
#include <thread>

namespace qv::test {

// The pump of tests without an event loop: lets other threads and processes work.
inline void sleepBriefly() {
    std::this_thread::sleep_for(std::chrono::milliseconds{2});
}

// Calls `pump` until `done` holds; false when `timeout` passed first. `done` is asked
// before the first pump and once more at the end.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                      const std::function<void()>& pump) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until)
            return done();
        pump();
    }
    return true;
}

} // namespace qv::test
