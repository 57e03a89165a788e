#include "tests/support/named_row.h"
#include "trend/decimation.h"
#include "trend/log_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
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

// The same readings drawn from a summary of them (buckets no wider than a column) and
// one by one: the same extremes in every column, the same figures, the same gaps.
struct SummaryRow : test::NamedRow {
    int readings, every;
    std::vector<std::pair<int, int>> missing; // [first, last) indexes left out
    std::int64_t maxStep;
    std::size_t runs;
};

class SummaryDecimation : public testing::TestWithParam<SummaryRow> {};

TEST_P(SummaryDecimation, DrawsWhatTheReadingsDraw) {
    const SummaryRow& row = GetParam();
    std::vector<TimedReading> readings;
    LogSummary summary;
    for (int i = 0; i < row.readings; ++i) {
        bool left = false;
        for (const auto& [from, to] : row.missing)
            left = left || (i >= from && i < to);
        if (left)
            continue;
        readings.push_back({std::int64_t{i} * row.every, valueAt(i), -valueAt(i + 3)});
        summary.add(readings.back(), 0, 0);
    }
    const TimeWindow window{0, std::int64_t{row.readings - 1} * row.every};
    constexpr int kColumns = 600;
    ASSERT_LE(summary.width(), (window.to - window.from) / kColumns);
    ChartData fromSummary;
    fromSummary.add({&summary, {}});
    for (Quantity q : {Quantity::Humidity, Quantity::Temperature}) {
        DecimatedLine expected, line;
        decimate({readings, {}}, q, window, kColumns, row.maxStep, expected);
        decimate(fromSummary, q, window, kColumns, row.maxStep, line);
        EXPECT_EQ(line.runEnds.size(), row.runs);
        EXPECT_EQ(expected.runEnds.size(), row.runs);
        EXPECT_EQ(line.stats.count, expected.stats.count);
        EXPECT_EQ(line.stats.minimum, expected.stats.minimum);
        EXPECT_EQ(line.stats.maximum, expected.stats.maximum);
        EXPECT_NEAR(line.stats.mean, expected.stats.mean, 1e-6);
        // A bucket is drawn in the column of its first reading: an extreme may move to the
        // column before, never further, and never goes missing.
        std::map<int, std::pair<float, float>> columns, expectedColumns;
        for (auto [points, into] :
             {std::pair{&line.points, &columns}, std::pair{&expected.points, &expectedColumns}})
            for (const PointF& p : *points) {
                auto [it, fresh] = into->try_emplace(static_cast<int>(p.x), p.y, p.y);
                it->second = {std::min(it->second.first, p.y), std::max(it->second.second, p.y)};
            }
        for (auto [one, other] :
             {std::pair{&columns, &expectedColumns}, std::pair{&expectedColumns, &columns}})
            for (const auto& [c, range] : *one) {
                bool lowSeen = false, highSeen = false;
                for (int near = c - 1; near <= c + 1; ++near)
                    if (other->count(near)) {
                        lowSeen = lowSeen || other->at(near).first <= range.first;
                        highSeen = highSeen || other->at(near).second >= range.second;
                    }
                EXPECT_TRUE(lowSeen && highSeen) << "column " << c;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SummaryDecimation,
    testing::Values(SummaryRow{{"ManyPerColumn"}, 200'000, 1, {}, 3, 1},
                    SummaryRow{{"GapOfSomeColumns"}, 200'000, 1, {{50'000, 52'000}}, 3, 2},
                    SummaryRow{
                        {"GapsOfEveryWidth"}, 300'000, 5, {{1'000, 1'004}, {9'000, 9'003}}, 15, 3},
                    SummaryRow{{"FewerThanColumns"}, 300, 3600, {{100, 110}}, 3 * 3600, 2}),
    test::RowName{});

} // namespace
} // namespace qv::trend
