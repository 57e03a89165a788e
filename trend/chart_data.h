#pragma once

// What a chart is drawn from: up to three pieces one after the other in time, each either
// a log summary's buckets (a span wider than a bucket a column) or readings (the live
// history, or the lines of a span read from a log file), and the extent of everything
// there is to show, for placing and panning the view. Borrowed: valid while the summary
// and the readings it points at are.

#include "trend/log_summary.h"
#include "trend/timed_reading.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace qv::trend {

struct ChartPiece {
    const LogSummary* summary = nullptr; // its buckets; or, when null, `readings`
    ReadingSpans readings;
    // The times the piece is used for: from <= time < to (a bucket by its first reading).
    std::int64_t from = std::numeric_limits<std::int64_t>::min();
    std::int64_t to = std::numeric_limits<std::int64_t>::max();
};

struct ChartData {
    std::array<ChartPiece, 3> pieces{};
    std::size_t count = 0; // pieces in use, in time order
    bool any = false;      // there is something to show: oldest, newest and newestReading hold
    std::int64_t oldest = 0, newest = 0;
    TimedReading newestReading{};
    // While a file is still being read, the stretches not read yet are no gaps: the line
    // joins across them.
    bool joinGaps = false;

    ChartData() = default;
    // Readings only (the live history, a log read whole); implicit, so that readings can
    // be drawn as they are.
    ChartData(ReadingSpans readings) { // NOLINT(google-explicit-constructor)
        add({nullptr, readings});
        if (!readings.empty()) {
            any = true;
            oldest = readings.front().time;
            newest = readings.back().time;
            newestReading = readings.back();
        }
    }
    void add(const ChartPiece& piece) {
        if (count < pieces.size())
            pieces[count++] = piece;
    }
};

} // namespace qv::trend
