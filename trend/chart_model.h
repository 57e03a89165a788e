#pragma once

// What the trend window shows, without a toolkit: the span, where the view stands in
// time (following the newest reading, or panned back), and for each chart the frame to
// draw - ticks, value axis, the decimated line, and the figures of the span shown.
// User-interface thread only.

#include "trend/axis_ticks.h"
#include "trend/chart_data.h"
#include "trend/decimation.h"
#include "trend/painter.h"
#include "trend/timed_reading.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::trend {

enum class Span { TenMinutes, OneHour, SixHours, TwentyFourHours, SevenDays, All };

// The width of a span; zero for All, which is as wide as the readings.
std::chrono::seconds spanDuration(Span span);

struct ValueTick {
    float y = 0.0f; // pixels
    std::string label;
};

struct PlacedTimeTick {
    float x = 0.0f;    // pixels
    std::string label; // may be empty: a tick without a label
};

// One chart, in the pixels of the plot rectangle it was made for.
struct ChartFrame {
    RectF plot;
    TimeWindow window;
    ValueAxis axis;
    std::vector<ValueTick> valueTicks;
    std::vector<PlacedTimeTick> timeTicks;
    DecimatedLine line;           // points in pixels
    std::optional<float> current; // the newest reading of all, shown or not
};

class ChartModel {
public:
    // Readings further apart than three poll intervals are not joined.
    static constexpr int kGapIntervals = 3;

    void setSpan(Span span) { span_ = span; }
    Span span() const { return span_; }
    void setPollInterval(std::chrono::seconds interval) { pollInterval_ = interval; }
    std::chrono::seconds pollInterval() const { return pollInterval_; }

    // Follows the newest reading again: the right edge moves with each new one.
    void goLive() { live_ = true; }
    bool live() const { return live_; }
    // Moves the view by `spans` widths of the span, negative into the past. The view
    // stays over the readings; reaching the newest one makes it live again. No effect
    // for All.
    void panBy(double spans, const ChartData& data);

    // The time shown: the span ending at the right edge (the newest reading when live).
    TimeWindow window(const ChartData& data) const;

    // The frame of one quantity for a plot of `plot` pixels; reuses `frame`'s buffers.
    void makeFrame(const ChartData& data, Quantity quantity, const RectF& plot,
                   const TextMetrics& metrics, ChartFrame& frame) const;

private:
    Span span_ = Span::OneHour;
    std::chrono::seconds pollInterval_{5};
    bool live_ = true;
    std::int64_t rightEdge_ = 0; // while not live
};

// The most common spacing of readings (a median over up to a few thousand neighbours),
// for readings of a log whose poll interval is not known; 1 s when there are too few.
std::chrono::seconds typicalInterval(ReadingSpans readings);

} // namespace qv::trend
