// The trend window's behaviour below any toolkit: the window over a fake front end, fake
// window services and fake controls, drawing onto a recording painter; real log files in a
// private folder.

#include "app/trend_window.h"

#include "app/services/window_services.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/named_row.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace qv::ctl;
using qv::trend::Span;

constexpr std::int64_t kStart = 1'291'657'850;
constexpr std::int64_t kNewest = kStart + 7195;
constexpr char kTwoLines[] =
    "12/06/2010\t17:50:50\t45.3\t21.7\r\n12/06/2010\t17:50:55\t45.4\t21.6\n";

// Two hours of readings 5 s apart, and the window open.
class TrendWindowLogic : public testing::Test {
protected:
    void SetUp() override {
        for (std::int64_t t = kStart; t <= kNewest; t += 5)
            history_.append({t, 45.0f, 21.0f});
        frontEnd_.showTrendWindow(trend_);
    }
    bool enabled(int id) { return frontEnd_.trendControls.enabled[id]; }
    std::string source() { return frontEnd_.trendControls.texts[kTrendSource]; }
    // Hands the readers' messages to the window, as the main window routes them, until
    // the read has ended.
    void deliverRead() {
        do {
            ASSERT_TRUE(window_.waitForPosted(1, std::chrono::seconds{10}));
            for (const auto& posted : window_.takePosted())
                if (posted.message == qv::WM_TREND_LOG_READ)
                    trend_.OnLogRead();
        } while (trend_.readingLog());
    }

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
    bool live; // at the newest reading, the Live button disabled
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
    EXPECT_EQ(trend_.model().window(trend_.shown()).to < kNewest, !row.live);
    EXPECT_EQ(enabled(kLive), !row.live);
    EXPECT_FALSE(enabled(kSpanTenMinutes + static_cast<int>(row.span)));
    EXPECT_GT(frontEnd_.trendInvalidations, repaints);
}

const ViewRow kViews[] = {
    {"TenMinutes", Event::Command, kSpanTenMinutes, Span::TenMinutes, true},
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
};

class OpenLog : public TrendWindowLogic, public testing::WithParamInterface<LogRow> {};

TEST_P(OpenLog, ShowsALogWithReadingsAndSaysWhatItSkipped) {
    const LogRow& row = GetParam();
    const bool cancelled = row.content && *row.content == '-';
    if (row.content && !cancelled)
        std::ofstream(dir_ / "old.log", std::ios::binary) << row.content;
    if (!cancelled)
        frontEnd_.openAnswer = (dir_ / "old.log").string();
    trend_.OnCommand(kOpenLog);
    if (!cancelled)
        deliverRead();
    EXPECT_EQ(frontEnd_.opens.at(0), std::make_pair(std::string("log"), std::string("Log files")));
    EXPECT_FALSE(frontEnd_.waitCursor);
    ASSERT_EQ(window_.boxes.size(), *row.box ? 1u : 0u);
    EXPECT_EQ(*row.box ? window_.boxes[0].text : "", row.box);
    const bool shown = trend_.showingLog();
    EXPECT_EQ(source(), shown ? "old.log" : "Live readings");
    EXPECT_EQ(trend_.readingCount(), shown ? 2u : history_.size());
}

const LogRow kLogs[] = {
    {"Cancelled", "-", ""},
    {"Missing", nullptr, "The file does not exist."},
    {"Empty", "", "The file is empty."},
    {"Clean", kTwoLines, ""},
    {"SkippedLines",
     "junk\n\nH 45.3T 21.7\n12/06/2010\t17:50:50\t45.3\t21.7\n12/06/2010\t17:50:55\t45.4\t21.6\n",
     "3 lines were not readings"},
};
INSTANTIATE_TEST_SUITE_P(Files, OpenLog, testing::ValuesIn(kLogs), qv::test::RowName{});

enum class GiveUp { Live, Close, AnotherFile };

struct GiveUpRow : qv::test::NamedRow {
    GiveUp how;
    const char* source; // afterwards, in the window (reopened after Close)
};

class GivingUpARead : public TrendWindowLogic, public testing::WithParamInterface<GiveUpRow> {};

TEST_P(GivingUpARead, StopsItAndLeavesTheWindowToTheUser) {
    std::ofstream(dir_ / "zeros.log").flush();
    std::filesystem::resize_file(dir_ / "zeros.log", std::uintmax_t{1} << 40); // sparse
    std::ofstream(dir_ / "a.log") << kTwoLines;
    frontEnd_.openAnswer = (dir_ / "zeros.log").string();
    trend_.OnCommand(kOpenLog); // reads zeros for a long while
    EXPECT_EQ(source(), "Reading zeros.log...");
    EXPECT_TRUE(enabled(kLive));
    if (GetParam().how == GiveUp::Live) {
        trend_.OnCommand(kLive);
    } else if (GetParam().how == GiveUp::Close) {
        trend_.OnDestroy();
        frontEnd_.trendShown = nullptr;
        frontEnd_.showTrendWindow(trend_);
    } else {
        frontEnd_.openAnswer = (dir_ / "a.log").string();
        trend_.OnCommand(kOpenLog);
        deliverRead();
    }
    EXPECT_FALSE(trend_.readingLog());
    EXPECT_EQ(source(), GetParam().source);
}

const GiveUpRow kGiveUps[] = {
    {"Live", GiveUp::Live, "Live readings"},
    {"ClosingTheWindow", GiveUp::Close, "Live readings"},
    {"AnotherFile", GiveUp::AnotherFile, "a.log"},
};
INSTANTIATE_TEST_SUITE_P(Ways, GivingUpARead, testing::ValuesIn(kGiveUps), qv::test::RowName{});

TEST_F(TrendWindowLogic, LiveLeavesALogAndOnlyLiveReadingsRepaintAnOpenWindow) {
    std::ofstream(dir_ / "a.log") << kTwoLines;
    frontEnd_.openAnswer = (dir_ / "a.log").string();
    trend_.OnCommand(kOpenLog);
    deliverRead();
    const int repaints = frontEnd_.trendInvalidations;
    trend_.readingAdded(std::chrono::seconds{5}); // not shown: no repaint
    trend_.OnCommand(kLive);
    EXPECT_EQ(source(), "Live readings");
    EXPECT_FALSE(enabled(kLive));
    trend_.readingAdded(std::chrono::seconds{5});
    trend_.OnDestroy();
    frontEnd_.trendShown = nullptr;
    trend_.readingAdded(std::chrono::seconds{5}); // closed: no repaint
    EXPECT_EQ(frontEnd_.trendInvalidations, repaints + 2);
}

TEST_F(TrendWindowLogic, SavesTheChartsAtThePaintedSizeAndReportsAFailure) {
    qv::test::RecordingPainter screen;
    trend_.paint(screen, 640, 360);
    trend_.OnCommand(kSaveImage); // cancelled
    frontEnd_.browseAnswer = "/x/t.png";
    frontEnd_.saveSucceeds = false;
    trend_.OnCommand(kSaveImage);
    EXPECT_EQ(frontEnd_.browses.at(0).first, "png");
    EXPECT_EQ(frontEnd_.savedImages, std::vector<std::string>{"/x/t.png 640x360"});
    EXPECT_EQ(frontEnd_.imagePainter.texts.size(), screen.texts.size());
    ASSERT_EQ(window_.boxes.size(), 1u);
    EXPECT_EQ(window_.boxes[0].text, "Could not save the image to /x/t.png.");
}

TEST_F(TrendWindowLogic, PaintsHumidityAboveTemperatureEachWithItsLine) {
    qv::test::RecordingPainter painter;
    trend_.paint(painter, 800, 600);
    EXPECT_LT(painter.texts["Relative humidity (% RH)"].y, 300.0f);
    EXPECT_GE(painter.texts["Temperature (\u00B0C)"].y, 300.0f);
    EXPECT_EQ(painter.polylines, 2);
}

} // namespace
