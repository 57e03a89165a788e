#include "tests/support/named_row.h"
#include "tests/support/time_zone.h"
#include "trend/axis_ticks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace qv::trend {
namespace {

struct ValueRow : test::NamedRow {
    double minimum, maximum, length, spacing;
    double low, high, step;
    const char* lowLabel;
};

class ValueTicks : public testing::TestWithParam<ValueRow> {};

TEST_P(ValueTicks, AreRoundAndAsDenseAsTheSpacingAllows) {
    const ValueRow& row = GetParam();
    const ValueAxis axis = niceValueAxis(row.minimum, row.maximum, row.length, row.spacing);
    EXPECT_DOUBLE_EQ(axis.low, row.low);
    EXPECT_DOUBLE_EQ(axis.high, row.high);
    EXPECT_DOUBLE_EQ(axis.step, row.step);
    EXPECT_EQ(formatValue(axis.low, axis.decimals), row.lowLabel);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueTicks,
    testing::Values(ValueRow{{"Humidity"}, 41.2, 58.7, 200, 30, 40, 60, 5, "40"},
                    ValueRow{{"TenthsNegative"}, -0.43, 0.12, 300, 30, -0.5, 0.2, 0.1, "-0.5"},
                    ValueRow{{"TwoStep"}, 1, 17, 100, 10, 0, 18, 2, "0"},
                    ValueRow{{"FlatWidened"}, 20, 20, 100, 20, 19, 21, 0.5, "19.0"},
                    ValueRow{{"NoData"}, 0, 0, 100, 20, -0.5, 0.5, 0.5, "-0.5"},
                    ValueRow{{"TinyPlotOneInterval"}, 3, 97, 10, 20, 0, 100, 100, "0"}),
    test::RowName{});

struct RangeRow : test::NamedRow {
    double minimum, maximum;
};

class ValueTicksAnySize : public testing::TestWithParam<RangeRow> {};

// Returns at every plot height (a loop that never ends fails by the run's time limit),
// covering the range with no more intervals than there is room for: two across zero.
TEST_P(ValueTicksAnySize, AreFoundForEveryLength) {
    const RangeRow& row = GetParam();
    for (int length = 0; length <= 200; ++length) {
        const ValueAxis axis = niceValueAxis(row.minimum, row.maximum, length, 20);
        const bool acrossZero = axis.low < 0.0 && axis.high > 0.0;
        const double room = std::max({1.0, std::floor(length / 20.0), acrossZero ? 2.0 : 1.0});
        EXPECT_LE(axis.low, row.minimum) << length;
        EXPECT_GE(axis.high, row.maximum) << length;
        EXPECT_TRUE(axis.step > 0.0 && (axis.high - axis.low) / axis.step <= room + 1e-9) << length;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ValueTicksAnySize,
    testing::Values(RangeRow{{"EmptyChart"}, 0, 0}, RangeRow{{"AroundZeroCelsius"}, -0.3, 0.4},
                    RangeRow{{"BelowZero"}, -12.5, -0.1}, RangeRow{{"Equal"}, 45.3, 45.3},
                    RangeRow{{"HugeAcrossZero"}, -3.4e38, 3.4e38},
                    RangeRow{{"HugeApartInTheLastDigits"}, 3.4e38, 3.4e38 * (1 + 1e-15)},
                    RangeRow{{"Tiny"}, 1e-30, 2e-30}, RangeRow{{"SmallestDouble"}, 0, 5e-324}),
    test::RowName{});

struct TimeRow : test::NamedRow {
    std::int64_t from, to;
    double width;
    std::int64_t step;  // seconds between ticks
    std::int64_t round; // each tick's time less `phase` is a multiple of this
    std::int64_t phase;
    const char* firstLabel; // of the first tick whose label fits
};

class TimeTicks : public testing::TestWithParam<TimeRow> {};

constexpr std::int64_t kNoon = 1'700'049'600; // 11/15/2023 12:00:00 UTC, a Wednesday

TEST_P(TimeTicks, FallOnRoundLocalTimesWithLabelsApart) {
    const test::ScopedTimeZone zone("UTC0");
    const TimeRow& row = GetParam();
    const auto width = [](std::string_view text) { return 7.0 * static_cast<double>(text.size()); };
    const auto ticks = timeTicks(row.from, row.to, row.width, width, 12.0);
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_EQ(ticks[1].time - ticks[0].time, row.step);
    const auto labelled = std::find_if(ticks.begin(), ticks.end(),
                                       [](const TimeTick& t) { return !t.label.empty(); });
    ASSERT_NE(labelled, ticks.end());
    EXPECT_EQ(labelled->label, row.firstLabel);
    double lastRight = -1e9;
    for (const TimeTick& tick : ticks) {
        EXPECT_EQ((tick.time - row.phase) % row.round, 0) << tick.label;
        const double centre = static_cast<double>(tick.time - row.from) * row.width /
                              static_cast<double>(row.to - row.from);
        if (tick.label.empty())
            continue;
        EXPECT_GE(centre - width(tick.label) / 2, lastRight + 12.0) << tick.label;
        lastRight = centre + width(tick.label) / 2;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Spans, TimeTicks,
    testing::Values(
        TimeRow{{"TenMinutes"}, kNoon - 590, kNoon + 10, 800, 60, 60, 0, "11:51"},
        TimeRow{{"OneHourNarrow"}, kNoon - 3600, kNoon, 200, 900, 900, 0, "11:15"},
        TimeRow{{"Day"}, kNoon - 86400, kNoon, 800, 7200, 7200, 0, "14:00"},
        TimeRow{{"DayNarrow"}, kNoon - 86400, kNoon, 300, 6 * 3600, 6 * 3600, 0, "18:00"},
        TimeRow{{"MidnightShowsDate"}, kNoon - 43230, kNoon - 42630, 800, 60, 60, 0, "11/15"},
        TimeRow{{"Week"}, kNoon - 7 * 86400, kNoon, 400, 86400, 86400, 0, "11/09"},
        // 01/05/1970 was a Monday.
        TimeRow{{"WeeksStartOnMonday"},
                kNoon - 30 * 86400,
                kNoon,
                200,
                14 * 86400,
                7 * 86400,
                4 * 86400,
                "10/30"}),
    test::RowName{});

struct WidthRow : test::NamedRow {
    double width, gap;
    std::size_t most;
};

class TimeTicksAnyWidth : public testing::TestWithParam<WidthRow> {};

TEST_P(TimeTicksAnyWidth, AreNoMoreThanThePixels) {
    const test::ScopedTimeZone zone("UTC0");
    const WidthRow& row = GetParam();
    const auto none = [](std::string_view) { return 0.0; }; // a painter without a font
    EXPECT_LE(timeTicks(kNoon - 365 * 86400, kNoon, row.width, none, row.gap).size(), row.most);
}

INSTANTIATE_TEST_SUITE_P(Widths, TimeTicksAnyWidth,
                         testing::Values(WidthRow{{"NoGap"}, 800, 0, 801},
                                         WidthRow{{"Infinite"}, HUGE_VAL, 12, 0},
                                         WidthRow{{"NotANumber"}, std::nan(""), 12, 0}),
                         test::RowName{});

} // namespace
} // namespace qv::trend
