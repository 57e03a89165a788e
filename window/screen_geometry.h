#pragma once

// Places on the desktop, in the desktop's pixels (the coordinates the window system gives
// its top-level windows; on a desktop of several monitors some may be negative).

namespace qv {

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

struct ScreenRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

} // namespace qv
