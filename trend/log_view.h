#pragma once

// What the charts of a log show for the window in view, and what must be read for them:
// a span wider than a bucket a column is drawn from the log's summary; a narrower one
// from the lines of the span, read again from the file (asked for through wanted(), kept
// until the view leaves them); the live readings, where there are any, for the times
// they hold. A span too narrow for the summary whose lines are not read yet is drawn
// from the summary meanwhile. User-interface thread only; borrows the summary and the
// live readings, which must outlive the calls that use them.

#include "trend/chart_data.h"
#include "trend/decimation.h"
#include "trend/log_summary.h"
#include "trend/timed_reading.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv::trend {

class LogView {
public:
    // A span's lines are read again only while they hold at most this many readings
    // (about 16 MB); a denser span is drawn from the summary.
    static constexpr std::uint64_t kMostDetail = 1'000'000;

    // The log's summary (null: no log), and the live readings that follow it (a history
    // in time order; empty: none). The summary is used for times before the first live
    // reading only.
    void setSummary(const LogSummary* summary);
    void setLive(ReadingSpans live) { live_ = live; }
    // While the file is still being read: no gaps, no detailed reads.
    void setReading(bool reading) { reading_ = reading; }

    // The readings of a detailed read, in time order, and what it was for; replaces the
    // last one. Dropped by setSummary with another summary, and by dropDetail.
    void setDetail(std::vector<TimedReading> readings, const LogRange& range);
    void dropDetail();
    const LogRange* detailRange() const { return hasDetail_ ? &detailRange_ : nullptr; }

    // The extent of everything there is to show, for placing the view.
    ChartData extent() const;
    // The pieces to draw `window` on `columns` columns.
    ChartData data(TimeWindow window, int columns) const;
    // The read that would show `window` in every reading (with room to pan by a span each
    // way, as far as kMostDetail allows); nothing when no read is needed or possible.
    std::optional<LogRange> wanted(TimeWindow window, int columns) const;

private:
    // The part of `window` the log's summary or lines show: [from, to), before the live
    // readings; empty when none.
    std::pair<std::int64_t, std::int64_t> logPart(TimeWindow window) const;
    bool summaryFineEnough(TimeWindow window, int columns) const;
    bool detailCovers(std::int64_t from, std::int64_t to) const;

    const LogSummary* summary_ = nullptr;
    ReadingSpans live_;
    bool reading_ = false;
    std::vector<TimedReading> detail_;
    LogRange detailRange_;
    bool hasDetail_ = false;
};

} // namespace qv::trend
