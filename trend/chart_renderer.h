#pragma once

// Draws one trend chart through the painter seam: title and figures of the span shown,
// grid, value and time labels, and the line, broken at gaps. Both front ends only
// implement the painter; the two stacked charts are two calls with rectangles one above
// the other, which share the time axis because they share the model.

#include "trend/chart_model.h"
#include "trend/painter.h"
#include "trend/timed_reading.h"

#include <string>

namespace qv::trend {

struct ChartStyle {
    Colour background{255, 255, 255};
    Colour grid{225, 225, 225};
    Colour frame{120, 120, 120};
    Colour text{0, 0, 0};
    Colour humidity{0, 90, 200};
    Colour temperature{200, 40, 30};
    float lineWidth = 1.5f;
};

// The chart's title: "Relative humidity (% RH)" or "Temperature (°C)".
std::string chartTitle(Quantity quantity);
// "now 45.3   min 40.1   max 50.2   mean 45.1" for the frame, "no readings" when the
// span shown holds none.
std::string figuresText(const ChartFrame& frame);

// The plot inside `outer`: room above for the title, on the left for value labels (the
// same for every quantity, so that stacked charts line up), below for time labels.
RectF plotArea(const RectF& outer, const TextMetrics& metrics, bool timeLabels);

// `frame` is scratch space kept between redraws, so that a redraw allocates little.
void drawChart(Painter& painter, const ChartModel& model, const ChartData& data, Quantity quantity,
               const RectF& outer, bool timeLabels, const ChartStyle& style, ChartFrame& frame);
inline void drawChart(Painter& painter, const ChartModel& model, ReadingSpans readings,
                      Quantity quantity, const RectF& outer, bool timeLabels,
                      const ChartStyle& style, ChartFrame& frame) {
    drawChart(painter, model, ChartData(readings), quantity, outer, timeLabels, style, frame);
}

} // namespace qv::trend
