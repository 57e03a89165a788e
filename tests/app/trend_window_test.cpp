// The trend window's behaviour below any toolkit: the window over a fake front end, fake
// window services and fake controls, drawing onto a recording painter; real log files in a
// private folder.

#include "app/trend_window.h"

#include "acquisition/measurement_log.h"
#include "app/res/dialog_templates.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/named_row.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

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

    // The same until `done` holds.
    void deliverUntil(const std::function<bool()>& done) {
        ASSERT_TRUE(qv::test::waitUntil(
            [&] {
                for (const auto& posted : window_.takePosted())
                    if (posted.message == qv::WM_TREND_LOG_READ)
                        trend_.OnLogRead();
                return done();
            },
            std::chrono::seconds{10}, qv::test::sleepBriefly));
    }
    bool visible(int id) { return frontEnd_.trendControls.visible[id]; }

    qv::trend::ReadingHistory history_{10'000};
    qv::test::FakeWindowServices window_;
    qv::test::FakeFrontEnd frontEnd_;
    std::string logging_; // the file the log writes now
    qv::TrendWindow trend_{history_, window_, frontEnd_, [this] { return logging_; }};
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

TEST_F(TrendWindowLogic, TheLogBeingWrittenShowsWithTheLiveReadingsAndIsFollowed) {
    // An hour of earlier lines, before the history.
    std::string earlier;
    for (std::int64_t t = kStart - 3600; t < kStart; t += 5)
        earlier += qv::MeasurementLog::formatLine(t, 40.0f, 20.0f);
    std::ofstream(dir_ / "live.log", std::ios::binary) << earlier;
    logging_ = (dir_ / "live.log").string(); // logging starts while the window is open
    trend_.readingAdded(std::chrono::seconds{5});
    EXPECT_TRUE(visible(kTrendProgress));
    deliverRead();
    EXPECT_FALSE(visible(kTrendProgress));
    EXPECT_FALSE(visible(kTrendCancel));
    EXPECT_EQ(source(), "Live readings and live.log");
    EXPECT_EQ(trend_.readingCount(), history_.size() + 720);
    EXPECT_EQ(trend_.shown().oldest, kStart - 3600);
    EXPECT_EQ(trend_.shown().newest, kNewest);

    std::ofstream(dir_ / "live.log", std::ios::binary | std::ios::app)
        << qv::MeasurementLog::formatLine(kNewest, 41.0f, 21.0f);
    trend_.readingAdded(std::chrono::seconds{5});
    deliverUntil([&] { return trend_.summary().count() == 721; });
}

// As on Windows, where the log shares its file with no one while it writes.
TEST_F(TrendWindowLogic, ALoggedFileThatCannotBeReadLeavesTheLiveReadingsAlone) {
    logging_ = (dir_ / "held.log").string(); // cannot be opened: missing
    trend_.readingAdded(std::chrono::seconds{5});
    deliverRead();
    EXPECT_FALSE(trend_.followsLoggedFile());
    EXPECT_EQ(source(), "Live readings");
    EXPECT_EQ(trend_.readingCount(), history_.size());
    trend_.readingAdded(std::chrono::seconds{5}); // not tried again
    EXPECT_FALSE(trend_.readingLog());
    EXPECT_TRUE(window_.boxes.empty());
}

enum class Stop { CancelButton, Escape };

struct StopRow : qv::test::NamedRow {
    Stop how;
    bool linesFirst;    // readings before the terabyte of zeros: a first picture comes
    const char* source; // afterwards
};

class StoppingARead : public TrendWindowLogic, public testing::WithParamInterface<StopRow> {};

TEST_P(StoppingARead, StopsAtOnceAndKeepsWhatWasShown) {
    const StopRow& row = GetParam();
    std::ofstream(dir_ / "big.log", std::ios::binary) << (row.linesFirst ? kTwoLines : "");
    std::filesystem::resize_file(dir_ / "big.log", std::uintmax_t{1} << 40); // sparse
    frontEnd_.openAnswer = (dir_ / "big.log").string();
    trend_.OnCommand(kOpenLog);
    EXPECT_TRUE(visible(kTrendProgress));
    EXPECT_TRUE(visible(kTrendCancel));
    if (row.linesFirst)
        deliverUntil([&] { return trend_.showingLog(); });
    if (row.how == Stop::CancelButton)
        trend_.OnCommand(kTrendCancel);
    else
        EXPECT_TRUE(trend_.OnEscape());
    EXPECT_FALSE(trend_.readingLog());
    EXPECT_FALSE(visible(kTrendProgress));
    EXPECT_FALSE(visible(kTrendCancel));
    EXPECT_EQ(source(), row.source);
    EXPECT_FALSE(trend_.OnEscape()); // nothing more to stop: Escape closes the window
    EXPECT_TRUE(window_.boxes.empty());
}

const StopRow kStops[] = {
    {"CancelBeforeAnyPicture", Stop::CancelButton, false, "Live readings"},
    {"EscapeBeforeAnyPicture", Stop::Escape, false, "Live readings"},
    {"CancelKeepsWhatWasRead", Stop::CancelButton, true, "big.log (read in part)"},
};
INSTANTIATE_TEST_SUITE_P(Ways, StoppingARead, testing::ValuesIn(kStops), qv::test::RowName{});

TEST_F(TrendWindowLogic, ANarrowSpanShowsEveryReadingOnceItsLinesAreRead) {
    // Ten days every 10 s, values rising through each 1000 s: a summary's buckets at the
    // edges of an hour hold readings outside it, so only the hour's lines give its figures.
    std::string text;
    const std::int64_t last = kStart + 10 * 86400;
    for (std::int64_t t = kStart; t <= last; t += 10)
        text += qv::MeasurementLog::formatLine(t, static_cast<float>(t % 1000) / 10.0f, 20.0f);
    std::ofstream(dir_ / "days.log", std::ios::binary) << text;
    frontEnd_.openAnswer = (dir_ / "days.log").string();
    trend_.OnCommand(kOpenLog);
    deliverRead();
    trend_.OnCommand(kSpanOneHour);
    qv::test::RecordingPainter painter;
    trend_.paint(painter, 800, 600);
    ASSERT_TRUE(trend_.readingSpan());
    deliverUntil([&] { return !trend_.readingSpan(); });
    painter = {};
    trend_.paint(painter, 800, 600);
    EXPECT_FALSE(trend_.readingSpan()); // nothing more to read for this span
    double sum = 0, low = 1e9, high = -1e9;
    int count = 0;
    for (std::int64_t t = last - 3600; t <= last; t += 10, ++count) {
        const double v = static_cast<float>(t % 1000) / 10.0f;
        sum += v, low = std::min(low, v), high = std::max(high, v);
    }
    std::ostringstream figures;
    figures.setf(std::ios::fixed);
    figures.precision(1);
    figures << "now " << static_cast<float>(last % 1000) / 10.0f << "   min " << low << "   max "
            << high << "   mean " << sum / count;
    EXPECT_EQ(painter.texts.count(figures.str()), 1u) << figures.str();
}

TEST_F(TrendWindowLogic, AnotherLogThatCannotBeShownLeavesTheShownOneAsItWas) {
    std::ofstream(dir_ / "a.log") << kTwoLines;
    std::ofstream(dir_ / "empty.log").flush();
    frontEnd_.openAnswer = (dir_ / "a.log").string();
    trend_.OnCommand(kOpenLog);
    deliverRead();
    for (const char* other : {"empty.log", "missing.log"}) {
        frontEnd_.openAnswer = (dir_ / other).string();
        trend_.OnCommand(kOpenLog);
        deliverRead();
        EXPECT_EQ(source(), "a.log") << other;
        EXPECT_EQ(trend_.readingCount(), 2u) << other;
    }
    ASSERT_EQ(window_.boxes.size(), 2u);
    EXPECT_EQ(window_.boxes[0].text, "The file is empty.");
}

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
