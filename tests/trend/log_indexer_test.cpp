// The log's index against the file it was made of: every bucket says what its readings
// say (how many, extremes, first and last times, the bytes holding their lines), however
// the file is cut between threads and samples, whatever the lines' order; a followed file
// is read on as it grows, each line once; a read given up hands nothing more over.

#include "acquisition/measurement_log.h"
#include "tests/support/named_row.h"
#include "tests/support/summary_check.h"
#include "tests/support/temp_folder.h"
#include "tests/support/time_zone.h"
#include "tests/support/wait_until.h"
#include "trend/log_indexer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace qv::trend {
namespace {

using std::chrono::seconds;

constexpr std::int64_t kStart = 1'600'000'000;

std::string line(std::int64_t when, float humidity, float temperature) {
    return MeasurementLog::formatLine(when, humidity, temperature);
}

// Values with spikes both ways, at times that fall on bucket edges as often as not.
float wavy(std::int64_t t) {
    return static_cast<float>(std::round(std::sin(t * 0.01) * 300) / 10 + (t % 97 == 0 ? 50 : 0) -
                              (t % 89 == 0 ? 50 : 0));
}

std::string everyFewSeconds(int count, int every, std::int64_t start = kStart) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const std::int64_t t = start + std::int64_t{i} * every;
        text += line(t, wavy(t), -wavy(t + 7));
    }
    return text;
}

std::string outOfOrder() {
    std::string text = everyFewSeconds(3000, 1, kStart + 5000);
    text += everyFewSeconds(2000, 1, kStart) + everyFewSeconds(10, 1, kStart + 4000);
    return text;
}

// The hour from 01:00 to 01:59 comes twice on 11/07/2021 (US rules).
std::string repeatedHour() {
    std::string text;
    for (int pass = 0; pass < 2; ++pass)
        for (int m = 0; m < 60; ++m)
            text += "11/07/2021\t01:" + std::string(m < 10 ? "0" : "") + std::to_string(m) +
                    ":00\t" + std::to_string(40 + pass * 10 + m % 7) + ".0\t20.0\r\n";
    return text + "11/07/2021\t02:00:00\t45.0\t20.0\r\n";
}

std::string junkAmongLines() {
    std::string text = "header\n\n" + everyFewSeconds(500, 5) + std::string(10'000, 'x') + "\n";
    text += "01/02/2020\t10:00:00\t45\t23.1\n" + everyFewSeconds(500, 5, kStart + 2500);
    return text + "01/02/2020\t10:00:00\t45.3\t23.1"; // the last line unended
}

std::string yearsApart() {
    return everyFewSeconds(10, 1, 631'152'000) + everyFewSeconds(1000, 60) +
           everyFewSeconds(10, 1, 1'893'456'000);
}

struct IndexRow : test::NamedRow {
    std::string (*content)();
    const char* zone; // nullptr: the machine's
    IndexPlan plan;
    unsigned threads;
    LogReadStatus status;
};

constexpr IndexPlan kSmallItems{4096, 16, 512};
constexpr IndexPlan kTinyItems{700, 4, 100};

// Lets the indexer run to the end of its first pass and takes what it hands over, as the
// trend window does; false when it did not end in time.
bool runToEnd(LogIndexer& indexer, LogSummary& summary, LogReadStatus& status) {
    bool complete = false;
    return test::waitUntil(
        [&] {
            while (auto update = indexer.take()) {
                if (update->summary)
                    summary = std::move(*update->summary);
                for (const IndexedLine& l : update->appended)
                    summary.add(l.reading, l.begin, l.end);
                if (update->complete) {
                    complete = true;
                    status = update->status;
                    EXPECT_EQ(update->share, 1.0);
                }
            }
            return complete;
        },
        std::chrono::seconds{20}, test::sleepBriefly);
}

class Index : public testing::TestWithParam<IndexRow> {};

TEST_P(Index, EveryBucketSaysWhatItsReadingsSay) {
    const IndexRow& row = GetParam();
    std::optional<test::ScopedTimeZone> zone;
    if (row.zone)
        zone.emplace(row.zone);
    test::TempFolder folder("qv-index");
    const auto path = folder / "log.txt";
    const std::string text = row.content();
    std::ofstream(path, std::ios::binary) << text;

    LogIndexer indexer([] {}, row.threads, row.plan);
    indexer.start(path, false);
    LogSummary summary;
    LogReadStatus status{};
    ASSERT_TRUE(runToEnd(indexer, summary, status));
    ASSERT_EQ(status, row.status);

    // The file read line by line.
    std::vector<test::SummaryLine> lines;
    std::uint64_t skipped = 0;
    LocalTimeCache times;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t lf = std::min(text.find('\n', at), text.size());
        if (auto r = parseLogLine(std::string_view(text).substr(at, lf - at), times))
            lines.push_back({*r, at, std::min(lf + 1, text.size())});
        else
            ++skipped;
        at = lf + 1;
    }
    EXPECT_EQ(summary.skippedLines, skipped);
    test::expectSummaryOf(summary, lines);
}

const IndexRow kIndexRows[] = {
    {{"OneItem"}, [] { return everyFewSeconds(1000, 1); }, nullptr, {}, 2, LogReadStatus::Ok},
    {{"LinesCutBetweenItemsAndThreads"},
     [] { return everyFewSeconds(20'000, 1); },
     nullptr,
     kSmallItems,
     3,
     LogReadStatus::Ok},
    {{"SampledFirst"},
     [] { return everyFewSeconds(20'000, 3); },
     nullptr,
     kTinyItems,
     2,
     LogReadStatus::Ok},
    {{"ExtremesAtBucketEdges"},
     [] { return everyFewSeconds(40'000, 7); },
     nullptr,
     kSmallItems,
     2,
     LogReadStatus::Ok},
    {{"OutOfOrderLines"}, outOfOrder, nullptr, kSmallItems, 2, LogReadStatus::Ok},
    {{"RepeatedHourAtTheEndOfSummerTime"},
     repeatedHour,
     "EST5EDT,M3.2.0,M11.1.0",
     kTinyItems,
     2,
     LogReadStatus::Ok},
    {{"SkippedBlankOverlongAndUnendedLines"},
     junkAmongLines,
     nullptr,
     kTinyItems,
     3,
     LogReadStatus::Ok},
    {{"YearsApartMakeCoarserBuckets"}, yearsApart, nullptr, kSmallItems, 2, LogReadStatus::Ok},
    {{"Empty"}, [] { return std::string(); }, nullptr, {}, 2, LogReadStatus::Empty},
    {{"NoReadings"},
     [] { return std::string("a\r\nb\r\n"); },
     nullptr,
     {},
     2,
     LogReadStatus::NoReadings},
};
INSTANTIATE_TEST_SUITE_P(Files, Index, testing::ValuesIn(kIndexRows), test::RowName{});

TEST(Index, FollowsAGrowingFileReadingEachLineOnce) {
    test::TempFolder folder("qv-index");
    const auto path = folder / "log.txt";
    std::ofstream(path, std::ios::binary) << everyFewSeconds(100, 1);
    LogIndexer indexer([] {}, 2, kTinyItems);
    indexer.start(path, true);
    LogSummary summary;
    LogReadStatus status{};
    ASSERT_TRUE(runToEnd(indexer, summary, status));
    const auto growsTo = [&](std::uint64_t count) {
        indexer.poke();
        return test::waitUntil(
            [&] {
                while (auto update = indexer.take()) {
                    if (update->summary)
                        summary = std::move(*update->summary);
                    for (const IndexedLine& l : update->appended)
                        summary.add(l.reading, l.begin, l.end);
                }
                return summary.count() == count;
            },
            std::chrono::seconds{10}, test::sleepBriefly);
    };
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << everyFewSeconds(10, 1, kStart + 100) << "09/13/2020\t12:";
    }
    ASSERT_TRUE(growsTo(110)); // the line being written is left for later
    std::ofstream(path, std::ios::binary | std::ios::app) << "28:00\t45.0\t20.0\r\n";
    ASSERT_TRUE(growsTo(111));
    EXPECT_EQ(summary.buckets()[0].begin, 0u);
    EXPECT_EQ(summary.whole().end, std::filesystem::file_size(path));
    // Emptied and written anew (logging started again without append): read from the start.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << everyFewSeconds(5, 1);
    EXPECT_TRUE(growsTo(5));
}

TEST(Index, AReadGivenUpStopsAtOnceAndHandsNothingMoreOver) {
    test::TempFolder folder("qv-index");
    std::ofstream(folder / "zeros.log").flush();
    // Sparse: zeros for a long read (Wine refuses far larger files).
    std::filesystem::resize_file(folder / "zeros.log", std::uintmax_t{1} << 34);
    std::ofstream(folder / "a.log", std::ios::binary) << everyFewSeconds(50, 1);
    std::atomic<int> ready{0};
    LogIndexer indexer([&] { ++ready; });
    indexer.start(folder / "zeros.log", false);
    ASSERT_TRUE(test::waitUntil([&] { return indexer.take().has_value(); },
                                std::chrono::seconds{10},
                                test::sleepBriefly)); // the first pictures come while it reads
    indexer.cancel();
    EXPECT_FALSE(indexer.active());
    EXPECT_FALSE(indexer.take());
    // Another read after it, and the end of the object, wait for nothing of the first.
    indexer.start(folder / "a.log", true);
    LogSummary summary;
    LogReadStatus status{};
    ASSERT_TRUE(runToEnd(indexer, summary, status));
    EXPECT_EQ(summary.count(), 50u);
}

} // namespace
} // namespace qv::trend
