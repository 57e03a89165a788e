#pragma once

// A clock that stands still until the test moves it, so that log lines carry a known date
// and time.

#include "acquisition/clock.h"

#include <ctime>

namespace qv::test {

// 12/06/2010 17:50:50 UTC.
inline constexpr std::time_t kDecember6 = 1291657850;

class FixedClock final : public Clock {
public:
    explicit FixedClock(std::time_t start = kDecember6) : when(start) {}
    std::time_t now() const override { return when; }

    std::time_t when; // seconds since the epoch; the test sets or advances it
};

} // namespace qv::test
