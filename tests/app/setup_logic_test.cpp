// The behaviour of the main window, the setup dialog and the about command, below any
// toolkit: the logic over fake window services, a fake front end and fake controls, with a
// real settings file in a private folder and an in-memory serial line.

#include "app/main_dialog.h"
#include "app/res/dialog_templates.h"
#include "app/setup_dialog.h"
#include "settings/settings_store.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/named_row.h"
#include "tests/support/private_home.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qv::ctl;
using qv::test::FakeDialogControls;

[[maybe_unused]] testing::Environment* const kPrivateHome =
    testing::AddGlobalTestEnvironment(new qv::test::PrivateHome);

// The setup dialog alone: values to controls and back.
class SetupDialogLogic : public testing::Test {
protected:
    qv::test::FakeWindowServices window_;
    qv::test::FakeFrontEnd frontEnd_;
    qv::QV53SetupDlg dialog_{window_, frontEnd_};
    FakeDialogControls controls_;
};

struct IntervalRow : qv::test::NamedRow {
    const char* text;
    const char* message; // empty: accepted
    int interval;        // afterwards; 3 was there before
};

class IntervalText : public SetupDialogLogic, public testing::WithParamInterface<IntervalRow> {};

TEST_P(IntervalText, IsRefusedWithItsMessageAndTheFieldSelectedOrTaken) {
    dialog_.values().interval = 3;
    dialog_.OnInitDialog(controls_);
    controls_.texts[kInterval] = GetParam().text;
    const bool taken = dialog_.OnOK(controls_);
    const bool refused = *GetParam().message != '\0';
    EXPECT_EQ(taken, !refused);
    EXPECT_EQ(dialog_.values().interval, GetParam().interval);
    ASSERT_EQ(window_.boxes.size(), refused ? 1u : 0u);
    if (refused) {
        EXPECT_EQ(window_.boxes[0].text, GetParam().message);
        EXPECT_EQ(window_.boxes[0].icon, qv::BoxIcon::Exclamation);
        EXPECT_EQ(controls_.focused, kInterval);
        EXPECT_TRUE(controls_.focusSelectedAll);
    }
}

const IntervalRow kIntervals[] = {
    {"Zero", "0", "Enter an integer between 1 and 1000.", 3},
    {"AboveRange", "1001", "Enter an integer between 1 and 1000.", 3},
    {"Negative", "-5", "Enter an integer between 1 and 1000.", 3},
    {"LowerBound", "1", "", 1},
    {"UpperBound", "1000", "", 1000},
    {"Letters", "abc", "Enter an integer.", 3},
    {"Empty", "", "Enter an integer.", 3},
    {"LeadingSpace", " 7", "", 7},
    {"TrailingUnit", "7 s", "", 7},
};
INSTANTIATE_TEST_SUITE_P(Texts, IntervalText, testing::ValuesIn(kIntervals), qv::test::RowName{});

struct AppendRow : qv::test::NamedRow {
    int stored;
    int shown;   // the check state
    int afterOk; // OK with the box untouched
};

class AppendCheck : public SetupDialogLogic, public testing::WithParamInterface<AppendRow> {};

TEST_P(AppendCheck, ShowsTheStoredStateAndGivesItBackOnOk) {
    dialog_.values().append = GetParam().stored;
    dialog_.OnInitDialog(controls_);
    EXPECT_EQ(controls_.checkState(kAppend), GetParam().shown);
    ASSERT_TRUE(dialog_.OnOK(controls_));
    EXPECT_EQ(dialog_.values().append, GetParam().afterOk);
}

const AppendRow kAppends[] = {
    {"Off", 0, qv::kUnchecked, 0},
    {"On", 1, qv::kChecked, 1},
    {"TwoShowsUndecidedAndStays", 2, qv::kIndeterminate, 2},
    {"AboveRangeShowsUnchecked", 7, qv::kUnchecked, 0},
    {"BelowRangeShowsUnchecked", -1, qv::kUnchecked, 0},
};
INSTANTIATE_TEST_SUITE_P(Values, AppendCheck, testing::ValuesIn(kAppends), qv::test::RowName{});

TEST_F(SetupDialogLogic, BrowsePicksTavrinLogAndTakesOnlyAChosenPath) {
    dialog_.values().fileName = "old.log";
    dialog_.OnInitDialog(controls_);
    dialog_.browseForLogFile(controls_); // cancelled
    EXPECT_EQ(controls_.text(kFileName), "old.log");
    frontEnd_.browseAnswer = "/data/picked.log";
    dialog_.browseForLogFile(controls_);
    EXPECT_EQ(controls_.text(kFileName), "/data/picked.log");
    EXPECT_EQ(dialog_.values().fileName, "/data/picked.log");
    const std::pair<std::string, std::string> asked{"log", "tavrin.log"};
    EXPECT_EQ(frontEnd_.browses, (std::vector{asked, asked}));
}

// The main window's logic: a real settings file of its own per test, COM1 answering polls.
// Its parts are public: the rows of the tables below arrange them.
class MainLogic : public testing::Test {
public:
    static constexpr int kUnwritten = -99;

    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        appName_ = std::string("QV-5300-logic-") +
                   testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : appName_)
            c = c == '/' ? '-' : c;
        store_ = makeStore();
        store_->WriteProfileString(nullptr, qv::kLogFileNameEntry, logPath("tavrin.log"));
        store_->WriteProfileInt(nullptr, qv::kLogIntervalEntry, 1);
        serial_.addPort(1);
    }

    std::unique_ptr<qv::SettingsStore> makeStore() const {
        auto store = std::make_unique<qv::SettingsStore>(appName_);
        store->SetRegistryKey(qv::kCompanyKey);
        return store;
    }
    std::string logPath(const std::string& name) const { return (dir_ / name).string(); }
    void start(bool startLogging = false, qv::SerialPlatform* platform = nullptr) {
        logic_ = std::make_unique<qv::CQV53Dlg>(window_, frontEnd_, *store_,
                                                platform ? *platform : serial_, clock_);
        window_.target = logic_.get();
        logic_->setStartLogging(startLogging);
        logic_->OnInitDialog();
    }
    // Setup... as the window has it: the press, then the window's messages until the ports
    // are probed and the setup command has run its dialog.
    void pressSetup() {
        logic_->OnCommand(kSetup);
        ASSERT_TRUE(qv::test::waitUntil([&] { return window_.pump(), !logic_->probingPorts(); },
                                        std::chrono::seconds{10}, qv::test::sleepBriefly));
    }

    qv::test::TempFolder dir_{"qv-logic"};
    std::string appName_;
    std::unique_ptr<qv::SettingsStore> store_;
    qv::test::FakeSerialPlatform serial_;
    qv::test::FakeWindowServices window_;
    qv::test::FakeFrontEnd frontEnd_;
    qv::test::FixedClock clock_;
    std::unique_ptr<qv::CQV53Dlg> logic_; // goes first: the channel before its platform
};

// One press of Setup...: what the dialog shows, what is applied and what is written.
// The user's edits; nullptr / -1 leave a control alone.
struct Edit {
    const char* interval;
    int append;
    const char* pick;     // the port entry to select
    const char* fileName; // in the test's folder
};
// Stored afterwards: kUnwritten (nullptr for the name) where the other writer's value stays.
struct Stored {
    int port, interval, append;
    const char* fileName;
};
struct SetupRow : qv::test::NamedRow {
    std::function<void(MainLogic&)> before;  // before the window starts
    std::function<void(MainLogic&)> atPress; // after the start, before the press
    Edit edit;
    int endWith;
    const char* shownPort;      // preselected
    const char* box;            // shown during the command; empty: none
    int port, interval, append; // live afterwards
    Stored stored;
};

class SetupCommand : public MainLogic, public testing::WithParamInterface<SetupRow> {};

TEST_P(SetupCommand, AppliesAndWritesWhatChangedAfterOkOnly) {
    const SetupRow& row = GetParam();
    if (row.before)
        row.before(*this);
    start();
    if (row.atPress)
        row.atPress(*this);
    // Another writer since the start: whatever the command does not write stays.
    const auto other = makeStore();
    for (const char* entry : {qv::kComPortEntry, qv::kLogIntervalEntry, qv::kAppendEntry})
        other->WriteProfileInt(nullptr, entry, kUnwritten);
    other->WriteProfileString(nullptr, qv::kLogFileNameEntry, "other.log");
    window_.boxes.clear();
    frontEnd_.setupEndsWith = row.endWith;
    frontEnd_.editSetup = [&](qv::QV53SetupDlg&, FakeDialogControls& c) {
        if (row.edit.interval)
            c.texts[kInterval] = row.edit.interval;
        if (row.edit.append >= 0)
            c.checks[kAppend] = row.edit.append;
        if (row.edit.pick) {
            const auto& items = c.lists[kPortList].items;
            const auto at = std::find(items.begin(), items.end(), row.edit.pick);
            c.lists[kPortList].selection = at == items.end() ? -1 : int(at - items.begin());
        }
        if (row.edit.fileName)
            c.texts[kFileName] = logPath(row.edit.fileName);
    };

    pressSetup();

    EXPECT_EQ(frontEnd_.shown.selectedItem(kPortList), row.shownPort);
    EXPECT_EQ(frontEnd_.shown.text(kInterval), "1");
    EXPECT_EQ(frontEnd_.shown.text(kFileName), logPath("tavrin.log"));
    EXPECT_EQ(window_.boxes.empty() ? "" : window_.boxes[0].text, row.box);
    EXPECT_EQ(logic_->controller().port(), row.port);
    EXPECT_EQ(logic_->controller().interval(), row.interval);
    EXPECT_EQ(logic_->append(), row.append);
    EXPECT_EQ(logic_->log().append(), row.append != 0);
    EXPECT_FALSE(logic_->log().logging());
    // One successful open in every row: at the start or, when that failed, by the command.
    EXPECT_EQ(serial_.openCount(1) + serial_.openCount(2), 1);
    const auto stored = makeStore();
    EXPECT_EQ(stored->GetProfileInt(nullptr, qv::kComPortEntry, 0), row.stored.port);
    EXPECT_EQ(stored->GetProfileInt(nullptr, qv::kLogIntervalEntry, 0), row.stored.interval);
    EXPECT_EQ(stored->GetProfileInt(nullptr, qv::kAppendEntry, 0), row.stored.append);
    EXPECT_EQ(stored->GetProfileString(nullptr, qv::kLogFileNameEntry, ""),
              row.stored.fileName ? logPath(row.stored.fileName) : "other.log");
}

constexpr int kU = MainLogic::kUnwritten;
constexpr Edit kNoEdit{nullptr, -1, nullptr, nullptr};
constexpr Stored kNothingStored{kU, kU, kU, nullptr};

// clang-format off
const SetupRow kSetups[] = {
    {"CancelAppliesNothing", {}, {}, {"9", 0, "", "other.log"}, qv::kIdCancel,
     "COM1", "", 1, 1, 1, kNothingStored},
    {"OkWithoutChangeWhileThePortIsHeldWritesNothing", {}, {}, kNoEdit, qv::kIdOk,
     "COM1", "", 1, 1, 1, kNothingStored},
    {"IntervalAndAppendChanged", {}, {}, {"7", 0, nullptr, nullptr}, qv::kIdOk,
     "COM1", "", 1, 7, 0, {kU, 7, 0, nullptr}},
    {"FileNameChangedOnlyInLetterCaseStopsLogging", {},
     [](MainLogic& t) { t.logic_->OnCommand(kStartStopLog); },
     {nullptr, -1, nullptr, "TAVRIN.log"}, qv::kIdOk,
     "COM1", "", 1, 1, 1, {kU, kU, kU, "TAVRIN.log"}},
    {"CurrentPortFreeAgainIsReopenedWithoutBeingPreselected",
     [](MainLogic& t) { t.serial_.holdByOther(1, true); },
     [](MainLogic& t) { t.serial_.holdByOther(1, false); }, kNoEdit, qv::kIdOk,
     "", "", 1, 1, 1, {1, kU, kU, nullptr}},
    {"CurrentPortGoneAndNoChoiceChangesNothing", {},
     [](MainLogic& t) { t.serial_.removePort(1); }, kNoEdit, qv::kIdOk,
     "", "", 1, 1, 1, kNothingStored},
    {"FailedReopenStillWritesThePortAndTheLaterSteps", {},
     [](MainLogic& t) { t.serial_.addPort(2); t.serial_.failNext("open", 16); },
     {"7", -1, "COM2", nullptr}, qv::kIdOk,
     "COM1", "Failed to open COM port", 2, 7, 1, {2, 7, kU, nullptr}},
    {"AppendStoredOutOfRangeIsWrittenAsShown",
     [](MainLogic& t) { t.store_->WriteProfileInt(nullptr, qv::kAppendEntry, 7); }, {}, kNoEdit,
     qv::kIdOk, "COM1", "", 1, 1, 0, {kU, kU, 0, nullptr}},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Presses, SetupCommand, testing::ValuesIn(kSetups), qv::test::RowName{});

// The ports are probed under the wait cursor, off the window's thread and several at once:
// a port whose probe hangs (held at a gate here) holds up neither the other probes nor the
// window, whose timers keep polling. A second press meanwhile does nothing; the dialog
// shows once, when every port has its result, and the wait cursor is gone by then.
// Notes on which thread, and under which cursor, each probe ran.
class ProbeWatch : public qv::test::FakeSerialPlatform {
public:
    std::atomic<int> onWindowThread{0};
    std::atomic<int> underWaitCursor{0};
    const qv::test::FakeFrontEnd* frontEnd = nullptr;
    const std::thread::id windowThread = std::this_thread::get_id();

    qv::ProbeResult probePort(int port) override {
        onWindowThread += std::this_thread::get_id() == windowThread ? 1 : 0;
        underWaitCursor += frontEnd && frontEnd->waitCursor ? 1 : 0;
        return FakeSerialPlatform::probePort(port);
    }
};

TEST_F(MainLogic, PortsAreProbedOffTheWindowThreadWhileItWorksOn) {
    ProbeWatch platform;
    platform.addPort(1);
    platform.holdProbes(2);
    platform.frontEnd = &frontEnd_;
    start(false, &platform);
    frontEnd_.setupEndsWith = qv::kIdCancel;
    int dialogs = 0;
    frontEnd_.editSetup = [&](qv::QV53SetupDlg&, FakeDialogControls&) { ++dialogs; };

    logic_->OnCommand(kSetup); // returns with COM2's probe still hanging
    EXPECT_TRUE(frontEnd_.waitCursor);
    ASSERT_TRUE(qv::test::waitUntil([&] { return platform.probesDone() == 255; },
                                    std::chrono::seconds{10}, qv::test::sleepBriefly));
    platform.clearCalls();
    ASSERT_TRUE(window_.fireTimer(qv::kPollTimer));
    EXPECT_EQ(platform.rts(1), true) << "polled meanwhile";
    logic_->OnCommand(kSetup);
    window_.pump();
    EXPECT_EQ(dialogs, 0);

    platform.releaseProbes();
    ASSERT_TRUE(qv::test::waitUntil([&] { return window_.pump(), dialogs == 1; },
                                    std::chrono::seconds{10}, qv::test::sleepBriefly));
    EXPECT_FALSE(logic_->probingPorts());
    EXPECT_EQ(platform.probesDone(), 256);
    EXPECT_EQ(platform.onWindowThread, 0);
    EXPECT_EQ(platform.underWaitCursor, 256);
    EXPECT_FALSE(frontEnd_.waitCursorWhileShown);
    EXPECT_FALSE(frontEnd_.waitCursor);
    EXPECT_EQ(frontEnd_.shown.lists[kPortList].items, std::vector<std::string>{"COM1"});
    logic_.reset(); // before its platform
}

// The window closed while the ports are probed: no dialog afterwards, and its end waits for
// the probe under way rather than leaving a thread behind.
TEST_F(MainLogic, AWindowClosedWhileProbingShowsNoDialog) {
    serial_.holdProbes(2);
    start();
    int dialogs = 0;
    frontEnd_.editSetup = [&](qv::QV53SetupDlg&, FakeDialogControls&) { ++dialogs; };
    logic_->OnCommand(kSetup);
    logic_->OnClose();
    serial_.releaseProbes();
    ASSERT_TRUE(qv::test::waitUntil([&] { return window_.pump(), !logic_->probingPorts(); },
                                    std::chrono::seconds{10}, qv::test::sleepBriefly));
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(frontEnd_.waitCursor);

    // Ended with the probe still hanging: the end waits for it, and nothing is posted after.
    serial_.holdProbes(2);
    start();
    const int before = serial_.probesDone();
    logic_->OnCommand(kSetup);
    ASSERT_TRUE(qv::test::waitUntil([&] { return serial_.probesDone() == before + 255; },
                                    std::chrono::seconds{10}, qv::test::sleepBriefly));
    std::thread opener([&] { serial_.releaseProbes(); });
    logic_.reset();
    window_.target = nullptr;
    EXPECT_EQ(serial_.probesDone(), before + 256);
    opener.join();
    EXPECT_FALSE(frontEnd_.waitCursor);
}

struct SysCommandRow : qv::test::NamedRow {
    unsigned id;
    bool about;           // opens the about box
    bool trend;           // shows the trend window; none: left to the platform
    bool publish = false; // runs the publish dialog
};

class SysCommand : public MainLogic, public testing::WithParamInterface<SysCommandRow> {};

TEST_P(SysCommand, OpensTheAboutBoxOrTheTrendWindowForTheirCommandsOnly) {
    start();
    EXPECT_EQ(logic_->aboutMenuEntry(), "&About QV-5300...");
    EXPECT_EQ(logic_->trendMenuEntry(), "&Trend...");
    EXPECT_EQ(logic_->publishMenuEntry(), "&Publish...");
    const SysCommandRow& row = GetParam();
    EXPECT_EQ(logic_->OnSysCommand(row.id, 0), row.about || row.trend || row.publish);
    EXPECT_EQ(frontEnd_.aboutRuns, GetParam().about ? 1 : 0);
    EXPECT_EQ(frontEnd_.publishRuns, row.publish ? 1 : 0);
    EXPECT_EQ(frontEnd_.trendShown, GetParam().trend ? &logic_->trendWindow() : nullptr);
}

const SysCommandRow kSysCommands[] = {
    {"AboutEntry", qv::res::kAboutCommandId, true, false},
    {"LowBitsIgnored", 0x1F, true, false},
    {"TrendEntry", qv::res::kTrendCommandId, false, true},
    {"TrendLowBitsIgnored", 0x2F, false, true},
    {"PublishEntry", qv::res::kPublishCommandId, false, false, true},
    {"NextCommand", 0x50, false, false},
    {"Close", 0xF060, false, false},
    {"Move", 0xF010, false, false},
};
INSTANTIATE_TEST_SUITE_P(Ids, SysCommand, testing::ValuesIn(kSysCommands), qv::test::RowName{});

// --start-log: Start Log is pressed once the window's loop runs, also inside the box of a
// port that failed to open.
TEST_F(MainLogic, StartLoggingPressesStartLogOnceTheLoopRuns) {
    serial_.holdByOther(1, true);
    bool loggingUnderTheBox = false;
    window_.onMessageBox = [&](const auto&) {
        window_.pump();
        loggingUnderTheBox = logic_->log().logging();
    };
    start(true);
    EXPECT_TRUE(loggingUnderTheBox);

    logic_.reset(); // without it, nothing is pressed
    start();
    EXPECT_FALSE(logic_->log().logging());
}

TEST_F(MainLogic, EveryReadingShownGoesToTheTrendHistoryWithTheClocksTime) {
    start();
    for (const char c : std::string("H 45.3T 21.7\r"))
        logic_->onMessage(qv::WM_SERIAL_BYTE, static_cast<unsigned char>(c), 0);
    ASSERT_EQ(logic_->history().size(), 1u);
    const qv::trend::TimedReading r = logic_->history().readings()[0];
    EXPECT_EQ(r.time, clock_.when);
    EXPECT_FLOAT_EQ(r.humidity, 45.3f);
    EXPECT_FLOAT_EQ(r.temperature, 21.7f);
}

} // namespace
