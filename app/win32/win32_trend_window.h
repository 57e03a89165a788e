#pragma once

// The trend window on Win32: template 130 built in memory and created non-modal, owned by
// the main window (so it closes with it), over the toolkit-free TrendWindow. The charts
// fill the client area below the button strip and are drawn through the GDI painter into
// an off-screen bitmap, then copied in one piece (no flicker). The mouse wheel and the
// Left and Right keys pan, whichever of its controls has the focus; its other keys reach
// the dialog manager through a DialogMessageRoute. User-interface thread only.

#include "app/trend_window.h"
#include "app/win32/gdi_painter.h"
#include "app/win32/win32_dialog.h"

#include <memory>

namespace qv::win32 {

class Win32TrendWindow : public DialogHandler {
public:
    // `logic` must outlive the window (not this object): the window calls it until it is
    // destroyed.
    Win32TrendWindow(HINSTANCE module, TrendWindow& logic);
    ~Win32TrendWindow() override;
    Win32TrendWindow(const Win32TrendWindow&) = delete;
    Win32TrendWindow& operator=(const Win32TrendWindow&) = delete;

    // Creates and shows the window over `owner`, or brings the open one to the front.
    void show(HWND owner);
    // The window, while it is open.
    HWND window() const { return window_; }
    // The chart area is painted again soon; nothing while closed.
    void invalidateCharts();
    // The window's font (the template's), or the system's GUI font while closed.
    HFONT font() const;
    // Device pixels per chart unit: the window's DPI / 96 (1 while closed). The charts are
    // laid out in units of a 96-DPI screen, so that margins, gaps and line widths grow
    // with the text.
    float chartScale() const;

    void onInit(HWND window) override;
    bool onCommand(HWND window, int id, int notification) override;
    bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                   INT_PTR& result) override;

private:
    RECT chartArea() const;
    void paintCharts();
    bool preview(const MSG& msg);

    HINSTANCE module_;
    TrendWindow& logic_;
    HWND window_ = nullptr;
    std::unique_ptr<Win32DialogControls> controls_;
    std::unique_ptr<DialogMessageRoute> route_;
    std::unique_ptr<OffscreenBitmap> buffer_; // kept while the size stays
};

} // namespace qv::win32
