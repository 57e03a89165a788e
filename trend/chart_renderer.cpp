#include "trend/chart_renderer.h"

#include "text/substitute.h"
#include "text/texts.h"

#include <algorithm>

namespace qv::trend {
namespace {

constexpr float kPadding = 4.0f;
// The widest value label the margin is made for.
constexpr char kWidestValue[] = "-000.00";

} // namespace

std::string chartTitle(Quantity quantity) {
    return quantity == Quantity::Humidity ? text::kHumidityTitle : text::kTemperatureTitle;
}

std::string figuresText(const ChartFrame& frame) {
    const SeriesStats& s = frame.line.stats;
    std::string text;
    if (frame.current)
        text = substitute(text::kNowFigure, {formatValue(*frame.current, 1)});
    if (s.count == 0)
        return text + text::kNoReadings;
    return text +
           substitute(text::kSpanFigures, {formatValue(s.minimum, 1), formatValue(s.maximum, 1),
                                           formatValue(s.mean, 1)});
}

RectF plotArea(const RectF& outer, const TextMetrics& metrics, bool timeLabels) {
    const float line = metrics.lineHeight();
    const float left = metrics.textWidth(kWidestValue) + 2 * kPadding;
    const float top = line + kPadding;
    const float bottom = (timeLabels ? line : 0.0f) + kPadding;
    return {outer.x + left, outer.y + top, std::max(1.0f, outer.width - left - kPadding),
            std::max(1.0f, outer.height - top - bottom)};
}

void drawChart(Painter& painter, const ChartModel& model, const ChartData& data, Quantity quantity,
               const RectF& outer, bool timeLabels, const ChartStyle& style, ChartFrame& frame) {
    const RectF plot = plotArea(outer, painter, timeLabels);
    model.makeFrame(data, quantity, plot, painter, frame);
    const float line = painter.lineHeight();

    painter.fillRect(outer, style.background);
    painter.setPen(style.text, 1.0f);
    const RectF titleBox{plot.x, outer.y, plot.width, line};
    painter.drawText(titleBox, TextAlign::Left, chartTitle(quantity));
    painter.drawText(titleBox, TextAlign::Right, figuresText(frame));

    painter.setPen(style.grid, 1.0f);
    for (const ValueTick& tick : frame.valueTicks)
        painter.drawLine({plot.x, tick.y}, {plot.right(), tick.y});
    for (const PlacedTimeTick& tick : frame.timeTicks)
        painter.drawLine({tick.x, plot.y}, {tick.x, plot.bottom()});

    painter.setPen(style.text, 1.0f);
    const float labelWidth = plot.x - outer.x - 2 * kPadding;
    for (const ValueTick& tick : frame.valueTicks)
        painter.drawText({outer.x + kPadding, tick.y - line / 2, labelWidth, line},
                         TextAlign::Right, tick.label);
    if (timeLabels) {
        for (const PlacedTimeTick& tick : frame.timeTicks) {
            if (tick.label.empty())
                continue;
            const float width = painter.textWidth(tick.label);
            painter.drawText({tick.x - width / 2, plot.bottom() + kPadding / 2, width, line},
                             TextAlign::Centre, tick.label);
        }
    }

    painter.setPen(quantity == Quantity::Humidity ? style.humidity : style.temperature,
                   style.lineWidth);
    std::size_t start = 0;
    for (std::size_t end : frame.line.runEnds) {
        painter.drawPolyline(frame.line.points.data() + start, end - start);
        start = end;
    }
    painter.setPen(style.frame, 1.0f);
    painter.drawRect(plot);
}

} // namespace qv::trend
