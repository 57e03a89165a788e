#include "app/win32/win32_trend_window.h"

#include "app/res/dialog_templates.h"
#include "app/win32/dpi_scale.h"
#include "app/win32/dpi_win32.h"
#include "window/window_services.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace qv::win32 {

Win32TrendWindow::Win32TrendWindow(HINSTANCE module, TrendWindow& logic)
    : module_(module), logic_(logic) {}

Win32TrendWindow::~Win32TrendWindow() {
    if (window_)
        DestroyWindow(window_);
}

void Win32TrendWindow::show(HWND owner) {
    if (!window_) {
        // The progress bar is a common control: its class is registered first.
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&classes);
        if (!createTemplateDialog(module_, owner, res::dialogTemplate(res::kTrendDialogId), *this))
            return;
        ShowWindow(window_, SW_SHOW);
        return;
    }
    if (IsIconic(window_))
        ShowWindow(window_, SW_RESTORE);
    SetForegroundWindow(window_);
}

void Win32TrendWindow::invalidateCharts() {
    if (!window_)
        return;
    const RECT area = chartArea();
    InvalidateRect(window_, &area, FALSE);
}

HFONT Win32TrendWindow::font() const {
    const auto font =
        window_ ? reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0)) : nullptr;
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

float Win32TrendWindow::chartScale() const {
    return window_ ? static_cast<float>(windowDpi(window_)) / static_cast<float>(kDesignDpi) : 1.0f;
}

RECT Win32TrendWindow::chartArea() const {
    RECT client{}, top{0, res::kTrendChartTop, 0, res::kTrendChartTop};
    GetClientRect(window_, &client);
    MapDialogRect(window_, &top);
    client.top = std::min(client.bottom, top.top);
    return client;
}

void Win32TrendWindow::onInit(HWND window) {
    window_ = window;
    controls_ = std::make_unique<Win32DialogControls>(window);
    route_ = std::make_unique<DialogMessageRoute>(window,
                                                  [this](const MSG& msg) { return preview(msg); });
    logic_.OnInitDialog(*controls_);
}

bool Win32TrendWindow::onCommand(HWND window, int id, int notification) {
    // Escape stops a reading under way, or else closes the window (the close box comes as
    // WM_CLOSE); Enter without a focused button does nothing.
    if (id == kIdCancel)
        return !logic_.OnEscape();
    if (notification != BN_CLICKED)
        return false;
    logic_.OnCommand(id);
    // The span just chosen is disabled: the focus moves on rather than to nowhere, where
    // the arrow keys would no longer arrive.
    if (HWND focus = GetFocus(); window_ && (!focus || !IsWindowEnabled(focus)))
        SendMessageW(window, WM_NEXTDLGCTL, 0, FALSE);
    return false;
}

bool Win32TrendWindow::preview(const MSG& msg) {
    if (msg.message == WM_MOUSEWHEEL) {
        logic_.OnMouseWheel(GET_WHEEL_DELTA_WPARAM(msg.wParam));
        return true;
    }
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT)) {
        logic_.OnKey(msg.wParam == VK_LEFT ? TrendKey::Left : TrendKey::Right);
        return true;
    }
    return false;
}

bool Win32TrendWindow::onMessage(HWND, UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window_);
        result = TRUE;
        return true;
    case WM_SIZE:
    case WM_DPICHANGED: // the dialog's font, and with it the charts' text, has its new size
        invalidateCharts();
        return false;
    case WM_ERASEBKGND: {
        if (!window_)
            return false;
        // The dialog's background everywhere but the charts, which paint every pixel. The
        // DC is the one the next paint draws on: its clipping is put back, or the charts
        // would be clipped away there and stay as they were.
        const auto dc = reinterpret_cast<HDC>(wParam);
        const int saved = SaveDC(dc);
        const RECT area = chartArea();
        ExcludeClipRect(dc, area.left, area.top, area.right, area.bottom);
        RECT client{};
        GetClientRect(window_, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        RestoreDC(dc, saved);
        result = TRUE;
        return true;
    }
    case WM_PAINT:
        paintCharts();
        result = TRUE;
        return true;
    case WM_NCDESTROY:
        route_.reset();
        logic_.OnDestroy();
        controls_.reset();
        buffer_.reset();
        window_ = nullptr;
        return false;
    default:
        return false;
    }
}

void Win32TrendWindow::paintCharts() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    const RECT area = chartArea();
    const int width = area.right - area.left, height = area.bottom - area.top;
    // The charts are laid out at 96 DPI and drawn at the window's.
    const float scale = chartScale();
    const int unitsWide = static_cast<int>(static_cast<float>(width) / scale);
    const int unitsHigh = static_cast<int>(static_cast<float>(height) / scale);
    if (unitsWide > 0 && unitsHigh > 0) {
        if (!buffer_ || buffer_->width() != width || buffer_->height() != height)
            buffer_ = std::make_unique<OffscreenBitmap>(width, height);
        if (buffer_->dc()) {
            // The units cover all but a pixel's fraction of the width and height: that
            // strip shows the dialog's background.
            const RECT all{0, 0, width, height};
            FillRect(buffer_->dc(), &all, GetSysColorBrush(COLOR_BTNFACE));
            {
                GdiPainter painter(buffer_->dc(), font(), scale);
                logic_.paint(painter, unitsWide, unitsHigh);
            }
            BitBlt(dc, area.left, area.top, width, height, buffer_->dc(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(window_, &ps);
}

} // namespace qv::win32
