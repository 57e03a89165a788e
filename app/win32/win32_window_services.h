#pragma once

// The window services over the Win32 calls on the main window: its timers as window
// timers (SetTimer/KillTimer), posted messages through PostMessageW, control texts through
// SetDlgItemTextW, the caption through SetWindowTextW, message boxes through MessageBoxW.
// Windows' own modal loops (message boxes, dialogs, the file dialog) dispatch the main
// window's timer and posted messages, which the main window's procedure hands to the target.
//
// Thread contract: postMessage() may be called from any thread; it only reads the window
// handle, which is set once on the user-interface thread before any other thread exists
// (the channel's reader starts in the main window's initialisation). Everything else runs
// on the user-interface thread, which owns the window.

#include "window/window_services.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace qv::win32 {

class Win32WindowServices : public WindowServices {
public:
    // `application` is the caption of every message box (UTF-8).
    explicit Win32WindowServices(std::string application);

    // The main window, once it exists; before that, timers, texts and posts do nothing.
    void attach(HWND window) { window_.store(window); }
    HWND window() const { return window_.load(); }
    const std::string& application() const { return application_; }

    void setControlText(int controlId, const std::string& text) override;
    void setCaption(const std::string& text) override;
    void messageBox(const std::string& text, BoxIcon icon = BoxIcon::Exclamation,
                    const std::string& detail = {}) override;
    TimerId startTimer(int timerId, std::chrono::milliseconds period) override;
    void stopTimer(TimerId id) override;
    void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    // The owner of a box or dialog opened now: the modal dialog open over the main window,
    // or the main window itself, even while another window (the trend window) is active;
    // null once the main window has ended, so that a box at exit is still shown.
    HWND ownerForModal() const;

private:
    std::string application_;
    std::atomic<HWND> window_{nullptr};
};

} // namespace qv::win32
