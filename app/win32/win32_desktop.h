#pragma once

// The desktop as app/window_placement.h sees it, over Win32: the monitors' work areas and
// a window's frame in screen pixels, and placing a window there. User-interface thread.

#include "window/screen_geometry.h"

#include <windows.h>

#include <vector>

namespace qv::win32 {

// Each monitor's work area (without task bars), the primary monitor's first.
std::vector<ScreenRect> workAreas();

// The window's outer frame.
ScreenRect frameOf(HWND window);

// Moves the window's outer top-left corner to `topLeft`; size, order and activation stay.
void moveTo(HWND window, ScreenPoint topLeft);

// Centres `dialog` over its owner, kept inside the desktop; nothing for a window without
// an owner.
void centreOverOwner(HWND dialog);

} // namespace qv::win32
