#pragma once

// Window services that pass every call on to the real ones and tell an observer each
// time a control's text has been set, right after it was set. Benchmarks use it to take
// the moment a value reaches the screen, or a line is counted, without touching the
// parts they measure.
//
// `setTextDirect`, when set, replaces the inner setControlText (the rig's no-text variant).
//
// Thread contract: as WindowServices. postMessage() may be called from any thread and
// only passes the call on; `afterSetText` and `setTextDirect` run on the user-interface
// thread.

#include "window/window_services.h"

#include <functional>
#include <string>

namespace qv::test {

class ForwardingWindowServices final : public WindowServices {
public:
    explicit ForwardingWindowServices(WindowServices& inner) : inner_(inner) {}

    std::function<void(int controlId, const std::string& text)> afterSetText;
    std::function<void(int controlId, const std::string& text)> setTextDirect;

    void setControlText(int controlId, const std::string& text) override {
        if (setTextDirect)
            setTextDirect(controlId, text);
        else
            inner_.setControlText(controlId, text);
        if (afterSetText)
            afterSetText(controlId, text);
    }
    void setCaption(const std::string& text) override { inner_.setCaption(text); }
    void messageBox(const std::string& text, BoxIcon icon, const std::string& detail) override {
        inner_.messageBox(text, icon, detail);
    }
    TimerId startTimer(int timerId, std::chrono::milliseconds period) override {
        return inner_.startTimer(timerId, period);
    }
    void stopTimer(TimerId id) override { inner_.stopTimer(id); }
    void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override {
        inner_.postMessage(message, wParam, lParam);
    }

private:
    WindowServices& inner_;
};

} // namespace qv::test
