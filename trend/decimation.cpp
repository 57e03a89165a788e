#include "trend/decimation.h"

#include <algorithm>
#include <limits>

namespace qv::trend {
namespace {

// The readings of one column, collected as they come.
struct Column {
    float first, last, low, high;
    bool lowBeforeHigh; // the lowest was taken before the highest

    void start(float v) {
        first = last = low = high = v;
        lowBeforeHigh = true;
    }
    void add(float v) {
        if (v < low) {
            low = v;
            lowBeforeHigh = false;
        } else if (v > high) {
            high = v;
            lowBeforeHigh = true;
        }
        last = v;
    }
    void start(const ValueCell& v) {
        first = v.first;
        last = v.last;
        low = v.low;
        high = v.high;
        lowBeforeHigh = v.lowBeforeHigh;
    }
    // Readings taken after the column's so far.
    void add(const ValueCell& v) {
        const bool newLow = v.low < low;
        const bool newHigh = v.high > high;
        if (newLow)
            low = v.low;
        if (newHigh)
            high = v.high;
        if (newLow && newHigh)
            lowBeforeHigh = v.lowBeforeHigh;
        else if (newLow)
            lowBeforeHigh = false;
        else if (newHigh)
            lowBeforeHigh = true;
        last = v.last;
    }
};

class Decimator {
public:
    Decimator(TimeWindow window, int columns, std::int64_t maxStep, DecimatedLine& out)
        : window_(window), columns_(std::max(columns, 1)), maxStep_(maxStep), out_(out) {}

    void add(std::int64_t time, float value) {
        // The common case first: the next reading of the same column, no gap.
        if (time < nextBoundary_ && time - previousTime_ <= maxStep_ && any_ && !breakAfter_) {
            column_.add(value);
        } else {
            const bool gap = any_ && (breakAfter_ || time - previousTime_ > maxStep_);
            breakAfter_ = false;
            if (any_)
                flushColumn();
            if (gap)
                endRun();
            enterColumn(time);
            column_.start(value);
        }
        any_ = true;
        previousTime_ = time;
        sum_ += value;
        ++out_.stats.count;
    }

    // A summary's bucket: its readings at once, in the column of its first one.
    void add(const SummaryCell& cell, const ValueCell& v) {
        const std::int64_t time = cell.firstTime;
        const bool gap = any_ && (breakAfter_ || time - previousTime_ > maxStep_);
        if (any_ && !gap && time < nextBoundary_) {
            column_.add(v);
        } else {
            if (any_)
                flushColumn();
            if (gap)
                endRun();
            enterColumn(time);
            column_.start(v);
        }
        previousTime_ = any_ ? std::max(previousTime_, cell.lastTime) : cell.lastTime;
        any_ = true;
        breakAfter_ = cell.longestStep > maxStep_;
        sum_ += v.sum;
        out_.stats.count += cell.count;
    }

    void finish() {
        if (any_) {
            flushColumn();
            endRun();
        }
        if (out_.stats.count > 0)
            out_.stats.mean = sum_ / static_cast<double>(out_.stats.count);
    }

private:
    void enterColumn(std::int64_t time) {
        const std::int64_t span = window_.to - window_.from;
        index_ = std::min<std::int64_t>((time - window_.from) * columns_ / span, columns_ - 1);
        // The first second of the next column: the smallest t with (t - from) * columns
        // / span > index. Readings before it stay in this column without a division.
        nextBoundary_ = index_ + 1 >= columns_
                            ? std::numeric_limits<std::int64_t>::max()
                            : window_.from + ((index_ + 1) * span + columns_ - 1) / columns_;
    }

    void emit(float value) {
        const float x = static_cast<float>(index_) + 0.5f;
        auto& points = out_.points;
        if (points.size() > runStart_ && points.back().x == x && points.back().y == value)
            return;
        points.push_back({x, value});
    }

    // Also where the figures take the column's extremes, so that a reading costs no
    // more than the column's own comparisons.
    void flushColumn() {
        SeriesStats& s = out_.stats;
        s.minimum = flushed_ ? std::min(s.minimum, column_.low) : column_.low;
        s.maximum = flushed_ ? std::max(s.maximum, column_.high) : column_.high;
        flushed_ = true;
        emit(column_.first);
        emit(column_.lowBeforeHigh ? column_.low : column_.high);
        emit(column_.lowBeforeHigh ? column_.high : column_.low);
        emit(column_.last);
    }

    void endRun() {
        if (out_.points.size() > runStart_)
            out_.runEnds.push_back(out_.points.size());
        runStart_ = out_.points.size();
    }

    TimeWindow window_;
    std::int64_t columns_;
    std::int64_t maxStep_;
    DecimatedLine& out_;
    Column column_{};
    std::int64_t index_ = 0;
    std::int64_t nextBoundary_ = 0;
    std::int64_t previousTime_ = 0;
    std::size_t runStart_ = 0;
    double sum_ = 0.0;
    bool any_ = false;
    bool flushed_ = false;
    bool breakAfter_ = false; // the last bucket held a gap: the next reading starts a run
};

} // namespace

void decimate(ReadingSpans readings, Quantity quantity, TimeWindow window, int columns,
              std::int64_t maxStep, DecimatedLine& out) {
    out.points.clear();
    out.runEnds.clear();
    out.stats = {};
    if (window.to <= window.from)
        return;
    Decimator decimator(window, columns, maxStep, out);
    const std::size_t begin = readings.lowerBound(window.from);
    const std::size_t end = readings.lowerBound(window.to + 1);
    // The two halves one after the other, so the loop reads plain arrays.
    const std::span<const TimedReading> halves[] = {readings.first, readings.second};
    std::size_t offset = 0;
    for (const auto& half : halves) {
        const std::size_t from = std::clamp(begin, offset, offset + half.size()) - offset;
        const std::size_t to = std::clamp(end, offset, offset + half.size()) - offset;
        for (std::size_t i = from; i < to; ++i)
            decimator.add(half[i].time, valueOf(half[i], quantity));
        offset += half.size();
    }
    decimator.finish();
}

void decimate(const ChartData& data, Quantity quantity, TimeWindow window, int columns,
              std::int64_t maxStep, DecimatedLine& out) {
    out.points.clear();
    out.runEnds.clear();
    out.stats = {};
    if (window.to <= window.from)
        return;
    if (data.joinGaps)
        maxStep = std::numeric_limits<std::int64_t>::max();
    Decimator decimator(window, columns, maxStep, out);
    for (std::size_t p = 0; p < data.count; ++p) {
        const ChartPiece& piece = data.pieces[p];
        // The piece's part of the window: from <= time < to.
        const std::int64_t from = std::max(piece.from, window.from);
        const std::int64_t to = window.to < std::numeric_limits<std::int64_t>::max()
                                    ? std::min(piece.to, window.to + 1)
                                    : piece.to;
        if (from >= to)
            continue;
        if (piece.summary) {
            const std::span<const SummaryCell> cells = piece.summary->buckets();
            const auto [first, last] = piece.summary->bucketsMeeting(from, to - 1);
            for (std::size_t i = first; i < last; ++i) {
                const SummaryCell& cell = cells[i];
                if (cell.count > 0 && cell.firstTime >= from && cell.firstTime < to)
                    decimator.add(cell, cell.value(quantity));
            }
            continue;
        }
        const ReadingSpans& readings = piece.readings;
        const std::size_t begin = readings.lowerBound(from);
        const std::size_t end = readings.lowerBound(to);
        const std::span<const TimedReading> halves[] = {readings.first, readings.second};
        std::size_t offset = 0;
        for (const auto& half : halves) {
            const std::size_t a = std::clamp(begin, offset, offset + half.size()) - offset;
            const std::size_t b = std::clamp(end, offset, offset + half.size()) - offset;
            for (std::size_t i = a; i < b; ++i)
                decimator.add(half[i].time, valueOf(half[i], quantity));
            offset += half.size();
        }
    }
    decimator.finish();
}

} // namespace qv::trend
