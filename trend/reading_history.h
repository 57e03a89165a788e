#pragma once

// The readings shown since the program started, for the trend view: a ring of fixed
// capacity that drops the oldest reading once full. User-interface thread only (it is fed
// where the main window's texts are set and read when a chart is drawn), so no lock.

#include "trend/timed_reading.h"

#include <cstddef>
#include <memory>

namespace qv::trend {

class ReadingHistory {
public:
    // Seven days at the shortest poll interval (1 s).
    static constexpr std::size_t kDefaultCapacity = 604'800;

    // Allocates once, here; the memory is left untouched until readings fill it, so a
    // short run costs only what it holds. `capacity` of 0 is taken as 1.
    explicit ReadingHistory(std::size_t capacity = kDefaultCapacity);

    // O(1), never allocates. A reading earlier than the newest (the clock was set back)
    // is stored with the newest one's time, so the history stays in time order.
    void append(const TimedReading& reading);
    void clear() { start_ = size_ = 0; }

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::size_t bytes() const { return capacity_ * sizeof(TimedReading); }
    // Oldest first; valid until the next append or clear.
    ReadingSpans readings() const;

private:
    std::unique_ptr<TimedReading[]> ring_;
    std::size_t capacity_;
    std::size_t start_ = 0; // index of the oldest reading
    std::size_t size_ = 0;
};

} // namespace qv::trend
