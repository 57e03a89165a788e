// The summary's buckets as readings come in any order and over any span: they grow coarser
// in place, each reading in its bucket, each bucket's figures those of its readings.

#include "tests/support/named_row.h"
#include "tests/support/summary_check.h"
#include "trend/log_summary.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qv::trend {
namespace {

struct SpanRow : test::NamedRow {
    std::vector<std::int64_t> times;
    bool reserveFirst; // as the indexer does, before anything is added
};

std::vector<std::int64_t> steps(std::int64_t from, std::int64_t count, std::int64_t step) {
    std::vector<std::int64_t> times;
    for (std::int64_t i = 0; i < count; ++i)
        times.push_back(from + i * step);
    return times;
}

std::vector<std::int64_t> outwards() {
    std::vector<std::int64_t> times;
    for (std::int64_t i = 0; i < 50'000; ++i)
        times.push_back(i % 2 ? 1'000'000 + i * 37 : 1'000'000 - i * 41);
    return times;
}

class Summary : public testing::TestWithParam<SpanRow> {};

TEST_P(Summary, KeepsEveryReadingInItsBucketWhereverItFalls) {
    LogSummary summary;
    if (GetParam().reserveFirst)
        summary.reserve();
    std::vector<test::SummaryLine> lines;
    std::uint64_t at = 0;
    for (std::int64_t t : GetParam().times) {
        const auto v = static_cast<float>(std::sin(static_cast<double>(t)) * 50);
        lines.push_back({{t, v, -v}, at, at + 30});
        summary.add(lines.back().reading, at, at + 30);
        at += 30;
    }
    test::expectSummaryOf(summary, lines);
}

const SpanRow kSpans[] = {
    {{"OneSecondApart"}, steps(1'700'000'000, 70'000, 1), false},
    {{"GrowingToTheRight"}, steps(1'700'000'000, 100'000, 97), true},
    {{"GrowingToTheLeft"}, steps(1'700'000'000, 100'000, -89), true},
    {{"BothWaysFromTheMiddle"}, outwards(), true},
    {{"BeforeTheEpochAndCenturiesApart"},
     {-5'000'000'000, 0, 1, 2, 9'000'000'000, -5'000'000'000 + 3},
     false},
};
INSTANTIATE_TEST_SUITE_P(Spans, Summary, testing::ValuesIn(kSpans), test::RowName{});

TEST(SummaryCell, ExtremesAndEndsFollowTimeWhateverOrderCellsMergeIn) {
    SummaryCell late = SummaryCell::of({20, 5.0f, 0.0f}, 200, 230);
    late.add({25, 9.0f, 0.0f}, 230, 260);
    SummaryCell early = SummaryCell::of({10, 1.0f, 0.0f}, 100, 130);
    early.add({12, 7.0f, 0.0f}, 130, 160);
    late.merge(early); // the earlier stretch merged into the later one
    EXPECT_EQ(late.humidity.first, 1.0f);
    EXPECT_EQ(late.humidity.last, 9.0f);
    EXPECT_EQ(late.humidity.low, 1.0f);
    EXPECT_EQ(late.humidity.high, 9.0f);
    EXPECT_TRUE(late.humidity.lowBeforeHigh);
    EXPECT_EQ(late.longestStep, 8); // 12 to 20, between the two
    EXPECT_EQ(late.begin, 100u);
    EXPECT_EQ(late.end, 260u);
}

} // namespace
} // namespace qv::trend
