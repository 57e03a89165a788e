#pragma once

// A recording stand-in for the window services. Timers never fire on their own: a
// test fires them with fireTimer(); posted messages wait in a queue until pump().
//
// Thread contract: postMessage() may be called from any thread (the serial reader
// thread); everything else runs on the test's thread. The queue is guarded by a mutex.

#include "window/window_services.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qv::test {

class FakeWindowServices : public WindowServices {
public:
    struct Box {
        std::string text;
        BoxIcon icon;
        std::string detail;
    };
    struct Posted {
        std::uint32_t message;
        std::intptr_t wParam;
        std::intptr_t lParam;
    };

    // Where fired timers and pumped messages go; may be null.
    WindowMessageTarget* target = nullptr;
    // Called while a message box is "open", i.e. inside messageBox(): lets a test run
    // what a nested modal loop would dispatch.
    std::function<void(const Box&)> onMessageBox;

    std::map<int, std::string> texts;                 // last text per control id
    std::vector<std::pair<int, std::string>> textLog; // every setControlText, in order
    std::vector<Box> boxes;
    std::vector<std::string> captions; // every setCaption, in order

    void setControlText(int controlId, const std::string& text) override {
        texts[controlId] = text;
        textLog.emplace_back(controlId, text);
    }
    void setCaption(const std::string& text) override { captions.push_back(text); }
    void messageBox(const std::string& text, BoxIcon icon, const std::string& detail) override {
        boxes.push_back({text, icon, detail});
        if (onMessageBox)
            onMessageBox(boxes.back());
    }
    TimerId startTimer(int timerId, std::chrono::milliseconds period) override {
        running_[timerId] = period;
        ++starts_[timerId];
        return static_cast<TimerId>(timerId);
    }
    void stopTimer(TimerId id) override {
        running_.erase(static_cast<int>(id));
        ++stops_[static_cast<int>(id)];
    }
    void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({message, wParam, lParam});
        }
        posted_.notify_all();
    }

    // --- test side ---
    bool timerRunning(int timerId) const { return running_.count(timerId) != 0; }
    std::vector<int> runningTimers() const {
        std::vector<int> ids;
        for (const auto& [id, period] : running_)
            ids.push_back(id);
        return ids;
    }
    std::chrono::milliseconds timerPeriod(int timerId) const { return running_.at(timerId); }
    int timerStarts(int timerId) const { return starts_.count(timerId) ? starts_.at(timerId) : 0; }
    // Delivers one tick of a running timer to the target; returns false if not running.
    bool fireTimer(int timerId) {
        if (!timerRunning(timerId))
            return false;
        if (target)
            target->onTimer(timerId);
        return true;
    }
    // Delivers every queued message to the target, including ones posted meanwhile.
    // Returns how many were delivered.
    std::size_t pump() {
        std::size_t n = 0;
        for (;;) {
            Posted p;
            {
                std::lock_guard lock(mutex_);
                if (queue_.empty())
                    return n;
                p = queue_.front();
                queue_.pop_front();
            }
            ++n;
            if (target)
                target->onMessage(p.message, p.wParam, p.lParam);
        }
    }
    // Waits until at least `count` messages are queued or `timeout` passes.
    bool waitForPosted(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, timeout, [&] { return queue_.size() >= count; });
    }
    std::vector<Posted> takePosted() {
        std::lock_guard lock(mutex_);
        std::vector<Posted> out(queue_.begin(), queue_.end());
        queue_.clear();
        return out;
    }
    std::size_t postedCount() {
        std::lock_guard lock(mutex_);
        return queue_.size();
    }

private:
    std::map<int, std::chrono::milliseconds> running_;
    std::map<int, int> starts_;
    std::map<int, int> stops_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Posted> queue_;
};

} // namespace qv::test
