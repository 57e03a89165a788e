#pragma once

// A reading as the trend view keeps it, and a time-ordered run of readings that may be
// split in two (a ring's older and newer halves). No Qt, standard library only.

#include <cstddef>
#include <cstdint>
#include <span>

namespace qv::trend {

// 16 bytes: a week at one reading per second fits in under 10 MB. Trivial on purpose (no
// member initialisers), so that the history's buffer stays untouched until it is filled.
struct TimedReading {
    std::int64_t time; // seconds since the epoch
    float humidity;    // % RH, the sensor's own number
    float temperature; // °C, the sensor's own number
};

enum class Quantity { Humidity, Temperature };

inline float valueOf(const TimedReading& r, Quantity q) {
    return q == Quantity::Humidity ? r.humidity : r.temperature;
}

// Readings in non-decreasing time order: all of `first`, then all of `second`. Borrowed:
// valid until the owner changes (a history after its next append, a loaded log until it
// is replaced).
struct ReadingSpans {
    std::span<const TimedReading> first;
    std::span<const TimedReading> second;

    std::size_t size() const { return first.size() + second.size(); }
    bool empty() const { return size() == 0; }
    const TimedReading& operator[](std::size_t i) const {
        return i < first.size() ? first[i] : second[i - first.size()];
    }
    const TimedReading& front() const { return (*this)[0]; }
    const TimedReading& back() const { return (*this)[size() - 1]; }

    // The index of the first reading taken at or after `time`; size() when there is none.
    std::size_t lowerBound(std::int64_t time) const;
};

} // namespace qv::trend
