// What the charts of a log are drawn from, span by span: buckets where a column holds one
// or more, the lines of a narrower span once read (asked for with room to pan), the live
// readings for their own times.

#include "tests/support/named_row.h"
#include "trend/log_view.h"

#include <gtest/gtest.h>

namespace qv::trend {
namespace {

// 100 days of readings a minute apart.
constexpr std::int64_t kFirst = 1'600'000'000;
constexpr std::int64_t kLast = kFirst + 100 * 86400 - 60;
constexpr std::int64_t kHour = 3600;
constexpr int kColumns = 800;

const LogSummary& hundredDays() {
    static const LogSummary summary = [] {
        LogSummary s;
        std::uint64_t at = 0;
        for (std::int64_t t = kFirst; t <= kLast; t += 60, at += 30)
            s.add({t, 50.0f, 20.0f}, at, at + 30);
        return s;
    }();
    return summary;
}

// One summary with over a million readings in one hour (the same time again and again).
const LogSummary& crowdedHour() {
    static const LogSummary summary = [] {
        LogSummary s;
        s.add({kFirst, 1.0f, 1.0f}, 0, 30);
        SummaryCell crowd = SummaryCell::of({kLast, 1.0f, 1.0f}, 30, 60);
        crowd.count = LogView::kMostDetail + 1;
        s.add(crowd);
        return s;
    }();
    return summary;
}

enum class Detail { None, ReadAsAsked };

struct ViewRow : test::NamedRow {
    const LogSummary& (*summary)();
    std::int64_t from, to;
    bool live;    // live readings every 5 s for the last two hours after the log
    bool reading; // the file is still being read
    Detail detail;
    const char* pieces; // S: the summary, R: readings, one letter per piece
    bool asks;          // wanted() names lines to read
};

class View : public testing::TestWithParam<ViewRow> {};

TEST_P(View, DrawsFromTheRightPiecesAndAsksOnlyForWhatItLacks) {
    const ViewRow& row = GetParam();
    std::vector<TimedReading> live;
    for (std::int64_t t = kLast + 60; row.live && t <= kLast + 2 * kHour; t += 5)
        live.push_back({t, 40.0f, 10.0f});
    LogView view;
    view.setSummary(&row.summary());
    view.setLive({live, {}});
    view.setReading(row.reading);
    const TimeWindow window{row.from, row.to};
    if (row.detail == Detail::ReadAsAsked) {
        const std::optional<LogRange> asked = view.wanted(window, kColumns);
        ASSERT_TRUE(asked);
        std::vector<TimedReading> lines;
        for (std::int64_t t = kFirst; t <= kLast; t += 60)
            if (t >= asked->from && t <= asked->to)
                lines.push_back({t, 50.0f, 20.0f});
        view.setDetail(lines, *asked);
    }
    const ChartData data = view.data(window, kColumns);
    std::string pieces;
    for (std::size_t i = 0; i < data.count; ++i)
        pieces += data.pieces[i].summary ? 'S' : 'R';
    EXPECT_EQ(pieces, row.pieces);
    EXPECT_EQ(data.joinGaps, row.reading);
    const std::optional<LogRange> wanted = view.wanted(window, kColumns);
    ASSERT_EQ(wanted.has_value(), row.asks);
    if (wanted) {
        // The span and a span each way, and the bytes of all their lines.
        const std::int64_t span = row.to - row.from;
        EXPECT_EQ(wanted->from, row.from - span);
        EXPECT_EQ(wanted->to, std::min(row.to + span, row.live ? kLast + 59 : row.to + span));
        const LogRange bytes = row.summary().rangeOf(row.from, row.to);
        EXPECT_LE(wanted->begin, bytes.begin);
        EXPECT_GE(wanted->end, bytes.end);
    }
    if (row.live) {
        EXPECT_EQ(view.extent().newest, live.back().time);
    }
}

const std::int64_t kMiddle = kFirst + 50 * 86400;

const ViewRow kViews[] = {
    {{"AllFromTheSummary"}, hundredDays, kFirst, kLast, false, false, Detail::None, "S", false},
    {{"SevenDaysFromTheSummary"},
     hundredDays,
     kMiddle - 7 * 86400,
     kMiddle,
     false,
     false,
     Detail::None,
     "S",
     false},
    {{"OneHourAsksForItsLines"},
     hundredDays,
     kMiddle - kHour,
     kMiddle,
     false,
     false,
     Detail::None,
     "S",
     true},
    {{"OneHourWithItsLinesShowsThem"},
     hundredDays,
     kMiddle - kHour,
     kMiddle,
     false,
     false,
     Detail::ReadAsAsked,
     "R",
     false},
    {{"NoLinesAskedForWhileTheFileIsRead"},
     hundredDays,
     kMiddle - kHour,
     kMiddle,
     false,
     true,
     Detail::None,
     "S",
     false},
    {{"LiveReadingsAfterTheLog"},
     hundredDays,
     kFirst,
     kLast + 2 * kHour,
     true,
     false,
     Detail::None,
     "SR",
     false},
    {{"AnHourOfLiveReadingsNeedsNoLines"},
     hundredDays,
     kLast + kHour,
     kLast + 2 * kHour,
     true,
     false,
     Detail::None,
     "R",
     false},
    {{"AnHourAcrossTheLogsEndAsksForItsPart"},
     hundredDays,
     kLast - kHour / 2,
     kLast + kHour / 2,
     true,
     false,
     Detail::None,
     "SR",
     true},
    {{"TooCrowdedAnHourStaysWithTheSummary"},
     crowdedHour,
     kLast - kHour,
     kLast,
     false,
     false,
     Detail::None,
     "S",
     false},
};
INSTANTIATE_TEST_SUITE_P(Spans, View, testing::ValuesIn(kViews), test::RowName{});

} // namespace
} // namespace qv::trend
