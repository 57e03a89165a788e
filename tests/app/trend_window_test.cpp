// The trend window's behaviour below any toolkit: the window over a fake front end, fake
// window services and fake controls, drawing onto a recording painter; real log files in a
// private folder.

#include "app/trend_window.h"

#include "app/services/window_services.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/named_row.h"
#include "tests/support/recording_painter.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace {

using namespace qv::ctl;
using qv::trend::Span;

constexpr std::int64_t kStart = 1'291'657'850;

class TrendWindowLogic : public testing::Test {
protected:
    // Two hours of readings, one every 5 s, and the window open.
    void SetUp() override {
        for (std::int64_t t = 0; t < 7200; t += 5)
            history_.append({kStart + t, 45.0f, 21.0f});
        frontEnd_.showTrendWindow(trend_);
    }
    bool enabled(int id) { return frontEnd_.trendControls.enabled[id]; }

    qv::trend::ReadingHistory history_{10'000};
    qv::test::FakeWindowServices window_;
    qv::test::FakeFrontEnd frontEnd_;
    qv::TrendWindow trend_{history_, window_, frontEnd_};
    qv::test::TempFolder dir_{"qv-trend"};
};

enum class Event { Command, Wheel, Key };

struct ViewRow : qv::test::NamedRow {
    Event event;
    int value; // a control id, a wheel delta, 0 for Left and 1 for Right
    Span span;
    bool live; // also: the Live button is disabled
};

class TrendView : public TrendWindowLogic, public testing::WithParamInterface<ViewRow> {};

TEST_P(TrendView, FollowsTheButtonsWheelAndKeys) {
    const ViewRow& row = GetParam();
    const int repaints = frontEnd_.trendInvalidations;
    if (row.event == Event::Command)
        trend_.OnCommand(row.value);
    else if (row.event == Event::Wheel)
        trend_.OnMouseWheel(row.value);
    else
        trend_.OnKey(row.value == 0 ? qv::TrendKey::Left : qv::TrendKey::Right);
    EXPECT_EQ(trend_.model().span(), row.span);
    EXPECT_EQ(trend_.model().live(), row.live);
    EXPECT_EQ(enabled(kLive), !row.live);
    EXPECT_FALSE(enabled(kSpanTenMinutes + static_cast<int>(row.span)));
    EXPECT_GT(frontEnd_.trendInvalidations, repaints);
    EXPECT_EQ(trend_.model().window(trend_.readings()).to < kStart + 7195, !row.live);
}

const ViewRow kViews[] = {
    {"TenMinutes", Event::Command, kSpanTenMinutes, Span::TenMinutes, true},
    {"SevenDays", Event::Command, kSpanSevenDays, Span::SevenDays, true},
    {"All", Event::Command, kSpanAll, Span::All, true},
    {"WheelAwayPansBack", Event::Wheel, 120, Span::OneHour, false},
    {"WheelTowardStaysAtTheNewest", Event::Wheel, -120, Span::OneHour, true},
    {"LeftPansBack", Event::Key, 0, Span::OneHour, false},
    {"RightStaysAtTheNewest", Event::Key, 1, Span::OneHour, true},
};
INSTANTIATE_TEST_SUITE_P(Events, TrendView, testing::ValuesIn(kViews), qv::test::RowName{});

struct LogRow : qv::test::NamedRow {
    const char* content; // nullptr: no file; "-": the user cancels
    const char* box;     // empty: none
    bool shown;          // the log replaces the live readings
};

class OpenLog : public TrendWindowLogic, public testing::WithParamInterface<LogRow> {};

TEST_P(OpenLog, ShowsAReadableLogAndSaysWhatItSkipped) {
    const LogRow& row = GetParam();
    const std::string path = (dir_ / "old.log").string();
    if (row.content && *row.content != '-')
        std::ofstream(path, std::ios::binary) << row.content;
    if (!row.content || *row.content != '-')
        frontEnd_.openAnswer = path;
    trend_.OnCommand(kOpenLog);
    EXPECT_EQ(frontEnd_.opens.at(0), std::make_pair(std::string("log"), std::string("Log files")));
    EXPECT_FALSE(frontEnd_.waitCursor);
    ASSERT_EQ(window_.boxes.size(), *row.box ? 1u : 0u);
    if (*row.box) {
        EXPECT_EQ(window_.boxes[0].text, row.box);
    }
    EXPECT_EQ(trend_.showingLog(), row.shown);
    EXPECT_EQ(frontEnd_.trendControls.texts[kTrendSource], row.shown ? "old.log" : "Live readings");
    EXPECT_EQ(trend_.readings().size(), row.shown ? 2u : history_.size());
}

const LogRow kLogs[] = {
    {"Cancelled", "-", "", false},
    {"Missing", nullptr, "The file does not exist.", false},
    {"Empty", "", "The file is empty.", false},
    {"Clean", "12/06/2010\t17:50:50\t45.3\t21.7\r\n12/06/2010\t17:50:55\t45.4\t21.6\n", "", true},
    {"SkippedLines",
     "junk\n12/06/2010\t17:50:50\t45.3\t21.7\n\nH 45.3T 21.7\n12/06/2010\t17:50:55\t45.4\t21.6\n",
     "3 lines were not readings", true},
};
INSTANTIATE_TEST_SUITE_P(Files, OpenLog, testing::ValuesIn(kLogs), qv::test::RowName{});

TEST_F(TrendWindowLogic, LiveLeavesALoadedLogAndOnlyLiveReadingsRepaintAnOpenWindow) {
    std::ofstream(dir_ / "a.log") << "12/06/2010\t17:50:50\t45.3\t21.7\n";
    frontEnd_.openAnswer = (dir_ / "a.log").string();
    trend_.OnCommand(kOpenLog);
    int repaints = frontEnd_.trendInvalidations;
    trend_.readingAdded(std::chrono::seconds{5});
    EXPECT_EQ(frontEnd_.trendInvalidations, repaints);
    trend_.OnCommand(kLive);
    EXPECT_FALSE(trend_.showingLog());
    EXPECT_FALSE(enabled(kLive));
    repaints = frontEnd_.trendInvalidations;
    trend_.readingAdded(std::chrono::seconds{5});
    EXPECT_EQ(frontEnd_.trendInvalidations, repaints + 1);
    trend_.OnDestroy();
    frontEnd_.trendShown = nullptr;
    trend_.readingAdded(std::chrono::seconds{5});
    EXPECT_EQ(frontEnd_.trendInvalidations, repaints + 1);
}

struct SaveRow : qv::test::NamedRow {
    bool chosen;
    bool written;
    const char* box; // empty: none
};

class SaveImage : public TrendWindowLogic, public testing::WithParamInterface<SaveRow> {};

TEST_P(SaveImage, WritesTheChartsAtTheWindowsSize) {
    const SaveRow& row = GetParam();
    qv::test::RecordingPainter screen, image;
    trend_.paint(screen, 640, 360);
    if (row.chosen)
        frontEnd_.browseAnswer = "/x/t.png";
    frontEnd_.saveSucceeds = row.written;
    frontEnd_.imagePainter = &image;
    trend_.OnCommand(kSaveImage);
    EXPECT_EQ(frontEnd_.browses.at(0).first, "png");
    EXPECT_EQ(frontEnd_.savedImages.size(), row.chosen ? 1u : 0u);
    if (row.chosen) {
        EXPECT_EQ(frontEnd_.savedImages[0], "/x/t.png 640x360");
    }
    EXPECT_EQ(image.texts.size(), row.chosen ? screen.texts.size() : 0u);
    ASSERT_EQ(window_.boxes.size(), *row.box ? 1u : 0u);
    if (*row.box) {
        EXPECT_EQ(window_.boxes[0].text, row.box);
    }
}

const SaveRow kSaves[] = {
    {"Cancelled", false, true, ""},
    {"Written", true, true, ""},
    {"Failed", true, false, "Could not save the image to /x/t.png."},
};
INSTANTIATE_TEST_SUITE_P(Choices, SaveImage, testing::ValuesIn(kSaves), qv::test::RowName{});

TEST_F(TrendWindowLogic, PaintsHumidityAboveTemperatureEachWithItsLine) {
    qv::test::RecordingPainter painter;
    trend_.paint(painter, 800, 600);
    const auto humidity = painter.boxOf("Relative humidity (% RH)");
    const auto temperature = painter.boxOf("Temperature (\u00B0C)");
    EXPECT_LT(humidity.y, 300.0f);
    EXPECT_GE(temperature.y, 300.0f);
    EXPECT_EQ(painter.polylines, 2);
}

} // namespace
