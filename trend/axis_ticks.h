#pragma once

// Round tick marks for the trend charts: values at 1, 2 or 5 x 10^n, times at whole
// minutes, hours, days, months or years of local time, with labels that never overlap.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::trend {

struct ValueAxis {
    double low = 0.0; // the axis runs from low to high, both multiples of step
    double high = 1.0;
    double step = 1.0;
    int decimals = 0; // enough to tell two neighbouring ticks apart
};

// The axis over [minimum, maximum] with the finest round step that keeps ticks at least
// `minSpacing` pixels apart on an axis `length` pixels long, for any input, in a few dozen
// rounds at most. An empty or flat range is widened around its value; a range across zero
// takes two intervals even where there is room for one. Values that are not finite or
// beyond 1e39 (never the sensor's: the readers refuse them) give the axis 0 to 1.
ValueAxis niceValueAxis(double minimum, double maximum, double length, double minSpacing);
// `value` with `decimals` decimals, a point whatever the locale, no "-0".
std::string formatValue(double value, int decimals);

struct TimeTick {
    std::int64_t time = 0; // seconds since the epoch
    std::string label;     // empty where the label would not fit inside the axis
};

using TextWidth = std::function<double(std::string_view)>;

// Ticks over [from, to] (from < to) on an axis `width` pixels wide: the finest round step
// whose labels, centred on their ticks, keep `gap` pixels between each other. Never more
// ticks than about one a pixel; none for a width that is not a finite positive number.
std::vector<TimeTick> timeTicks(std::int64_t from, std::int64_t to, double width,
                                const TextWidth& textWidth, double gap);

} // namespace qv::trend
