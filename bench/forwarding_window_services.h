#pragma once

// Window services that pass every call on to the real ones and tell an observer each
// time a control's text has been set, right after it was set. Benchmarks use it to take
// the moment a value reaches the screen, or a line is counted, without touching the
// parts they measure.
//
// Two trial changes can be switched on, to measure what they would save in the window
// services the program has (both keep every contract of WindowServices):
// - coalescePosts: posted messages wait in a queue of this object, and only a post into
//   an empty queue wakes the user-interface thread (one event and one wake-up per burst
//   of bytes instead of one per byte); deliverQueued() hands them on one at a time, in
//   order.
// - setTextDirect: replaces the inner setControlText (a lookup of the control by id among
//   all the window's children on every call) by the caller's own, e.g. a cached map.
//
// Thread contract: as WindowServices. postMessage() may be called from any thread; the
// queue is guarded by queueMutex_. `afterSetText`, `setTextDirect` and deliverQueued()
// run on the user-interface thread.

#include "app/services/window_services.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace qv::bench {

class ForwardingWindowServices final : public WindowServices {
public:
    explicit ForwardingWindowServices(WindowServices& inner) : inner_(inner) {}

    // The message that tells the target to call deliverQueued().
    static constexpr std::uint32_t kDeliverQueued = kWmUser + 0x100;

    std::function<void(int controlId, const std::string& text)> afterSetText;
    std::function<void(int controlId, const std::string& text)> setTextDirect;
    bool coalescePosts = false;

    void setControlText(int controlId, const std::string& text) override {
        if (setTextDirect)
            setTextDirect(controlId, text);
        else
            inner_.setControlText(controlId, text);
        if (afterSetText)
            afterSetText(controlId, text);
    }
    void messageBox(const std::string& text, BoxIcon icon) override {
        inner_.messageBox(text, icon);
    }
    TimerId startTimer(int timerId, std::chrono::milliseconds period) override {
        return inner_.startTimer(timerId, period);
    }
    void stopTimer(TimerId id) override { inner_.stopTimer(id); }
    void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override {
        if (!coalescePosts) {
            inner_.postMessage(message, wParam, lParam);
            return;
        }
        bool wasEmpty = false;
        {
            std::lock_guard lock(queueMutex_);
            wasEmpty = queue_.empty();
            queue_.push_back({message, wParam, lParam});
        }
        if (wasEmpty)
            inner_.postMessage(kDeliverQueued, 0, 0);
    }

    // Hands every queued message to `target`, oldest first, including those queued
    // meanwhile. The lock is not held while the target runs.
    void deliverQueued(WindowMessageTarget& target) {
        for (;;) {
            Queued q;
            {
                std::lock_guard lock(queueMutex_);
                if (queue_.empty())
                    return;
                q = queue_.front();
                queue_.pop_front();
            }
            target.onMessage(q.message, q.wParam, q.lParam);
        }
    }
    int runModal(ModalDialog& dialog) override { return inner_.runModal(dialog); }

private:
    struct Queued {
        std::uint32_t message;
        std::intptr_t wParam;
        std::intptr_t lParam;
    };

    WindowServices& inner_;
    std::mutex queueMutex_;
    std::deque<Queued> queue_;
};

} // namespace qv::bench
