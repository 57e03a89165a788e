#pragma once

// The main window on Win32: template 102 built in memory and run modally with no owner,
// over the toolkit-free CQV53Dlg. This class is the window's procedure: it owns the window
// services, adds the trend, reconnect and about entries to the system menu, sets and paints
// the icon, hands timer ticks, posted messages and button commands to the core, and turns
// the ways of ending - close box, Alt+F4, system-menu Close, log-off and shutdown - into
// the core's close path. Exit (Enter) and Escape end the window without it; the core's
// destruction closes the log then. It opens where the core places it (centred on the
// primary monitor at the first start, where the user left it afterwards) and reports its
// place when it ends. User-interface thread only.

#include "app/main_dialog.h"
#include "app/win32/win32_dialog.h"
#include "app/win32/win32_front_end.h"
#include "app/win32/win32_window_services.h"

namespace qv::win32 {

class Win32MainWindow : public DialogHandler {
public:
    // `application` names the message boxes; the rest must outlive the window.
    Win32MainWindow(HINSTANCE module, std::string application, SettingsStore& settings,
                    SerialPlatform& platform, const Clock& clock);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // Before run: Start Log is pressed once the window is up.
    void setStartLogging(bool on) { core_.setStartLogging(on); }

    // Creates, shows and runs the window until it ends; kIdOk (Exit, Enter) or kIdCancel.
    int run();

    void onInit(HWND window) override;
    bool onCommand(HWND window, int id, int notification) override;
    bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                   INT_PTR& result) override;

private:
    void paintMinimised(HWND window);
    // Where the user left the window, for the next start.
    void storePosition(HWND window);
    // The window's big and small icons drawn for its DPI, replacing those it had.
    void setIcons(HWND window);
    // The reconnect entry of the system menu shows whether automatic reconnection is on.
    void checkReconnectEntry(HWND window);

    HINSTANCE module_;
    // Drawn for the window's DPI, each from the drawing nearest its size: ours to destroy.
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    Win32WindowServices services_;
    Win32FrontEnd frontEnd_;
    // Last: destroyed first, closing the log and joining the reader while the services
    // it posts through still exist.
    CQV53Dlg core_;
};

} // namespace qv::win32
