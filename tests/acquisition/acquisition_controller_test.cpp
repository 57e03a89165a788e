#include "acquisition/acquisition_controller.h"

#include "acquisition/station.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/files.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/named_row.h"
#include "tests/support/temp_folder.h"
#include "tests/support/virtual_time.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace qv {
namespace {

using namespace std::chrono_literals;
using test::FakeSerialPlatform;
using test::FakeWindowServices;
using test::VirtualTime;
using Calls = std::vector<std::string>;

constexpr int kPort = 3;
constexpr char kRecord[] = "H 45.3T 23.1\r";
constexpr std::size_t kRecordLength = sizeof kRecord - 1;
// Both fields present, but the humidity holds no number: the parser drops it.
constexpr char kUnconvertible[] = "H    .T 23.1\r";

const Calls kLinesOn{"rts 1", "dtr 1", "break 0"};
const Calls kLinesOff{"rts 0", "dtr 0", "break 1"};

// The main window: everything to the station, the ticks it routes counted.
class Window final : public WindowMessageTarget {
public:
    explicit Window(Station& station) : station_(station) {}
    void onTimer(int timerId) override {
        ++ticks[timerId];
        station_.onTimer(timerId);
    }
    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override {
        station_.onMessage(message, wParam, lParam);
    }
    std::map<int, int> ticks;

private:
    Station& station_;
};

class AcquisitionControllerTest : public testing::Test {
protected:
    AcquisitionControllerTest() {
        logPath_ = (dir_ / "tavrin.log").string();
        platform.addPort(kPort);
        platform.setSensorRecord(kPort, kRecord);
        window.target = &routing;
        log.setFileName(logPath_);
        log.setAppend(false);
        controller.setPort(kPort);
        controller.setInterval(5);
    }
    void startLogging() {
        log.toggle();
        ASSERT_TRUE(log.logging());
    }
    // Waits for `bytes` bytes from the reader thread and hands them to the window.
    void deliver(std::size_t bytes = kRecordLength) {
        ASSERT_TRUE(window.waitForPosted(bytes, 5s)) << "the sensor did not answer";
        window.pump();
    }
    // One poll answered by the sensor.
    void pollAndAnswer() {
        ASSERT_TRUE(window.fireTimer(kPollTimer));
        deliver();
    }
    // Hands the writer's confirmations to the log until `count` lines are counted.
    bool logged(int count) {
        while (log.recordCount() < count && window.waitForPosted(1, 5s))
            window.pump();
        return log.recordCount() == count;
    }
    std::vector<std::string> logLines() const { return test::readLines(logPath_); }
    std::string shown() {
        return window.texts[ctl::kHumidity] + "|" + window.texts[ctl::kTemperature];
    }

    test::TempFolder dir_{"qv-cycle-test"};
    std::string logPath_;
    FakeSerialPlatform platform;
    FakeWindowServices window;
    test::FixedClock clock;
    ReadingParser parser;
    Station station{platform, window, clock, parser};
    CSerialComm& channel = station.channel();
    MeasurementLog& log = station.log();
    AcquisitionController& controller = station.controller();
    Window routing{station};
};

TEST_F(AcquisitionControllerTest, StartOpensTheSensorAndShowsItsFirstAnswerWithoutLoggingIt) {
    startLogging();
    controller.start();

    EXPECT_TRUE(platform.isOpen(kPort));
    EXPECT_EQ(channel.dcb().BaudRate, 9600u);
    EXPECT_EQ(channel.dcb().ByteSize, 8);
    EXPECT_TRUE(platform.rts(kPort) && platform.dtr(kPort) && !platform.breakSet(kPort));
    ASSERT_TRUE(window.timerRunning(kPollTimer));
    EXPECT_EQ(window.timerPeriod(kPollTimer), 5000ms);
    EXPECT_FALSE(window.timerRunning(kTimeoutTimer));
    platform.clearCalls();

    deliver();
    EXPECT_EQ(shown(), " 45.3| 23.1");
    EXPECT_EQ(platform.calls(), kLinesOff);
    EXPECT_TRUE(controller.dataReceived());
    EXPECT_EQ(log.recordCount(), 0);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(AcquisitionControllerTest, EachPollSwitchesOnAndEachAnswerSwitchesOffAndIsLoggedOnce) {
    startLogging();
    controller.start();
    deliver();

    for (int poll = 1; poll <= 3; ++poll) {
        platform.clearCalls();
        ASSERT_TRUE(window.fireTimer(kPollTimer));
        EXPECT_EQ(platform.calls(), kLinesOn);
        EXPECT_TRUE(controller.pollPending());
        EXPECT_FALSE(controller.dataReceived());
        ASSERT_TRUE(window.timerRunning(kTimeoutTimer));
        EXPECT_EQ(window.timerPeriod(kTimeoutTimer), 2000ms);

        platform.clearCalls();
        deliver();
        EXPECT_EQ(platform.calls(), kLinesOff);
        EXPECT_FALSE(platform.rts(kPort) || platform.dtr(kPort));
        EXPECT_TRUE(platform.breakSet(kPort));
        EXPECT_FLOAT_EQ(controller.humidity(), 45.3f);
        EXPECT_FLOAT_EQ(controller.temperature(), 23.1f);
        EXPECT_TRUE(logged(poll));

        // The answer came in time: the timeout neither blanks nor probes.
        window.textLog.clear();
        ASSERT_TRUE(window.fireTimer(kTimeoutTimer));
        EXPECT_TRUE(window.textLog.empty());
    }
    EXPECT_EQ(logLines().size(), 3u);
    EXPECT_NE(logLines().at(0).find("45.3\t23.1"), std::string::npos);
}

TEST_F(AcquisitionControllerTest, TwoRecordsInOnePollGiveTwoDisplaysAndOneLogLine) {
    startLogging();
    controller.start();
    deliver();
    platform.setSensorRecord(kPort, "H 45.3T 23.1\rH 46.0T 24.0\r");
    window.textLog.clear();

    ASSERT_TRUE(window.fireTimer(kPollTimer));
    deliver(2 * kRecordLength);

    const std::vector<std::pair<int, std::string>> expected{{ctl::kHumidity, " 45.3"},
                                                            {ctl::kTemperature, " 23.1"},
                                                            {ctl::kHumidity, " 46.0"},
                                                            {ctl::kTemperature, " 24.0"}};
    std::vector<std::pair<int, std::string>> values;
    for (const auto& entry : window.textLog)
        if (entry.first == ctl::kHumidity || entry.first == ctl::kTemperature)
            values.push_back(entry);
    EXPECT_EQ(values, expected);
    EXPECT_TRUE(logged(1));
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_NE(logLines()[0].find("45.3\t23.1"), std::string::npos);
}

TEST_F(AcquisitionControllerTest, ARecordWithoutAPendingPollIsShownButNotLogged) {
    startLogging();
    controller.start();
    deliver();
    pollAndAnswer();
    ASSERT_TRUE(logged(1));

    platform.clearCalls();
    platform.inject(kPort, "H 50.0T 20.0\r");
    deliver();

    EXPECT_EQ(shown(), " 50.0| 20.0");
    EXPECT_EQ(platform.calls(), kLinesOff);
    EXPECT_TRUE(controller.dataReceived());
    EXPECT_EQ(log.recordCount(), 1);
    EXPECT_EQ(logLines().size(), 1u);
}

TEST_F(AcquisitionControllerTest, AFailedConversionLeavesTheLinesOnSoTheTimeoutBlanks) {
    controller.start();
    deliver();
    ASSERT_EQ(shown(), " 45.3| 23.1");
    platform.setSensorRecord(kPort, kUnconvertible);

    platform.clearCalls();
    pollAndAnswer();
    EXPECT_EQ(platform.calls(), kLinesOn);
    EXPECT_TRUE(platform.rts(kPort) && platform.dtr(kPort) && !platform.breakSet(kPort));
    EXPECT_FALSE(controller.dataReceived());
    EXPECT_EQ(shown(), " 45.3| 23.1");

    // The port is still held by the channel (busy): blank, but no message, and the
    // timeout keeps firing, blanking each time, until the next poll.
    for (int tick = 0; tick < 2; ++tick) {
        window.texts.clear();
        ASSERT_TRUE(window.fireTimer(kTimeoutTimer));
        EXPECT_EQ(window.texts.at(ctl::kHumidity), "");
        EXPECT_EQ(window.texts.at(ctl::kTemperature), "");
    }
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(platform.isOpen(kPort));
    EXPECT_TRUE(window.timerRunning(kPollTimer));
}

// With a silent sensor on an unplugged port, only the timeout can notice the loss: at
// the latest kReplyTimeout after the first unanswered poll, once, whatever the interval.
class SilentSensor : public AcquisitionControllerTest, public testing::WithParamInterface<int> {};

TEST_P(SilentSensor, IsNoticedOnceWithinTheReplyTimeoutOfThePoll) {
    const std::chrono::seconds interval{GetParam()};
    controller.setInterval(GetParam());
    controller.start();
    deliver();
    platform.removePort(kPort);

    VirtualTime time(window);
    time.runFor(interval + kReplyTimeout);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "COM port disconnected");
    EXPECT_EQ(shown(), "|");
    time.runFor(60s);
    EXPECT_EQ(routing.ticks[kTimeoutTimer], 1);
    EXPECT_EQ(window.boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Intervals, SilentSensor, testing::Values(1, 2, 3),
                         [](const auto& info) { return std::to_string(info.param) + "s"; });

enum class Loss { Unplugged, UnpluggedAndBack };

void PrintTo(Loss loss, std::ostream* out) {
    *out << (loss == Loss::Unplugged ? "Unplugged" : "UnpluggedAndBack");
}

class LostPort : public AcquisitionControllerTest, public testing::WithParamInterface<Loss> {};

TEST_P(LostPort, ClosesTheChannelStopsBothTimersAndSaysSoOnce) {
    startLogging();
    controller.start();
    deliver();
    platform.setSensorRecord(kPort, "");
    ASSERT_TRUE(window.fireTimer(kPollTimer));
    platform.removePort(kPort);
    if (GetParam() == Loss::UnpluggedAndBack)
        platform.addPort(kPort); // free: the channel no longer holds it

    // The box runs a nested loop; ticks still queued for the stopped timers are
    // dispatched inside it.
    int nested = 0;
    window.onMessageBox = [&](const FakeWindowServices::Box&) {
        if (nested++ > 0)
            return;
        EXPECT_EQ(channel.GetPortHandle(), kInvalidHandle);
        EXPECT_FALSE(window.timerRunning(kPollTimer) || window.timerRunning(kTimeoutTimer));
        routing.onTimer(kTimeoutTimer);
        routing.onTimer(kPollTimer);
    };
    ASSERT_TRUE(window.fireTimer(kTimeoutTimer));

    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "COM port disconnected");
    EXPECT_EQ(window.boxes[0].icon, BoxIcon::Exclamation);
    EXPECT_EQ(shown(), "|");
    EXPECT_FALSE(window.timerRunning(kPollTimer));
    EXPECT_FALSE(window.timerRunning(kTimeoutTimer));
    EXPECT_FALSE(platform.isOpen(kPort));
    EXPECT_TRUE(log.logging());
    EXPECT_TRUE(log.fileOpen());
}

INSTANTIATE_TEST_SUITE_P(Probes, LostPort, testing::Values(Loss::Unplugged, Loss::UnpluggedAndBack),
                         [](const auto& info) {
                             return info.param == Loss::Unplugged ? "Absent" : "Free";
                         });

TEST_F(AcquisitionControllerTest, AnOpenFailureStartsNoTimerUntilTheIntervalChanges) {
    platform.holdByOther(kPort, true);
    controller.start();

    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Failed to open COM port");
    EXPECT_EQ(window.boxes[0].detail, "COM3: " + std::string(std::strerror(EBUSY)));
    EXPECT_FALSE(window.timerRunning(kPollTimer) || window.timerRunning(kTimeoutTimer));

    // Still held by the other program: the probe says busy, nothing is reported.
    controller.changeInterval(2);
    ASSERT_TRUE(window.timerRunning(kPollTimer));
    EXPECT_EQ(window.timerPeriod(kPollTimer), 2000ms);
    ASSERT_TRUE(window.fireTimer(kPollTimer));
    ASSERT_TRUE(window.fireTimer(kTimeoutTimer));
    EXPECT_EQ(window.boxes.size(), 1u);

    // Released: the program does not hold it either, which counts as lost.
    platform.holdByOther(kPort, false);
    ASSERT_TRUE(window.fireTimer(kTimeoutTimer));
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1].text, "COM port disconnected");
    EXPECT_FALSE(window.timerRunning(kPollTimer) || window.timerRunning(kTimeoutTimer));
}

TEST_F(AcquisitionControllerTest, ReopenMovesToTheNewPortAndRestartsThePoll) {
    constexpr int kOther = 7;
    platform.addPort(kOther);
    platform.setSensorRecord(kOther, "H 60.0T 10.0\r");
    controller.start();
    deliver();
    ASSERT_TRUE(window.fireTimer(kPollTimer));
    deliver();

    controller.reopen(kOther);
    EXPECT_EQ(controller.port(), kOther);
    EXPECT_FALSE(platform.isOpen(kPort));
    EXPECT_TRUE(platform.isOpen(kOther));
    EXPECT_TRUE(window.timerRunning(kPollTimer));
    EXPECT_FALSE(window.timerRunning(kTimeoutTimer));
    deliver();
    EXPECT_EQ(shown(), " 60.0| 10.0");

    // A port that cannot be opened: the old one is released all the same, and nothing
    // runs until the next reopen.
    controller.reopen(42);
    EXPECT_FALSE(platform.isOpen(kOther));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Failed to open COM port");
    EXPECT_FALSE(window.timerRunning(kPollTimer) || window.timerRunning(kTimeoutTimer));
}

// Automatic reconnection: a lost port is waited for without a box, retried every
// kReconnectRetry, and reopened once free; logging then goes on into the same file, which
// is never emptied (append is off in this fixture).
class Reconnect : public AcquisitionControllerTest {
protected:
    Reconnect() {
        controller.setAutoReconnect(true);
        controller.setWaitingListener([this](bool waiting) { waits.push_back(waiting); });
    }
    std::vector<bool> waits; // what the listener was told, in order
};

TEST_F(Reconnect, ALostPortIsRetriedEveryTwoSecondsAndReopenedOnceFree) {
    startLogging();
    controller.start();
    deliver();
    pollAndAnswer();
    ASSERT_TRUE(logged(1));
    platform.setSensorRecord(kPort, "");
    platform.removePort(kPort);
    VirtualTime time(window);
    time.runFor(5s + kReplyTimeout); // the loss is noticed
    EXPECT_EQ(waits, std::vector<bool>{true});
    EXPECT_EQ(shown(), "|");

    // Absent, then held by another program: each tick probes and opens nothing.
    routing.ticks.clear();
    time.runFor(10s);
    platform.addPort(kPort);
    platform.holdByOther(kPort, true);
    time.runFor(10s);
    EXPECT_EQ(routing.ticks, (std::map<int, int>{{kReconnectTimer, 10}}));
    EXPECT_FALSE(platform.isOpen(kPort));

    platform.holdByOther(kPort, false);
    platform.setSensorRecord(kPort, kRecord);
    time.runFor(kReconnectRetry);
    EXPECT_EQ(waits, (std::vector<bool>{true, false}));
    deliver();
    pollAndAnswer();
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(logged(3)); // the pending poll's answer, then the new poll's
    EXPECT_EQ(logLines().size(), 3u);
}

TEST_F(Reconnect, AFailedOpenIsShownAndRetriedAlsoWhileItsBoxIsOpen) {
    platform.holdByOther(kPort, true);
    bool retriedUnderTheBox = false;
    window.onMessageBox = [&](const FakeWindowServices::Box&) {
        platform.holdByOther(kPort, false);
        retriedUnderTheBox = window.fireTimer(kReconnectTimer) && platform.isOpen(kPort);
    };
    controller.start();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Failed to open COM port");
    EXPECT_TRUE(retriedUnderTheBox);
    EXPECT_TRUE(window.timerRunning(kPollTimer));
}

TEST_F(Reconnect, SwitchedOffTheWaitEndsWithoutABox) {
    controller.start();
    platform.removePort(kPort);
    ASSERT_TRUE(window.fireTimer(kPollTimer));
    ASSERT_TRUE(window.fireTimer(kTimeoutTimer));
    controller.setAutoReconnect(false);
    platform.addPort(kPort);
    routing.onTimer(kReconnectTimer); // queued before: dropped
    EXPECT_FALSE(platform.isOpen(kPort));
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(waits, (std::vector<bool>{true, false}));
}

// The station presses Start Log from its posted message and hands each Reading, with the
// clock's time, to its listeners once the cycle has shown it.
TEST_F(AcquisitionControllerTest, TheStationStartsLoggingOnRequestAndTellsItsListenersEachReading) {
    std::vector<std::string> heard;
    station.addReadingListener([&](const Reading& r, std::time_t when) {
        heard.push_back(r.humidityText + "@" + std::to_string(when) + " shown " + shown());
    });
    station.start(/*startLogging=*/true);
    ASSERT_TRUE(window.timerRunning(kPollTimer));
    deliver(kRecordLength + 1); // WM_START_LOG, posted first, then the record
    EXPECT_TRUE(log.logging());
    EXPECT_EQ(heard, std::vector<std::string>{" 45.3@" + std::to_string(test::kDecember6) +
                                              " shown  45.3| 23.1"});
}

struct PeriodCase {
    int interval;
    long long expectedMs;
    friend std::ostream& operator<<(std::ostream& out, const PeriodCase& row) {
        return out << "interval " << row.interval;
    }
};

class PollPeriod : public testing::TestWithParam<PeriodCase> {};

TEST_P(PollPeriod, IsIntervalTimesAThousandWithinTheTimersRange) {
    EXPECT_EQ(pollPeriod(GetParam().interval).count(), GetParam().expectedMs);
}

INSTANTIATE_TEST_SUITE_P(
    LoadedIntervals, PollPeriod,
    testing::Values(PeriodCase{1, 1000}, PeriodCase{1000, 1000000}, PeriodCase{5000, 5000000},
                    // Zero and negative would be a busy loop: the smallest timer instead.
                    PeriodCase{0, 10}, PeriodCase{-5, 10}, PeriodCase{INT_MIN, 10},
                    // The largest interval whose period still fits an int, and beyond.
                    PeriodCase{2147483, 2147483000}, PeriodCase{2147484, INT_MAX},
                    PeriodCase{INT_MAX, INT_MAX}));

} // namespace
} // namespace qv
