#pragma once

// Checks a log summary against the readings it was made of, each with the bytes of its
// line: every reading in the bucket its time says, and every bucket holding what its
// readings say (how many, the extremes of both quantities, the sum, the first and last
// times, the bytes of their lines); no other bucket holds anything. GoogleTest
// expectations; no Qt.

#include "trend/log_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

namespace qv::test {

struct SummaryLine {
    trend::TimedReading reading;
    std::uint64_t begin = 0, end = 0;
};

inline void expectSummaryOf(const trend::LogSummary& summary,
                            const std::vector<SummaryLine>& lines) {
    using trend::cellKey;
    EXPECT_EQ(summary.count(), lines.size());
    if (lines.empty())
        return;
    struct Expected {
        std::uint64_t count = 0;
        float lowH = std::numeric_limits<float>::max(), highH = -lowH;
        float lowT = lowH, highT = -lowH;
        double sumH = 0;
        std::int64_t first = std::numeric_limits<std::int64_t>::max();
        std::int64_t last = std::numeric_limits<std::int64_t>::min();
        std::uint64_t begin = std::numeric_limits<std::uint64_t>::max(), end = 0;
    };
    const int shift = summary.widthShift();
    std::map<std::int64_t, Expected> buckets;
    for (const SummaryLine& l : lines) {
        const std::int64_t index = cellKey(l.reading.time, shift) - (summary.origin() >> shift);
        ASSERT_GE(index, 0) << "a reading before the first bucket";
        ASSERT_LT(index, static_cast<std::int64_t>(trend::LogSummary::kBuckets));
        Expected& e = buckets[index];
        ++e.count;
        e.lowH = std::min(e.lowH, l.reading.humidity);
        e.highH = std::max(e.highH, l.reading.humidity);
        e.lowT = std::min(e.lowT, l.reading.temperature);
        e.highT = std::max(e.highT, l.reading.temperature);
        e.sumH += l.reading.humidity;
        e.first = std::min(e.first, l.reading.time);
        e.last = std::max(e.last, l.reading.time);
        e.begin = std::min(e.begin, l.begin);
        e.end = std::max(e.end, l.end);
    }
    std::size_t nonEmpty = 0;
    for (const trend::SummaryCell& cell : summary.buckets())
        nonEmpty += cell.count > 0 ? 1 : 0;
    EXPECT_EQ(nonEmpty, buckets.size());
    for (const auto& [index, e] : buckets) {
        const trend::SummaryCell& cell = summary.buckets()[static_cast<std::size_t>(index)];
        ASSERT_EQ(cell.count, e.count) << "bucket " << index;
        EXPECT_EQ(cell.humidity.low, e.lowH) << "bucket " << index;
        EXPECT_EQ(cell.humidity.high, e.highH) << "bucket " << index;
        EXPECT_EQ(cell.temperature.low, e.lowT) << "bucket " << index;
        EXPECT_EQ(cell.temperature.high, e.highT) << "bucket " << index;
        EXPECT_NEAR(cell.humidity.sum, e.sumH, 1e-3 * static_cast<double>(e.count));
        EXPECT_EQ(cell.firstTime, e.first) << "bucket " << index;
        EXPECT_EQ(cell.lastTime, e.last) << "bucket " << index;
        EXPECT_EQ(cell.begin, e.begin) << "bucket " << index;
        EXPECT_EQ(cell.end, e.end) << "bucket " << index;
    }
    EXPECT_EQ(summary.first(), buckets.begin()->second.first);
    EXPECT_EQ(summary.last(), buckets.rbegin()->second.last);
}

} // namespace qv::test
