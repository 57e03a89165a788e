#pragma once

// The handful of window-system services that the layers below the front ends (the log,
// the acquisition cycle) and the dialogs' logic use on the main window. Each front end
// implements them over its toolkit (app/qt/qt_window_services.h, app/win32/
// win32_window_services.h); tests and benchmarks use the doubles of tests/support.
//
// Thread contract: postMessage() may be called from any thread; every other
// service is called on the user-interface thread only, which owns the window.

#include "window/message_poster.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace qv {

// Control ids of the main window (template 102), which the log and the acquisition cycle
// write to. The other windows' ids sit with their templates (app/res/dialog_templates.h).
namespace ctl {
inline constexpr int kExit = 1;   // IDOK
inline constexpr int kCancel = 2; // IDCANCEL
inline constexpr int kHumidity = 1000;
inline constexpr int kTemperature = 1001;
inline constexpr int kSetup = 1002;
inline constexpr int kStartStopLog = 1003;
inline constexpr int kRecordCount = 1004;
} // namespace ctl

// Timer ids of the main window.
inline constexpr int kPollTimer = 1;
inline constexpr int kTimeoutTimer = 2;
// Runs only while a lost port is waited for: each tick tries to get it back.
inline constexpr int kReconnectTimer = 3;
// The smallest period a window timer honours; shorter periods are raised to it, so that
// no timer becomes a busy loop.
inline constexpr auto kMinimumTimerPeriod = std::chrono::milliseconds{10};

// What a message box shows besides its text and OK button.
enum class BoxIcon {
    Exclamation, // every message of the program's own
    Stop,        // file errors ("Disk full while accessing %1.")
};

// Identifies a running timer; 0 names none.
using TimerId = std::uintptr_t;
inline constexpr TimerId kNoTimer = 0;

// Receives what the window services deliver to the main window: timer ticks and
// posted messages, always on the user-interface thread, one at a time, also while a
// modal loop (message box, dialog) runs on that thread.
class WindowMessageTarget {
public:
    virtual ~WindowMessageTarget() = default;
    virtual void onTimer(int timerId) = 0;
    virtual void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) = 0;
};

class WindowServices : public MessagePoster {
public:
    // The control shows exactly `text` (UTF-8) at once; empty text empties it.
    virtual void setControlText(int controlId, const std::string& text) = 0;

    // The main window's caption shows exactly `text` (UTF-8) from now on.
    virtual void setCaption(const std::string& text) = 0;

    // Modal to the main window or the dialog open over it; one OK button; caption is
    // the application name. Returns when the user closes it. Timers and posted
    // messages keep being delivered meanwhile. `detail` (UTF-8, may be empty) says in
    // plain words which thing failed and why; it is shown below `text` and, with the
    // text, written to the standard error stream.
    virtual void messageBox(const std::string& text, BoxIcon icon = BoxIcon::Exclamation,
                            const std::string& detail = {}) = 0;

    // Starts (or restarts) timer `timerId` with the given period; returns the id under
    // which it runs. Ticks arrive on the user-interface thread until stopped.
    virtual TimerId startTimer(int timerId, std::chrono::milliseconds period) = 0;

    // No further tick of that timer; an id naming no running timer is ignored.
    virtual void stopTimer(TimerId id) = 0;

    // postMessage (MessagePoster): any thread.
};

} // namespace qv
