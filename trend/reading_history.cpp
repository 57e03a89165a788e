#include "trend/reading_history.h"

#include <algorithm>
#include <type_traits>

namespace qv::trend {

static_assert(std::is_trivially_default_constructible_v<TimedReading>);

std::size_t ReadingSpans::lowerBound(std::int64_t time) const {
    const auto before = [](const TimedReading& r, std::int64_t t) { return r.time < t; };
    if (!first.empty() && first.back().time >= time)
        return static_cast<std::size_t>(std::lower_bound(first.begin(), first.end(), time, before) -
                                        first.begin());
    return first.size() +
           static_cast<std::size_t>(std::lower_bound(second.begin(), second.end(), time, before) -
                                    second.begin());
}

ReadingHistory::ReadingHistory(std::size_t capacity)
    : ring_(std::make_unique_for_overwrite<TimedReading[]>(std::max<std::size_t>(capacity, 1))),
      capacity_(std::max<std::size_t>(capacity, 1)) {}

void ReadingHistory::append(const TimedReading& reading) {
    TimedReading stored = reading;
    if (size_ > 0) {
        const TimedReading& newest = ring_[(start_ + size_ - 1) % capacity_];
        stored.time = std::max(stored.time, newest.time);
    }
    if (size_ < capacity_) {
        ring_[(start_ + size_) % capacity_] = stored;
        ++size_;
    } else {
        ring_[start_] = stored;
        start_ = (start_ + 1) % capacity_;
    }
}

ReadingSpans ReadingHistory::readings() const {
    const std::size_t firstLength = std::min(size_, capacity_ - start_);
    return {{ring_.get() + start_, firstLength}, {ring_.get(), size_ - firstLength}};
}

} // namespace qv::trend
