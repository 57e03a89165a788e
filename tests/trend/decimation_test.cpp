#include "tests/support/named_row.h"
#include "trend/decimation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace qv::trend {
namespace {

struct DecimationRow : test::NamedRow {
    int readings, columns, every; // a reading every `every` seconds from time 0
    std::int64_t maxStep;
    std::vector<int> missing; // indexes of readings left out
    std::size_t runs;
};

// Uneven values with spikes both ways, so that a column's extremes lie anywhere in it.
float valueAt(int i) {
    return static_cast<float>(std::sin(i * 0.37) * 10 + (i % 97 == 5 ? 40 : 0) -
                              (i % 89 == 7 ? 40 : 0));
}

class Decimation : public testing::TestWithParam<DecimationRow> {};

TEST_P(Decimation, KeepsEveryColumnsExtremesAndBreaksAtGaps) {
    const DecimationRow& row = GetParam();
    std::vector<TimedReading> readings;
    for (int i = 0; i < row.readings; ++i)
        if (std::find(row.missing.begin(), row.missing.end(), i) == row.missing.end())
            readings.push_back({std::int64_t{i} * row.every, valueAt(i), 0.0f});
    // Split in two as a wrapped ring is.
    const std::span<const TimedReading> all(readings);
    const ReadingSpans spans{all.first(readings.size() / 3), all.subspan(readings.size() / 3)};
    const TimeWindow window{0, std::int64_t{row.readings - 1} * row.every};
    DecimatedLine line;
    decimate(spans, Quantity::Humidity, window, row.columns, row.maxStep, line);

    EXPECT_EQ(line.runEnds.size(), row.runs);
    EXPECT_LE(line.points.size(), 4u * static_cast<std::size_t>(row.columns));
    ASSERT_EQ(line.stats.count, readings.size());
    for (int c = 0; c < row.columns; ++c) {
        std::vector<float> inColumn, drawn;
        for (const TimedReading& r : readings)
            if (std::min<std::int64_t>(r.time * row.columns / window.to, row.columns - 1) == c)
                inColumn.push_back(r.humidity);
        for (const PointF& p : line.points)
            if (p.x == c + 0.5f)
                drawn.push_back(p.y);
        if (inColumn.empty())
            continue;
        const auto [low, high] = std::minmax_element(inColumn.begin(), inColumn.end());
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), *low), drawn.end()) << "column " << c;
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), *high), drawn.end()) << "column " << c;
        EXPECT_EQ(*std::minmax_element(drawn.begin(), drawn.end()).first, *low) << "column " << c;
        EXPECT_EQ(*std::minmax_element(drawn.begin(), drawn.end()).second, *high) << "column " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Decimation,
    testing::Values(DecimationRow{{"ManyPerColumn"}, 100'000, 800, 1, 3, {}, 1},
                    DecimationRow{{"UnevenPerColumn"}, 1'000, 7, 1, 3, {}, 1},
                    DecimationRow{{"FewerThanColumns"}, 50, 800, 5, 15, {}, 1},
                    DecimationRow{{"StepOfThreeIntervalsJoins"}, 50, 100, 5, 15, {10, 11}, 1},
                    DecimationRow{{"LongerStepBreaks"}, 50, 100, 5, 15, {10, 11, 12}, 2},
                    DecimationRow{{"LoneReadingIsARun"}, 50, 100, 5, 5, {10, 12, 30}, 4},
                    DecimationRow{{"GapInsideAColumn"}, 10'000, 10, 1, 3, {4000, 4001, 4002}, 2}),
    test::RowName{});

TEST(Decimation, FiguresAreOfTheWindowOnly) {
    const std::vector<TimedReading> readings{{0, 100, 0}, {10, 2, 0}, {20, 4, 0}, {30, -100, 0}};
    DecimatedLine line;
    decimate({readings, {}}, Quantity::Humidity, {5, 25}, 100, 30, line);
    EXPECT_EQ(line.stats.count, 2u);
    EXPECT_EQ(line.stats.minimum, 2.0f);
    EXPECT_EQ(line.stats.maximum, 4.0f);
    EXPECT_DOUBLE_EQ(line.stats.mean, 3.0);
}

} // namespace
} // namespace qv::trend
