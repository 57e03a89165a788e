// The event loop of the program without a display: its timers on a clock set by hand, the
// queue fed from other threads, an idle loop that sleeps, the signals that end it, and
// what it reports in place of boxes and the caption.

#include "app/headless/event_loop.h"
#include "app/headless/signal_watch.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace qv::headless {
namespace {

using namespace std::chrono_literals;
using qv::test::sleepBriefly;
using qv::test::waitUntil;

// Records what the loop delivers; `onTick` runs inside a tick.
struct Recorder : WindowMessageTarget {
    std::vector<int> ticks;
    std::function<void(int)> onTick;
    std::mutex mutex; // messages are read by the test's thread while the loop runs
    std::vector<std::pair<std::intptr_t, std::intptr_t>> messages; // (thread, sequence)

    void onTimer(int timerId) override {
        ticks.push_back(timerId);
        if (onTick)
            onTick(timerId);
    }
    void onMessage(std::uint32_t, std::intptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(mutex);
        messages.emplace_back(wParam, lParam);
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return messages.size();
    }
};

class EventLoopTimers : public testing::Test {
protected:
    EventLoopTimers() { loop.setTarget(&target); }
    // The loop's clock: moved by hand, so every turn below finds its timers due (or waits
    // out what is left of a period that was not).
    EventLoop::TimePoint now{};
    std::vector<std::string> lines;
    EventLoop loop{"QV-5300", [this](const std::string& line) { lines.push_back(line); },
                   [this] { return now; }};
    Recorder target;
};

// A loop late by ten periods ticks once per timer, not ten times, and the next tick comes
// a whole period after the late one.
TEST_F(EventLoopTimers, ALateLoopTicksOncePerTimerThenAPeriodLater) {
    loop.startTimer(1, 100ms);
    loop.startTimer(2, 30ms);
    now += 1000ms;
    loop.turn();
    EXPECT_EQ(target.ticks, (std::vector<int>{1, 2}));
    now += 30ms; // timer 2 due again, timer 1 not before 1100 ms
    loop.turn();
    EXPECT_EQ(target.ticks, (std::vector<int>{1, 2, 2}));
}

// A timer stopped by another's tick in the same turn does not tick; a period below the
// smallest is raised to it (a 0-ms timer is no busy loop).
TEST_F(EventLoopTimers, StoppedTimersStayQuietAndShortPeriodsAreRaised) {
    loop.startTimer(1, 10ms);
    loop.startTimer(2, 10ms);
    target.onTick = [&](int id) {
        if (id == 1)
            loop.stopTimer(2);
    };
    now += 10ms;
    loop.turn();
    EXPECT_EQ(target.ticks, std::vector<int>{1});

    loop.stopTimer(1);
    target.ticks.clear();
    EXPECT_EQ(loop.startTimer(3, 0ms), TimerId{3});
    EXPECT_EQ(loop.startTimer(0, 10ms), kNoTimer);
    now += kMinimumTimerPeriod - 1ms;
    loop.turn(); // waits out the last millisecond of the clock's period; it stays not due
    EXPECT_TRUE(target.ticks.empty());
    now += 1ms;
    loop.turn();
    EXPECT_EQ(target.ticks, std::vector<int>{3});
}

// Boxes become one line with their detail; the caption is reported only when it changes.
TEST_F(EventLoopTimers, BoxesAndCaptionChangesAreReportedAsLines) {
    loop.messageBox("Failed to open COM port.", BoxIcon::Exclamation, "COM1: no such port");
    loop.messageBox("Line one\nline two");
    loop.setCaption("QV-5300"); // what it shows already
    loop.setCaption("QV-5300 - COM port disconnected");
    loop.setControlText(1000, "45.3");
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Failed to open COM port. (COM1: no such port)",
                                        "Line one line two", "QV-5300 - COM port disconnected"}));
}

// Two threads post in bursts while the loop runs on a third: every message arrives once,
// each thread's in its order. Then, one message at a time with idle time between: the loop
// sleeps while idle, turning once per message (a loop that polled would turn thousands of
// times while the test waits).
TEST(EventLoop, DeliversEveryPostedMessageInOrderAndSleepsWhileIdle) {
    EventLoop loop{"QV-5300", [](const std::string&) {}};
    Recorder target;
    loop.setTarget(&target);
    std::thread runner([&] { loop.run(); });

    constexpr int kBursts = 20;
    constexpr int kPerBurst = 50;
    for (int burst = 0; burst < kBursts; ++burst) {
        std::vector<std::thread> posters;
        for (std::intptr_t thread = 0; thread < 2; ++thread)
            posters.emplace_back([&, thread] {
                for (int i = 0; i < kPerBurst; ++i)
                    loop.postMessage(1, thread, burst * kPerBurst + i);
            });
        for (auto& p : posters)
            p.join();
        const std::size_t expected = static_cast<std::size_t>((burst + 1) * kPerBurst * 2);
        ASSERT_TRUE(waitUntil([&] { return target.count() == expected; }, 5s, sleepBriefly));
    }
    const std::uint64_t beforeSingles = loop.wakeups();
    constexpr int kSingles = 20;
    for (int i = 0; i < kSingles; ++i) {
        loop.postMessage(1, 2, i);
        const std::size_t expected = static_cast<std::size_t>(kBursts * kPerBurst * 2 + i + 1);
        ASSERT_TRUE(waitUntil([&] { return target.count() == expected; }, 5s, sleepBriefly));
    }
    EXPECT_LE(loop.wakeups() - beforeSingles, std::uint64_t{kSingles});
    loop.quit();
    runner.join();

    std::vector<std::intptr_t> next(3, 0);
    for (const auto& [thread, sequence] : target.messages)
        EXPECT_EQ(sequence, next[thread]++) << "thread " << thread;
    EXPECT_EQ(next,
              (std::vector<std::intptr_t>{kBursts * kPerBurst, kBursts * kPerBurst, kSingles}));
}

// SIGTERM, blocked and read from the watch's descriptor, ends run() through quit().
TEST(EventLoop, ASignalWatchedByTheLoopEndsIt) {
    SignalWatch signals;
    ASSERT_GE(signals.fd(), 0);
    EventLoop loop{"QV-5300", [](const std::string&) {}};
    int seen = 0;
    loop.watch(signals.fd(), [&] {
        seen = signals.take();
        loop.quit();
    });
    std::raise(SIGTERM); // blocked in this thread: it waits for the loop
    loop.run();
    EXPECT_EQ(seen, SIGTERM);
}

} // namespace
} // namespace qv::headless
