#include "app/win32/win32_desktop.h"

#include "app/window_placement.h"

namespace qv::win32 {
namespace {

ScreenRect rectOf(const RECT& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    auto& areas = *reinterpret_cast<std::vector<ScreenRect>*>(context);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info))
        return TRUE;
    if (info.dwFlags & MONITORINFOF_PRIMARY)
        areas.insert(areas.begin(), rectOf(info.rcWork));
    else
        areas.push_back(rectOf(info.rcWork));
    return TRUE;
}

} // namespace

std::vector<ScreenRect> workAreas() {
    std::vector<ScreenRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

ScreenRect frameOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return rectOf(r);
}

void moveTo(HWND window, ScreenPoint topLeft) {
    SetWindowPos(window, nullptr, topLeft.x, topLeft.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void centreOverOwner(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!owner)
        return;
    const ScreenRect frame = frameOf(dialog);
    const std::vector<ScreenRect> areas = workAreas();
    moveTo(dialog, dialogPosition(frameOf(owner), frame.width, frame.height, areas));
}

} // namespace qv::win32
