#include "app/win32/win32_window_services.h"

#include "app/error_report.h"
#include "app/win32/win32_dialog.h"
#include "text/win32_text.h"

#include <algorithm>
#include <vector>

namespace qv::win32 {

Win32WindowServices::Win32WindowServices(std::string application)
    : application_(std::move(application)) {}

void Win32WindowServices::setControlText(int controlId, const std::string& text) {
    SetDlgItemTextW(window(), controlId, wide(text).c_str());
}

void Win32WindowServices::setCaption(const std::string& text) {
    SetWindowTextW(window(), wide(text).c_str());
}

HWND Win32WindowServices::ownerForModal() const {
    return topModalDialog();
}

namespace {

// The enabled, visible top-level windows of this thread but `owner` (the trend window),
// disabled while a box is shown, so that nothing of the program is used under it.
BOOL CALLBACK disableOther(HWND window, LPARAM context) {
    auto& disabled = *reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(context);
    if (window != disabled.first && IsWindowVisible(window) && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        disabled.second.push_back(window);
    }
    return TRUE;
}

} // namespace

void Win32WindowServices::messageBox(const std::string& text, BoxIcon icon,
                                     const std::string& detail) {
    reportToStandardError(application_, text, detail);
    const std::string shown = detail.empty() ? text : text + "\n\n" + detail;
    const UINT type = MB_OK | (icon == BoxIcon::Stop ? MB_ICONSTOP : MB_ICONEXCLAMATION);
    // The box disables its owner itself.
    std::pair<HWND, std::vector<HWND>> disabled{ownerForModal(), {}};
    EnumThreadWindows(GetCurrentThreadId(), disableOther, reinterpret_cast<LPARAM>(&disabled));
    MessageBoxW(disabled.first, wide(shown).c_str(), wide(application_).c_str(), type);
    for (HWND window : disabled.second)
        if (IsWindow(window))
            EnableWindow(window, TRUE);
}

TimerId Win32WindowServices::startTimer(int timerId, std::chrono::milliseconds period) {
    const auto ms = std::max(period, std::chrono::milliseconds{kMinimumTimerPeriod}).count();
    // SetTimer with the same id on the same window replaces the running timer.
    return SetTimer(window(), static_cast<UINT_PTR>(timerId), static_cast<UINT>(ms), nullptr);
}

void Win32WindowServices::stopTimer(TimerId id) {
    if (id != kNoTimer)
        KillTimer(window(), id);
}

void Win32WindowServices::postMessage(std::uint32_t message, std::intptr_t wParam,
                                      std::intptr_t lParam) {
    PostMessageW(window(), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

} // namespace qv::win32
