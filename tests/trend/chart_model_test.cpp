#include "tests/support/named_row.h"
#include "trend/chart_model.h"
#include "trend/chart_renderer.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv::trend {
namespace {

// Readings every 10 s over two days, ending at kNewest.
constexpr std::int64_t kNewest = 1'000'000;
const std::vector<TimedReading>& twoDays() {
    static const auto readings = [] {
        std::vector<TimedReading> r;
        for (std::int64_t t = kNewest - 2 * 86400; t <= kNewest; t += 10)
            r.push_back({t, 50.0f, 20.0f});
        return r;
    }();
    return readings;
}

struct ViewRow : test::NamedRow {
    Span span;
    std::vector<double> pans;
    std::int64_t from, to;
    bool live;
};

class View : public testing::TestWithParam<ViewRow> {};

TEST_P(View, ShowsTheSpanEndingWherePanningLeftIt) {
    const ViewRow& row = GetParam();
    const ReadingSpans readings{twoDays(), {}};
    ChartModel model;
    model.setSpan(row.span);
    for (double pan : row.pans)
        model.panBy(pan, readings);
    const TimeWindow w = model.window(readings);
    EXPECT_EQ(w.from, row.from);
    EXPECT_EQ(w.to, row.to);
    EXPECT_EQ(model.live(), row.live);
}

constexpr std::int64_t kOldest = kNewest - 2 * 86400;

INSTANTIATE_TEST_SUITE_P(
    Spans, View,
    testing::Values(
        ViewRow{{"TenMinutesLive"}, Span::TenMinutes, {}, kNewest - 600, kNewest, true},
        ViewRow{{"SixHoursBackHalf"},
                Span::SixHours,
                {-0.5},
                kNewest - 9 * 3600,
                kNewest - 3 * 3600,
                false},
        ViewRow{{"StopsAtTheOldest"}, Span::TwentyFourHours, {-5}, kOldest, kOldest + 86400, false},
        ViewRow{
            {"ForwardToNewestIsLive"}, Span::OneHour, {-2, 1, 1.5}, kNewest - 3600, kNewest, true},
        ViewRow{
            {"SevenDaysLongerThanData"}, Span::SevenDays, {-1}, kNewest - 7 * 86400, kNewest, true},
        ViewRow{{"AllIsTheData"}, Span::All, {-1}, kOldest, kNewest, true}),
    test::RowName{});

TEST(ChartModel, TypicalIntervalIsTheCommonSpacingDespiteGaps) {
    std::vector<TimedReading> readings;
    for (std::int64_t t = 0; t < 5000; t += (t % 1000 == 0 ? 600 : 5))
        readings.push_back({t, 0, 0});
    EXPECT_EQ(typicalInterval({readings, {}}).count(), 5);
}

// Counts what the renderer asks of the painter; a fixed-width font.
struct CountingPainter final : Painter {
    int polylines = 0;
    float textWidth(std::string_view text) const override { return 7.0f * text.size(); }
    float lineHeight() const override { return 14.0f; }
    void setPen(Colour, float) override {}
    void drawLine(PointF, PointF) override {}
    void drawPolyline(const PointF*, std::size_t) override { ++polylines; }
    void drawRect(const RectF&) override {}
    void fillRect(const RectF&, Colour) override {}
    void drawText(const RectF&, TextAlign, std::string_view) override {}
};

TEST(ChartRenderer, DrawsOneLinePerRunWithinThePlot) {
    std::vector<TimedReading> readings = twoDays();
    readings.erase(readings.end() - 100, readings.end() - 90); // 100 s missing: a gap
    ChartModel model;
    model.setPollInterval(std::chrono::seconds{10});
    CountingPainter painter;
    ChartFrame frame;
    drawChart(painter, model, {readings, {}}, Quantity::Temperature, {0, 0, 600, 200}, true,
              ChartStyle{}, frame);
    EXPECT_EQ(painter.polylines, 2);
    EXPECT_EQ(figuresText(frame), "now 20.0   min 20.0   max 20.0   mean 20.0");
    for (const PointF& p : frame.line.points) {
        EXPECT_GE(p.x, frame.plot.x);
        EXPECT_LE(p.x, frame.plot.right());
        EXPECT_GE(p.y, frame.plot.y);
        EXPECT_LE(p.y, frame.plot.bottom());
    }
}

} // namespace
} // namespace qv::trend
