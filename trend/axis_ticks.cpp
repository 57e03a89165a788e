#include "trend/axis_ticks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>

namespace qv::trend {
namespace {

enum class Unit { Minute, Hour, Day, Week, Month, Year };

struct TimeStep {
    Unit unit;
    int count;
    double seconds; // about; to rule out steps far too fine before making their ticks
};

// Value axes: values beyond this are not the sensor's (a float reaches 3.4e38), and a
// label of every value up to it fits formatValue's buffer.
constexpr double kLargestValue = 1e39;
// Ranges narrower than this share of their values' size (of 1 for values under 1) are flat.
constexpr double kFinestShare = 1e-9;
// More intervals than any screen has room for.
constexpr double kMostIntervals = 10'000.0;

constexpr double kDay = 86'400.0;
constexpr TimeStep kTimeSteps[] = {
    {Unit::Minute, 1, 60},         {Unit::Minute, 2, 120},         {Unit::Minute, 5, 300},
    {Unit::Minute, 10, 600},       {Unit::Minute, 15, 900},        {Unit::Minute, 30, 1800},
    {Unit::Hour, 1, 3600},         {Unit::Hour, 2, 7200},          {Unit::Hour, 3, 10800},
    {Unit::Hour, 6, 21600},        {Unit::Hour, 12, 43200},        {Unit::Day, 1, kDay},
    {Unit::Day, 2, 2 * kDay},      {Unit::Week, 1, 7 * kDay},      {Unit::Week, 2, 14 * kDay},
    {Unit::Month, 1, 30.4 * kDay}, {Unit::Month, 3, 91 * kDay},    {Unit::Month, 6, 182 * kDay},
    {Unit::Year, 1, 365 * kDay},   {Unit::Year, 2, 730 * kDay},    {Unit::Year, 5, 1826 * kDay},
    {Unit::Year, 10, 3652 * kDay}, {Unit::Year, 50, 18262 * kDay}, {Unit::Year, 100, 36524 * kDay},
};

std::tm localTime(std::int64_t when) {
    std::tm local{};
    const auto t = static_cast<std::time_t>(when);
    localtime_r(&t, &local);
    return local;
}

// The local time `k` steps after `base`, through mktime so that summer time is honoured.
std::int64_t stepsAfter(std::tm base, Unit unit, int k) {
    switch (unit) {
    case Unit::Minute:
        base.tm_min += k;
        break;
    case Unit::Hour:
        base.tm_hour += k;
        break;
    case Unit::Day:
        base.tm_mday += k;
        break;
    case Unit::Week:
        base.tm_mday += 7 * k;
        break;
    case Unit::Month:
        base.tm_mon += k;
        break;
    case Unit::Year:
        base.tm_year += k;
        break;
    }
    base.tm_isdst = -1;
    return std::mktime(&base);
}

// The last round local time of `step` at or before `when`.
std::tm roundDown(std::int64_t when, const TimeStep& step) {
    std::tm t = localTime(when);
    t.tm_sec = 0;
    if (step.unit == Unit::Minute) {
        t.tm_min -= t.tm_min % step.count;
        return t;
    }
    t.tm_min = 0;
    if (step.unit == Unit::Hour) {
        t.tm_hour -= t.tm_hour % step.count;
        return t;
    }
    t.tm_hour = 0;
    if (step.unit == Unit::Day) {
        t.tm_mday -= (t.tm_mday - 1) % step.count;
    } else if (step.unit == Unit::Week) {
        t.tm_mday -= (t.tm_wday + 6) % 7; // weeks start on Monday
    } else {
        t.tm_mday = 1;
        if (step.unit == Unit::Month)
            t.tm_mon -= t.tm_mon % step.count;
        else {
            t.tm_mon = 0;
            t.tm_year -= (t.tm_year + 1900) % step.count;
        }
    }
    return t;
}

void appendTwo(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

// "HH:MM" within a day (the date, "MM/DD", at midnight), "MM/DD" for days, "MM/YYYY" for
// months, "YYYY" for years: month before day, as the log writes dates.
std::string timeLabel(std::int64_t when, Unit unit) {
    const std::tm t = localTime(when);
    std::string label;
    const bool withinDay = unit == Unit::Minute || unit == Unit::Hour;
    if (withinDay && (t.tm_hour != 0 || t.tm_min != 0)) {
        appendTwo(label, t.tm_hour);
        label += ':';
        appendTwo(label, t.tm_min);
    } else if (withinDay || unit == Unit::Day || unit == Unit::Week) {
        appendTwo(label, t.tm_mon + 1);
        label += '/';
        appendTwo(label, t.tm_mday);
    } else {
        if (unit == Unit::Month) {
            appendTwo(label, t.tm_mon + 1);
            label += '/';
        }
        label += std::to_string(t.tm_year + 1900);
    }
    return label;
}

} // namespace

ValueAxis niceValueAxis(double minimum, double maximum, double length, double minSpacing) {
    // The charts pass finite values (the log reader and the reading parser keep no others);
    // anything else gets the unit axis rather than arithmetic that overflows.
    if (!(minimum <= maximum) || !(std::abs(minimum) <= kLargestValue) ||
        !(std::abs(maximum) <= kLargestValue)) {
        minimum = 0.0;
        maximum = 1.0;
    }
    // A range too narrow for round steps (flat, or apart only in the last digits) is widened
    // around its value.
    const double size = std::max(std::abs(minimum), std::abs(maximum));
    if (maximum - minimum <= std::max(size, 1.0) * kFinestShare) {
        const double half = std::max(0.5, std::abs(minimum) * 0.05);
        minimum -= half;
        maximum += half;
    }
    const double room = length / std::max(minSpacing, 1.0);
    double intervals = room >= 2.0 ? std::min(std::floor(room), kMostIntervals) : 1.0;
    // Ticks are multiples of the step: a range across zero takes at least two intervals.
    if (minimum < 0.0 && maximum > 0.0)
        intervals = std::max(intervals, 2.0);
    // Ends once the step reaches the larger of |minimum| and |maximum|, where the axis spans
    // one interval (two across zero): a few dozen rounds at most, given the limits above.
    double magnitude = std::pow(10.0, std::floor(std::log10((maximum - minimum) / intervals)));
    for (int mantissa = 0;; mantissa = (mantissa + 1) % 3) {
        static constexpr double kMantissas[] = {1.0, 2.0, 5.0};
        const double step = kMantissas[mantissa] * magnitude;
        ValueAxis axis;
        axis.low = std::floor(minimum / step) * step;
        axis.high = std::ceil(maximum / step) * step;
        if ((axis.high - axis.low) / step <= intervals + 1e-9) {
            axis.step = step;
            axis.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
            return axis;
        }
        if (mantissa == 2)
            magnitude *= 10.0;
    }
}

std::string formatValue(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    if (std::round(value * scale) == 0.0)
        value = 0.0;
    char text[64];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

std::vector<TimeTick> timeTicks(std::int64_t from, std::int64_t to, double width,
                                const TextWidth& textWidth, double gap) {
    std::vector<TimeTick> ticks;
    if (to <= from || !(width > 0.0) || !std::isfinite(width))
        return ticks;
    const double span = static_cast<double>(to - from);
    const double pixelsPerSecond = width / span;
    // The narrowest label any step can have ("2024"), to rule out steps that cannot fit;
    // at least a pixel, so that no step tried has more ticks than the axis has pixels.
    const double narrowest = std::max(textWidth("0000") + gap, 1.0);
    for (const TimeStep& step : kTimeSteps) {
        const bool last = &step == &std::end(kTimeSteps)[-1];
        if (!last && step.seconds * pixelsPerSecond < narrowest)
            continue;
        ticks.clear();
        const std::tm base = roundDown(from, step);
        for (int k = 0;; ++k) {
            const std::int64_t when = stepsAfter(base, step.unit, k * step.count);
            if (when > to || when == -1)
                break;
            if (when >= from && (ticks.empty() || when > ticks.back().time))
                ticks.push_back({when, timeLabel(when, step.unit)});
        }
        bool fits = true;
        double lastRight = -1e300;
        for (TimeTick& tick : ticks) {
            const double centre = static_cast<double>(tick.time - from) * pixelsPerSecond;
            const double half = textWidth(tick.label) / 2.0;
            if (centre - half < 0.0 || centre + half > width) {
                tick.label.clear();
                continue;
            }
            if (centre - half < lastRight + gap) {
                // The coarsest step keeps its ticks and drops the labels that collide.
                if (last) {
                    tick.label.clear();
                    continue;
                }
                fits = false;
                break;
            }
            lastRight = centre + half;
        }
        if (fits || last)
            return ticks;
    }
    return ticks;
}

} // namespace qv::trend
