#include "app/win32/win32_main_window.h"

#include "app/res/dialog_templates.h"
#include "app/win32/dpi_scale.h"
#include "app/win32/dpi_win32.h"
#include "app/win32/win32_desktop.h"
#include "text/win32_text.h"

namespace qv::win32 {

Win32MainWindow::Win32MainWindow(HINSTANCE module, std::string application, SettingsStore& settings,
                                 SerialPlatform& platform, const Clock& clock)
    : module_(module), services_(std::move(application)), frontEnd_(module, services_),
      core_(services_, frontEnd_, settings, platform, clock) {}

Win32MainWindow::~Win32MainWindow() {
    // run() has returned: no window shows them any longer.
    if (icon_)
        DestroyIcon(icon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

void Win32MainWindow::setIcons(HWND window) {
    const unsigned dpi = windowDpi(window);
    HICON big = loadIconForDpi(module_, res::kIconId, false, dpi);
    HICON small = loadIconForDpi(module_, res::kIconId, true, dpi);
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : big));
    // The window shows the new ones now.
    if (icon_)
        DestroyIcon(icon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
    icon_ = big;
    smallIcon_ = small;
}

int Win32MainWindow::run() {
    return runTemplateDialog(module_, nullptr, res::dialogTemplate(res::kMainDialogId), *this);
}

void Win32MainWindow::onInit(HWND window) {
    services_.attach(window);
    const std::string entry = core_.aboutMenuEntry();
    if (HMENU menu = GetSystemMenu(window, FALSE); menu && !entry.empty()) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, res::kTrendCommandId, wide(core_.trendMenuEntry()).c_str());
        AppendMenuW(menu, MF_STRING, res::kReconnectCommandId,
                    wide(core_.reconnectMenuEntry()).c_str());
        AppendMenuW(menu, MF_STRING, res::kPublishCommandId,
                    wide(core_.publishMenuEntry()).c_str());
        AppendMenuW(menu, MF_STRING, res::kAboutCommandId, wide(entry).c_str());
    }
    setIcons(window);
    // Placed while still hidden; a box of the initialisation then comes up over it.
    const ScreenRect frame = frameOf(window);
    moveTo(window, core_.openingPosition(frame.width, frame.height, workAreas()));
    core_.OnInitDialog();
    checkReconnectEntry(window);
}

void Win32MainWindow::checkReconnectEntry(HWND window) {
    if (HMENU menu = GetSystemMenu(window, FALSE))
        CheckMenuItem(menu, res::kReconnectCommandId,
                      MF_BYCOMMAND | (core_.autoReconnect() ? MF_CHECKED : MF_UNCHECKED));
}

bool Win32MainWindow::onCommand(HWND, int id, int notification) {
    if (id == kIdOk || id == kIdCancel)
        return true;
    if (notification == BN_CLICKED)
        core_.OnCommand(id);
    return false;
}

bool Win32MainWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                INT_PTR& result) {
    switch (message) {
    case WM_TIMER:
        core_.onTimer(static_cast<int>(wParam));
        result = TRUE;
        return true;
    case WM_SERIAL_BYTE:
    case WM_LOG_LINE_DONE:
    case WM_START_LOG:
    case WM_TREND_LOG_READ:
    case WM_PORTS_PROBED:
    case WM_PUBLISH_STATUS:
        core_.onMessage(message, static_cast<std::intptr_t>(wParam),
                        static_cast<std::intptr_t>(lParam));
        result = TRUE;
        return true;
    case WM_SYSCOMMAND: {
        result = TRUE;
        const bool handled = core_.OnSysCommand(static_cast<unsigned>(wParam), lParam);
        if ((wParam & 0xFFF0) == res::kReconnectCommandId)
            checkReconnectEntry(window);
        return handled;
    }
    case WM_PAINT:
        if (!IsIconic(window))
            return false;
        paintMinimised(window);
        result = TRUE;
        return true;
    case WM_SETCURSOR:
        // While the ports are probed the window works on, and every mouse move asks for
        // the cursor again: the wait cursor stays until the probes end.
        if (!frontEnd_.waitCursorOn())
            return false;
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    case WM_DPICHANGED:
        setIcons(window);
        return false; // the dialog's own handling (its size, font and controls) goes on
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(icon_);
        return true;
    case WM_CLOSE:
        core_.OnClose();
        EndDialog(window, kIdCancel);
        result = TRUE;
        return true;
    case WM_DESTROY:
        // Every end passes here, Exit and Escape too.
        storePosition(window);
        return false;
    case WM_QUERYENDSESSION:
        // The session may end: nothing to ask the user.
        SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        // The process may be ended as soon as this returns: the log closes here.
        if (wParam) {
            storePosition(window);
            core_.OnClose();
            EndDialog(window, kIdCancel);
        }
        result = TRUE;
        return true;
    default:
        return false;
    }
}

void Win32MainWindow::storePosition(HWND window) {
    if (!IsIconic(window)) {
        const ScreenRect frame = frameOf(window);
        core_.storeWindowPosition({frame.left, frame.top});
    }
}

void Win32MainWindow::paintMinimised(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int size = scaledToDpi(32, windowDpi(window));
    RECT rect;
    GetClientRect(window, &rect);
    const int x = (rect.right - rect.left - size + 1) / 2;
    const int y = (rect.bottom - rect.top - size + 1) / 2;
    DrawIconEx(dc, x, y, icon_, size, size, 0, nullptr, DI_NORMAL);
    EndPaint(window, &paint);
}

} // namespace qv::win32
