#include "app/headless/event_loop.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace qv::headless {
namespace {

void reportToStandardError(const std::string& line) {
    std::fprintf(stderr, "qv5300-logd: %s\n", line.c_str());
    std::fflush(stderr);
}

// A box's text on one line: its line breaks become spaces.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

} // namespace

EventLoop::EventLoop(std::string caption, ReportSink report, MonotonicClock clock)
    : caption_(std::move(caption)), report_(report ? std::move(report) : reportToStandardError),
      clock_(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }),
      wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

EventLoop::~EventLoop() {
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

void EventLoop::watch(int fd, std::function<void()> onReadable) {
    watches_.push_back({fd, std::move(onReadable)});
}

void EventLoop::run() {
    if (!valid())
        return;
    while (!quitRequested())
        turn();
}

void EventLoop::turn() {
    wait();
    ++wakeups_;
    deliverDueTimers();
    deliverPosted();
}

void EventLoop::quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

bool EventLoop::quitRequested() {
    std::lock_guard lock(mutex_);
    if (!quit_)
        return false;
    quit_ = false; // a later run() turns again
    return true;
}

void EventLoop::setControlText(int /*controlId*/, const std::string& /*text*/) {}

void EventLoop::setCaption(const std::string& text) {
    if (text == caption_)
        return;
    caption_ = text;
    report_(oneLine(text));
}

void EventLoop::messageBox(const std::string& text, BoxIcon /*icon*/, const std::string& detail) {
    report_(oneLine(detail.empty() ? text : text + " (" + detail + ")"));
}

TimerId EventLoop::startTimer(int timerId, std::chrono::milliseconds period) {
    if (timerId <= 0)
        return kNoTimer;
    period = std::max(period,
                      std::chrono::duration_cast<std::chrono::milliseconds>(kMinimumTimerPeriod));
    timers_[timerId] = {period, clock_() + period};
    return static_cast<TimerId>(timerId);
}

void EventLoop::stopTimer(TimerId id) {
    timers_.erase(static_cast<int>(id));
}

void EventLoop::postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    bool wasEmpty = false;
    {
        std::lock_guard lock(mutex_);
        wasEmpty = queue_.empty();
        queue_.push_back({message, wParam, lParam});
    }
    // One wake-up per burst: a non-empty queue already has one pending or is being emptied
    // (deliverPosted takes the whole queue under the lock, after which a post writes again).
    if (wasEmpty) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

void EventLoop::wait() {
    std::vector<pollfd> fds;
    fds.push_back({wakeFd_, POLLIN, 0});
    for (const Watch& w : watches_)
        fds.push_back({w.fd, POLLIN, 0});

    timespec timeout{};
    timespec* timeoutPtr = nullptr; // no timer: sleep until woken
    if (!timers_.empty()) {
        TimePoint earliest = TimePoint::max();
        for (const auto& [id, timer] : timers_)
            earliest = std::min(earliest, timer.due);
        const auto left = std::max(earliest - clock_(), TimePoint::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        timeoutPtr = &timeout;
    }
    if (::ppoll(fds.data(), fds.size(), timeoutPtr, nullptr) <= 0)
        return; // a timer is due, or a signal interrupted the wait
    if (fds[0].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }
    // By index: a callback may add a watch.
    for (std::size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
            watches_[i - 1].onReadable();
}

void EventLoop::deliverDueTimers() {
    const TimePoint now = clock_();
    std::vector<int> due;
    for (auto& [id, timer] : timers_) {
        if (timer.due > now)
            continue;
        due.push_back(id);
        timer.due += timer.period;
        if (timer.due <= now) // late (a stall, a suspend): the next tick a period from now
            timer.due = now + timer.period;
    }
    // A tick may stop or restart a timer that is also due: only running ones tick.
    for (int id : due)
        if (timers_.count(id) && target_)
            target_->onTimer(id);
}

void EventLoop::deliverPosted() {
    std::deque<Posted> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    for (const Posted& p : batch)
        if (target_)
            target_->onMessage(p.message, p.wParam, p.lParam);
}

} // namespace qv::headless
