#include "trend/chart_model.h"

#include <algorithm>
#include <cmath>

namespace qv::trend {
namespace {

using std::chrono::hours;
using std::chrono::minutes;

// Room between two value labels, in multiples of the text's line height.
constexpr float kValueLabelSpacing = 2.0f;
// Room between two time labels, in pixels.
constexpr double kTimeLabelGap = 12.0;
// The narrowest window shown, so that a single reading still has an axis.
constexpr std::int64_t kMinimumWindow = 60;
constexpr std::size_t kIntervalSamples = 4096;

} // namespace

std::chrono::seconds spanDuration(Span span) {
    switch (span) {
    case Span::TenMinutes:
        return minutes{10};
    case Span::OneHour:
        return hours{1};
    case Span::SixHours:
        return hours{6};
    case Span::TwentyFourHours:
        return hours{24};
    case Span::SevenDays:
        return hours{24 * 7};
    case Span::All:
        break;
    }
    return std::chrono::seconds{0};
}

TimeWindow ChartModel::window(const ChartData& data) const {
    const std::int64_t newest = data.any ? data.newest : 0;
    if (span_ == Span::All) {
        const std::int64_t oldest = data.any ? data.oldest : 0;
        return {std::min(oldest, newest - kMinimumWindow), newest};
    }
    const std::int64_t width = spanDuration(span_).count();
    const std::int64_t right = live_ ? newest : rightEdge_;
    return {right - width, right};
}

void ChartModel::panBy(double spans, const ChartData& data) {
    if (span_ == Span::All || !data.any)
        return;
    const std::int64_t width = spanDuration(span_).count();
    const std::int64_t newest = data.newest;
    // The oldest reading stays in view: the right edge goes back at most this far.
    const std::int64_t earliest = std::min(newest, data.oldest + width);
    const std::int64_t right =
        (live_ ? newest : rightEdge_) + static_cast<std::int64_t>(std::llround(spans * width));
    rightEdge_ = std::clamp(right, earliest, newest);
    live_ = rightEdge_ >= newest;
}

void ChartModel::makeFrame(const ChartData& data, Quantity quantity, const RectF& plot,
                           const TextMetrics& metrics, ChartFrame& frame) const {
    frame.plot = plot;
    frame.window = window(data);
    frame.current.reset();
    if (data.any)
        frame.current = valueOf(data.newestReading, quantity);
    const TimeWindow w = frame.window;
    const int columns = std::max(1, static_cast<int>(plot.width));
    decimate(data, quantity, w, columns, kGapIntervals * pollInterval_.count(), frame.line);

    const SeriesStats& stats = frame.line.stats;
    frame.axis = stats.count > 0 ? niceValueAxis(stats.minimum, stats.maximum, plot.height,
                                                 kValueLabelSpacing * metrics.lineHeight())
                                 : niceValueAxis(0.0, 0.0, plot.height,
                                                 kValueLabelSpacing * metrics.lineHeight());
    const ValueAxis& axis = frame.axis;
    const double range = axis.high - axis.low;
    const auto yOf = [&](double v) {
        return static_cast<float>(plot.bottom() - (v - axis.low) / range * plot.height);
    };
    for (PointF& p : frame.line.points) {
        p.x += plot.x;
        p.y = yOf(p.y);
    }
    frame.valueTicks.clear();
    const auto steps = static_cast<int>(std::lround(range / axis.step));
    for (int k = 0; k <= steps; ++k) {
        const double v = axis.low + k * axis.step;
        frame.valueTicks.push_back({yOf(v), formatValue(v, axis.decimals)});
    }

    frame.timeTicks.clear();
    const double perSecond = plot.width / static_cast<double>(w.to - w.from);
    for (TimeTick& tick : timeTicks(
             w.from, w.to, plot.width,
             [&metrics](std::string_view text) { return metrics.textWidth(text); }, kTimeLabelGap))
        frame.timeTicks.push_back(
            {static_cast<float>(plot.x + static_cast<double>(tick.time - w.from) * perSecond),
             std::move(tick.label)});
}

std::chrono::seconds typicalInterval(ReadingSpans readings) {
    if (readings.size() < 2)
        return std::chrono::seconds{1};
    const std::size_t pairs = readings.size() - 1;
    const std::size_t stride = std::max<std::size_t>(1, pairs / kIntervalSamples);
    std::vector<std::int64_t> steps;
    for (std::size_t i = 0; i < pairs; i += stride)
        steps.push_back(readings[i + 1].time - readings[i].time);
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2),
                     steps.end());
    return std::chrono::seconds{std::max<std::int64_t>(1, steps[steps.size() / 2])};
}

} // namespace qv::trend
