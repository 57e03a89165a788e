#pragma once

// The window services of the program without a display, over no toolkit: one thread's
// event loop. Timers run on a monotonic clock; posted messages wait in a queue and wake
// the loop through an eventfd; while nothing is due the loop sleeps in ppoll until the
// next timer's deadline, a posted message or a watched descriptor wakes it. There are no
// controls and no one to press OK: a message box is one line on the report sink (the
// standard error stream) and returns at once; the caption is reported when it changes;
// control texts are dropped.
//
// Timers behave like a window's: a tick every period (raised to kMinimumTimerPeriod), at
// most one tick per timer and turn however late the loop is (no burst after a stall);
// restarting one starts its period anew. A turn delivers the due ticks first, then every
// message posted before it began, in the order posted.
//
// Thread contract: postMessage() and quit() may be called from any thread (the queue and
// the quit flag are guarded by a mutex; the eventfd wakes the loop). Everything else,
// run() included, belongs to the thread that calls run(); the target and the watch
// callbacks run there.

#include "window/window_services.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qv::headless {

class EventLoop final : public WindowServices {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using MonotonicClock = std::function<TimePoint()>;
    // Takes one line of text (no newline).
    using ReportSink = std::function<void(const std::string& line)>;

    // `caption` is what the caption shows at first (not reported). Default sink: standard
    // error, each line prefixed with "qv5300-logd: "; default clock: steady_clock.
    explicit EventLoop(std::string caption, ReportSink report = {}, MonotonicClock clock = {});
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // False when the eventfd could not be made: run() then returns at once.
    bool valid() const { return wakeFd_ >= 0; }

    // Where ticks and posted messages go; must outlive run(). Without one they are dropped.
    void setTarget(WindowMessageTarget* target) { target_ = target; }

    // `onReadable` runs on the loop's thread whenever `fd` is readable (it must read what
    // is there, or the loop turns again at once). The caller keeps `fd` open while the
    // loop runs.
    void watch(int fd, std::function<void()> onReadable);

    // Turns until quit(); returns after the turn in which quit was seen. Messages still
    // queued then stay queued.
    void run();
    // One turn: waits until a timer is due, a message is posted or a watched descriptor is
    // readable (not at all if one already is), then delivers the due ticks and the queue.
    void turn();
    // Any thread (not a signal handler): run() returns after its current turn.
    void quit();

    // Turns taken; lets a test show that an idle loop sleeps.
    // Any thread.
    std::uint64_t wakeups() const { return wakeups_.load(); }

    // WindowServices.
    void setControlText(int controlId, const std::string& text) override;
    void setCaption(const std::string& text) override;
    void messageBox(const std::string& text, BoxIcon icon = BoxIcon::Exclamation,
                    const std::string& detail = {}) override;
    // The TimerId handed out is `timerId`; a timer id below 1 starts nothing (kNoTimer).
    TimerId startTimer(int timerId, std::chrono::milliseconds period) override;
    void stopTimer(TimerId id) override;
    void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

private:
    struct Timer {
        std::chrono::milliseconds period;
        TimePoint due;
    };
    struct Posted {
        std::uint32_t message;
        std::intptr_t wParam;
        std::intptr_t lParam;
    };
    struct Watch {
        int fd;
        std::function<void()> onReadable;
    };

    // The wait of a turn; runs the watch callbacks of the readable descriptors.
    void wait();
    void deliverDueTimers();
    void deliverPosted();
    bool quitRequested();

    std::string caption_;
    ReportSink report_;
    MonotonicClock clock_;
    WindowMessageTarget* target_ = nullptr;
    std::map<int, Timer> timers_; // by timer id, which is also the TimerId handed out
    std::vector<Watch> watches_;
    std::atomic<std::uint64_t> wakeups_{0};
    int wakeFd_ = -1;

    std::mutex mutex_; // guards queue_ and quit_
    std::deque<Posted> queue_;
    bool quit_ = false;
};

} // namespace qv::headless
