#pragma once

// Window services that do nothing, for benchmarks that measure the logic alone: no
// window, no timers, posted messages dropped. Any thread may call postMessage().

#include "window/window_services.h"

namespace qv::bench {

class NullWindowServices : public WindowServices {
public:
    void setControlText(int, const std::string&) override {}
    void setCaption(const std::string&) override {}
    void messageBox(const std::string&, BoxIcon, const std::string&) override {}
    TimerId startTimer(int timerId, std::chrono::milliseconds) override {
        return static_cast<TimerId>(timerId);
    }
    void stopTimer(TimerId) override {}
    void postMessage(std::uint32_t, std::intptr_t, std::intptr_t) override {}
};

} // namespace qv::bench
