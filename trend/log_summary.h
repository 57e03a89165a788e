#pragma once

// The index of a log file: a fixed number of time buckets, each summing up the readings
// whose time falls in it - how many, the lowest and highest of each quantity (and the first
// and last, and a sum for the mean), the times of the earliest and latest, the longest step
// between two readings in it - and which bytes of the file hold their lines. A chart of a
// span wider than a bucket a pixel is drawn from the buckets without losing an extreme; the
// lines of a narrower span are read again from the bytes its buckets name.
//
// The buckets are kBuckets consecutive stretches of `width` seconds, `width` a power of
// two, starting at a multiple of it. A reading outside them makes them coarser: the width
// doubles (as often as needed) and neighbouring buckets merge, so the memory stays fixed
// whatever the file's size or span. Lines in any order, repeated times (the hour that
// repeats when summer time ends) and readings far apart all land in their bucket.
//
// A plain value: no locks, one thread at a time (the indexer guards its own, the trend
// window owns a copy).

#include "trend/timed_reading.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace qv::trend {

// One quantity over a stretch of readings.
struct ValueCell {
    float first, last; // of the earliest and the latest reading
    float low, high;
    double sum;
    bool lowBeforeHigh; // the lowest was taken no later than the highest
};

// Readings of one stretch of time; count 0 leaves the rest unset.
struct SummaryCell {
    std::int64_t firstTime, lastTime; // of the earliest and the latest reading
    // Every line of these readings lies in the file's bytes [begin, end).
    std::uint64_t begin, end;
    std::uint64_t count;
    // The longest step between two readings of the stretch that follow each other in time
    // (as far as the order the lines came in tells); 0 for a single reading.
    std::int64_t longestStep;
    ValueCell humidity, temperature;

    // A cell of one reading, whose line is the bytes [begin, end).
    static SummaryCell of(const TimedReading& reading, std::uint64_t begin, std::uint64_t end);
    // Adds a reading; O(1). The step to it counts when it is not earlier than the latest.
    void add(const TimedReading& reading, std::uint64_t lineBegin, std::uint64_t lineEnd);
    // Adds the readings of `other` (count > 0), whichever of the two is earlier.
    void merge(const SummaryCell& other);
    const ValueCell& value(Quantity q) const {
        return q == Quantity::Humidity ? humidity : temperature;
    }
};

// The bytes of a file and the times a detailed read is asked for.
struct LogRange {
    std::uint64_t begin = 0, end = 0; // bytes whose lines are read
    std::int64_t from = 0, to = 0;    // readings kept: from <= time <= to
};

class LogSummary {
public:
    static constexpr std::size_t kBuckets = std::size_t{1} << 16;

    LogSummary() = default;
    LogSummary(const LogSummary& other);
    LogSummary& operator=(const LogSummary& other);
    LogSummary(LogSummary&&) noexcept = default;
    LogSummary& operator=(LogSummary&&) noexcept = default;

    // Makes the buckets as fine as they can be while [first, last] fits, before any reading
    // is added; a hint only (readings outside still fit, by coarser buckets).
    void expect(std::int64_t first, std::int64_t last);
    // Takes the buckets' memory now (std::bad_alloc), so that no later add allocates:
    // making them coarser happens in place.
    void reserve();
    // Adds the readings of `cell` (count > 0), which lie within one bucket of the width the
    // buckets had at some time (cells made by cellKey below do). Allocates the buckets
    // (std::bad_alloc) on the first call unless reserve() did.
    void add(const SummaryCell& cell);
    void add(const TimedReading& reading, std::uint64_t lineBegin, std::uint64_t lineEnd) {
        add(SummaryCell::of(reading, lineBegin, lineEnd));
    }

    // Readings counted; lines that were not readings, as the reader tells them.
    std::uint64_t count() const { return all_.count; }
    bool empty() const { return all_.count == 0; }
    std::uint64_t skippedLines = 0;
    // The earliest and the latest reading's time (count() > 0).
    std::int64_t first() const { return all_.firstTime; }
    std::int64_t last() const { return all_.lastTime; }
    // The latest reading (its values; the last line of that time).
    TimedReading newest() const {
        return {all_.lastTime, all_.humidity.last, all_.temperature.last};
    }
    // Of every reading at once.
    const SummaryCell& whole() const { return all_; }

    // Seconds per bucket (1 before anything is added), a power of two; the first bucket's
    // start, a multiple of it.
    std::int64_t width() const { return std::int64_t{1} << shift_; }
    int widthShift() const { return shift_; }
    std::int64_t origin() const { return origin_; }
    // The buckets, oldest first; empty ones have count 0. Empty before the first add.
    std::span<const SummaryCell> buckets() const;
    // The buckets whose stretch meets [from, to]: indexes [first, second).
    std::pair<std::size_t, std::size_t> bucketsMeeting(std::int64_t from, std::int64_t to) const;
    // The readings of buckets meeting [from, to], and the bytes that hold their lines.
    std::uint64_t countMeeting(std::int64_t from, std::int64_t to) const;
    LogRange rangeOf(std::int64_t from, std::int64_t to) const;

    // The most common step between neighbouring readings, as the indexer sampled it; 0
    // when unknown.
    std::int64_t typicalStep = 0;

private:
    // Makes the buckets (at least 2^minShift seconds wide) and coarsens them until
    // [low, high] fits; allocates nothing once reserved.
    void fit(std::int64_t low, std::int64_t high, int minShift);

    std::unique_ptr<SummaryCell[]> buckets_; // kBuckets, once anything was added
    std::int64_t origin_ = 0;
    int shift_ = 0;
    SummaryCell all_{};
};

// The key of the bucket of width 2^shift starting at a multiple of it that holds `time`:
// readings with the same key share a bucket of that width and of any coarser one.
inline std::int64_t cellKey(std::int64_t time, int shift) {
    return time >> shift; // arithmetic: floors for times before the epoch too
}

} // namespace qv::trend
