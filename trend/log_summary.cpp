#include "trend/log_summary.h"

#include <algorithm>
#include <cstring>

namespace qv::trend {
namespace {

ValueCell valueOf(float v) {
    return {v, v, v, v, static_cast<double>(v), true};
}

// `earlier` then `later` as one stretch: first from the one, last from the other.
void mergeValues(ValueCell& into, const ValueCell& earlier, const ValueCell& later,
                 bool laterEndsLast) {
    ValueCell out;
    out.first = earlier.first;
    out.last = laterEndsLast ? later.last : earlier.last;
    // Each extreme from the stretch that holds it; ties to the earlier one.
    const bool lowEarly = earlier.low <= later.low;
    const bool highEarly = earlier.high >= later.high;
    out.low = lowEarly ? earlier.low : later.low;
    out.high = highEarly ? earlier.high : later.high;
    out.sum = earlier.sum + later.sum;
    if (lowEarly == highEarly)
        out.lowBeforeHigh = lowEarly ? earlier.lowBeforeHigh : later.lowBeforeHigh;
    else
        out.lowBeforeHigh = lowEarly;
    into = out;
}

} // namespace

SummaryCell SummaryCell::of(const TimedReading& r, std::uint64_t begin, std::uint64_t end) {
    return {r.time, r.time, begin, end, 1, 0, valueOf(r.humidity), valueOf(r.temperature)};
}

void SummaryCell::add(const TimedReading& r, std::uint64_t lineBegin, std::uint64_t lineEnd) {
    if (r.time < lastTime) {
        merge(of(r, lineBegin, lineEnd));
        return;
    }
    // The common case: the next reading in time.
    longestStep = std::max(longestStep, r.time - lastTime);
    lastTime = r.time;
    begin = std::min(begin, lineBegin);
    end = std::max(end, lineEnd);
    ++count;
    const auto take = [](ValueCell& cell, float v) {
        cell.last = v;
        if (v < cell.low) {
            cell.low = v;
            cell.lowBeforeHigh = false;
        } else if (v > cell.high) {
            cell.high = v;
            cell.lowBeforeHigh = true;
        }
        cell.sum += v;
    };
    take(humidity, r.humidity);
    take(temperature, r.temperature);
}

void SummaryCell::merge(const SummaryCell& other) {
    if (count == 0) {
        *this = other;
        return;
    }
    const bool otherLater = other.firstTime >= firstTime;
    const SummaryCell& earlier = otherLater ? *this : other;
    const SummaryCell& later = otherLater ? other : *this;
    const bool laterEndsLast = later.lastTime >= earlier.lastTime;
    SummaryCell out;
    out.firstTime = earlier.firstTime;
    out.lastTime = std::max(earlier.lastTime, later.lastTime);
    out.begin = std::min(begin, other.begin);
    out.end = std::max(end, other.end);
    out.count = count + other.count;
    // Apart, the step between the two counts; overlapping, neither tells the other's steps.
    const std::int64_t between =
        later.firstTime > earlier.lastTime ? later.firstTime - earlier.lastTime : 0;
    out.longestStep = std::max({earlier.longestStep, later.longestStep, between});
    mergeValues(out.humidity, earlier.humidity, later.humidity, laterEndsLast);
    mergeValues(out.temperature, earlier.temperature, later.temperature, laterEndsLast);
    *this = out;
}

LogSummary::LogSummary(const LogSummary& other) {
    *this = other;
}

LogSummary& LogSummary::operator=(const LogSummary& other) {
    if (this == &other)
        return *this;
    if (other.buckets_) {
        if (!buckets_)
            buckets_ = std::make_unique_for_overwrite<SummaryCell[]>(kBuckets);
        std::memcpy(static_cast<void*>(buckets_.get()), other.buckets_.get(),
                    kBuckets * sizeof(SummaryCell));
    } else {
        buckets_.reset();
    }
    origin_ = other.origin_;
    shift_ = other.shift_;
    all_ = other.all_;
    skippedLines = other.skippedLines;
    typicalStep = other.typicalStep;
    return *this;
}

void LogSummary::expect(std::int64_t first, std::int64_t last) {
    if (buckets_ || last < first)
        return;
    while (cellKey(last, shift_) - cellKey(first, shift_) >= static_cast<std::int64_t>(kBuckets))
        ++shift_;
}

std::span<const SummaryCell> LogSummary::buckets() const {
    if (!buckets_)
        return {};
    return {buckets_.get(), kBuckets};
}

void LogSummary::reserve() {
    if (!buckets_)
        buckets_ = std::make_unique<SummaryCell[]>(kBuckets); // zeroed: every count 0
}

void LogSummary::fit(std::int64_t low, std::int64_t high, int minShift) {
    constexpr auto n = static_cast<std::int64_t>(kBuckets);
    if (all_.count == 0) {
        // Nothing to keep: the buckets are laid out anew.
        reserve();
        shift_ = std::max(shift_, minShift);
        while (cellKey(high, shift_) - cellKey(low, shift_) >= n)
            ++shift_;
        origin_ = cellKey(low, shift_) << shift_;
        return;
    }
    if (low >= origin_ && high < origin_ + (n << shift_) && minShift <= shift_)
        return;
    low = std::min(low, all_.firstTime);
    high = std::max(high, all_.lastTime);
    // Coarser in place, without memory of its own: each round merges neighbouring pairs
    // towards the front (a bucket moves to an index no greater than its own).
    while (shift_ < minShift || cellKey(high, shift_) - cellKey(low, shift_) >= n) {
        const int shift = shift_ + 1;
        const std::int64_t origin = cellKey(all_.firstTime, shift) << shift;
        for (std::size_t j = 0; j < kBuckets; ++j) {
            if (buckets_[j].count == 0)
                continue;
            const auto to = static_cast<std::size_t>(
                cellKey(origin_ + (static_cast<std::int64_t>(j) << shift_), shift) -
                (origin >> shift));
            if (to == j)
                continue;
            buckets_[to].merge(buckets_[j]);
            buckets_[j] = SummaryCell{};
        }
        origin_ = origin;
        shift_ = shift;
    }
    // Still outside (room wanted before the first reading, or after the last): the buckets
    // move, to leave half the buckets to spare on either side, so that a file read
    // backwards, or growing, moves them seldom.
    if (low < origin_ || high >= origin_ + (n << shift_)) {
        const std::int64_t spare = n - 1 - (cellKey(high, shift_) - cellKey(low, shift_));
        const std::int64_t origin = (cellKey(low, shift_) - spare / 2) << shift_;
        SummaryCell* const first = buckets_.get();
        SummaryCell* const last = first + kBuckets;
        if (origin < origin_) {
            const auto by = static_cast<std::size_t>((origin_ - origin) >> shift_);
            std::move_backward(first, last - by, last);
            std::fill(first, first + by, SummaryCell{});
        } else {
            const auto by = static_cast<std::size_t>((origin - origin_) >> shift_);
            std::move(first + by, last, first);
            std::fill(last - by, last, SummaryCell{});
        }
        origin_ = origin;
    }
}

void LogSummary::add(const SummaryCell& cell) {
    // A cell across two buckets (made for finer ones than these) coarsens them.
    int shift = shift_;
    while (cellKey(cell.firstTime, shift) != cellKey(cell.lastTime, shift))
        ++shift;
    fit(cell.firstTime, cell.lastTime, shift);
    buckets_[static_cast<std::size_t>(cellKey(cell.firstTime, shift_) - (origin_ >> shift_))].merge(
        cell);
    all_.merge(cell);
}

std::pair<std::size_t, std::size_t> LogSummary::bucketsMeeting(std::int64_t from,
                                                               std::int64_t to) const {
    if (!buckets_ || to < from)
        return {0, 0};
    constexpr auto n = static_cast<std::int64_t>(kBuckets);
    const std::int64_t base = origin_ >> shift_;
    const std::int64_t first = std::clamp(cellKey(from, shift_) - base, std::int64_t{0}, n);
    const std::int64_t last = std::clamp(cellKey(to, shift_) - base + 1, std::int64_t{0}, n);
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(std::max(first, last))};
}

std::uint64_t LogSummary::countMeeting(std::int64_t from, std::int64_t to) const {
    const auto [first, last] = bucketsMeeting(from, to);
    std::uint64_t n = 0;
    for (std::size_t i = first; i < last; ++i)
        n += buckets_[i].count;
    return n;
}

LogRange LogSummary::rangeOf(std::int64_t from, std::int64_t to) const {
    LogRange range{0, 0, from, to};
    bool any = false;
    const auto [first, last] = bucketsMeeting(from, to);
    for (std::size_t i = first; i < last; ++i) {
        const SummaryCell& cell = buckets_[i];
        if (cell.count == 0)
            continue;
        range.begin = any ? std::min(range.begin, cell.begin) : cell.begin;
        range.end = any ? std::max(range.end, cell.end) : cell.end;
        any = true;
    }
    return range;
}

} // namespace qv::trend
