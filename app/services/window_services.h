#pragma once

// The handful of window-system services that the logic (log, acquisition cycle,
// serial reader thread) and the dialogs use on the main window. app/ implements
// them over Qt; tests use a fake that records everything and fires timers by hand.
//
// Thread contract: postMessage() may be called from any thread; every other
// service is called on the user-interface thread only, which owns the window.

#include <chrono>
#include <cstdint>
#include <string>

namespace qv {

// Window message numbers as the system uses them.
inline constexpr std::uint32_t kWmUser = 0x0400;
// One received serial byte: wParam carries it in its low 8 bits, lParam is 0.
inline constexpr std::uint32_t WM_SERIAL_BYTE = kWmUser + 5; // 1029
// The log's writer thread ended a line (written and synced, or failed); wParam and lParam
// are 0. The log takes the outcomes from its writer.
inline constexpr std::uint32_t WM_LOG_LINE_DONE = kWmUser + 6; // 1030
// Start Log, pressed by the program itself once the window is up (the command line asked
// for it); wParam and lParam are 0.
inline constexpr std::uint32_t WM_START_LOG = kWmUser + 7; // 1031
// The trend window's log reader ended a read ("Open log..."); wParam and lParam are 0. The
// trend window takes the result from its reader.
inline constexpr std::uint32_t WM_TREND_LOG_READ = kWmUser + 8; // 1032

// Control ids of the main window and of the setup dialog, as their templates carry them.
namespace ctl {
inline constexpr int kExit = 1;   // IDOK
inline constexpr int kCancel = 2; // IDCANCEL
// Main window.
inline constexpr int kHumidity = 1000;
inline constexpr int kTemperature = 1001;
inline constexpr int kSetup = 1002;
inline constexpr int kStartStopLog = 1003;
inline constexpr int kRecordCount = 1004;
// Setup dialog.
inline constexpr int kInterval = 1007;
inline constexpr int kFileName = 1008;
inline constexpr int kAppend = 1009;
inline constexpr int kBrowse = 1010;
inline constexpr int kPortList = 1012;
// Trend window: one button per span, in the order of trend::Span, then the others.
inline constexpr int kSpanTenMinutes = 1020;
inline constexpr int kSpanOneHour = 1021;
inline constexpr int kSpanSixHours = 1022;
inline constexpr int kSpanTwentyFourHours = 1023;
inline constexpr int kSpanSevenDays = 1024;
inline constexpr int kSpanAll = 1025;
inline constexpr int kLive = 1026;
inline constexpr int kOpenLog = 1027;
inline constexpr int kSaveImage = 1028;
inline constexpr int kTrendSource = 1029;   // what is shown: live readings or a log file
inline constexpr int kTrendProgress = 1030; // the share of a log file read, while it is read
inline constexpr int kTrendCancel = 1031;   // stops the reading (as Escape does meanwhile)
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

// Results of a modal run.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// A dialog that can be run modally; the Qt dialogs implement it.
class ModalDialog {
public:
    virtual ~ModalDialog() = default;
    // Runs the dialog's own modal loop; returns kIdOk or kIdCancel.
    virtual int execModal() = 0;
};

// Receives what the window services deliver to the main window: timer ticks and
// posted messages, always on the user-interface thread, one at a time, also while a
// modal loop (message box, dialog) runs on that thread.
class WindowMessageTarget {
public:
    virtual ~WindowMessageTarget() = default;
    virtual void onTimer(int timerId) = 0;
    virtual void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) = 0;
};

class WindowServices {
public:
    virtual ~WindowServices() = default;

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

    // Any thread. Queued and handled later on the user-interface thread, in the order
    // posted by one thread; never handled during the poster's call.
    virtual void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) = 0;

    // Runs `dialog` modally over the main window; returns kIdOk or kIdCancel.
    virtual int runModal(ModalDialog& dialog) = 0;
};

} // namespace qv
