#pragma once

// Min/max decimation of one quantity to the pixel columns of a chart. Each column keeps
// its first and last reading and its lowest and highest one, in the order they were
// taken: the line drawn through them looks like the line through every reading and shows
// every extreme, and costs at most four points per column however many readings the
// window holds.

#include "trend/chart_data.h"
#include "trend/painter.h"
#include "trend/timed_reading.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::trend {

// Seconds since the epoch; from < to.
struct TimeWindow {
    std::int64_t from = 0;
    std::int64_t to = 1;
};

// Of the readings inside the window; count 0 leaves the rest unset.
struct SeriesStats {
    std::size_t count = 0;
    float minimum = 0.0f;
    float maximum = 0.0f;
    double mean = 0.0;
};

struct DecimatedLine {
    // x: the column's centre, in pixels from the window's left edge; y: the value.
    std::vector<PointF> points;
    // Where each run of joined points ends (exclusive); a gap lies between two runs.
    std::vector<std::size_t> runEnds;
    SeriesStats stats;
};

// The readings of `window` (both ends included) on `columns` columns; two neighbours
// more than `maxStep` seconds apart are a gap, not joined. Reuses `out`'s buffers, so a
// redraw of the same size allocates nothing.
void decimate(ReadingSpans readings, Quantity quantity, TimeWindow window, int columns,
              std::int64_t maxStep, DecimatedLine& out);
// The same over the pieces of `data`: a summary's bucket counts as its readings do (its
// extremes, first and last values and sum; in the column of its first reading), so the
// line keeps every extreme. Between buckets, and between a bucket and a reading, a gap is
// a step from one's last reading to the next one's first longer than `maxStep`; a bucket
// whose own longest step is longer ends its run. With data.joinGaps nothing is a gap.
void decimate(const ChartData& data, Quantity quantity, TimeWindow window, int columns,
              std::int64_t maxStep, DecimatedLine& out);

} // namespace qv::trend
