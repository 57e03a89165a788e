#include "trend/reading_history.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv::trend {
namespace {

std::vector<std::int64_t> times(ReadingSpans spans) {
    std::vector<std::int64_t> out;
    for (std::size_t i = 0; i < spans.size(); ++i)
        out.push_back(spans[i].time);
    return out;
}

TEST(ReadingHistory, KeepsTheNewestReadingsInTimeOrderOnceFull) {
    ReadingHistory history(3);
    for (std::int64_t t : {10, 20, 30, 40, 50})
        history.append({t, 1.0f, 2.0f});
    const ReadingSpans spans = history.readings();
    EXPECT_EQ(times(spans), (std::vector<std::int64_t>{30, 40, 50}));
    EXPECT_FALSE(spans.second.empty()) << "the ring has wrapped: the lookup must cross halves";
    EXPECT_EQ(spans.lowerBound(35), 1u);
    EXPECT_EQ(spans.lowerBound(50), 2u);
    EXPECT_EQ(spans.lowerBound(51), 3u);
}

TEST(ReadingHistory, TheFirstWrapDropsExactlyTheOldestReading) {
    ReadingHistory history(3);
    for (std::int64_t t : {10, 20, 30, 40})
        history.append({t, 1.0f, 2.0f});
    EXPECT_EQ(times(history.readings()), (std::vector<std::int64_t>{20, 30, 40}));
}

TEST(ReadingHistory, AReadingFromAClockSetBackKeepsTheOrder) {
    ReadingHistory history(4);
    history.append({100, 1.0f, 1.0f});
    history.append({90, 2.0f, 2.0f});
    EXPECT_EQ(times(history.readings()), (std::vector<std::int64_t>{100, 100}));
    EXPECT_EQ(history.readings().back().humidity, 2.0f);
}

} // namespace
} // namespace qv::trend
