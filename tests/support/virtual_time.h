#pragma once

// Virtual time for FakeWindowServices: fires its timers as the real ones would over a span
// that takes no time at all. A timer (re)started at t with period p is due at t + p,
// t + 2p, ...; a timer started or stopped by a tick is taken into account at once. Test
// thread only. No Qt.

#include "tests/support/fake_window_services.h"

#include <chrono>
#include <map>

namespace qv::test {

class VirtualTime {
public:
    explicit VirtualTime(FakeWindowServices& window) : window_(window) {}

    void runFor(std::chrono::milliseconds span) {
        const auto end = now_ + span;
        for (sync();; sync()) {
            int next = 0;
            for (const auto& [id, due] : due_)
                if (due <= end && (next == 0 || due < due_[next]))
                    next = id;
            if (next == 0)
                break;
            now_ = due_[next];
            due_[next] = now_ + window_.timerPeriod(next);
            window_.fireTimer(next);
        }
        now_ = end;
    }

private:
    void sync() {
        for (auto it = due_.begin(); it != due_.end();)
            it = window_.timerRunning(it->first) ? std::next(it) : due_.erase(it);
        for (const int id : window_.runningTimers()) {
            if (!due_.count(id) || starts_[id] != window_.timerStarts(id)) {
                starts_[id] = window_.timerStarts(id);
                due_[id] = now_ + window_.timerPeriod(id);
            }
        }
    }

    FakeWindowServices& window_;
    std::chrono::milliseconds now_{0};
    std::map<int, std::chrono::milliseconds> due_;
    std::map<int, int> starts_;
};

} // namespace qv::test
