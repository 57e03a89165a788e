#pragma once

// The dots per inch a window is shown at, and the program's icon drawn for it. Per-monitor
// aware (the manifest): each window follows its monitor and hears WM_DPICHANGED when that
// changes. User-interface thread only.

#include <windows.h>

namespace qv::win32 {

// The window's DPI: GetDpiForWindow where the system has it (Windows 10 1607 on), else
// the DPI of the window's device context (the system's). Never 0.
unsigned windowDpi(HWND window);

// The icon resource `id` drawn at the size of a big (32 px at 100 %) or small (16 px)
// icon at `dpi`; scaled down from a bigger drawing where there is none of that size. The
// caller destroys it (DestroyIcon). Null when it cannot be loaded.
HICON loadIconForDpi(HINSTANCE module, int id, bool small, unsigned dpi);

} // namespace qv::win32
