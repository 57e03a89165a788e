#pragma once

// Where the log takes "now" from, so that tests can fix the time.

#include <ctime>

namespace qv {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since the epoch.
    virtual std::time_t now() const = 0;
};

class SystemClock final : public Clock {
public:
    std::time_t now() const override { return std::time(nullptr); }
};

} // namespace qv
