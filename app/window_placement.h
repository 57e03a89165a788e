#pragma once

// Where the program's windows open: pure rules over the desktop's work areas (each
// monitor's area without task bars, as the front end reports them), so that both front
// ends place alike. A window is kept inside one work area: a position stored on a monitor
// that has since gone, or a desktop made smaller, never leaves a window out of reach.

#include "window/screen_geometry.h"

#include <optional>
#include <span>

namespace qv {

// The top-left corner that brings a `width` x `height` window at `topLeft` wholly inside
// the work area it overlaps most (the nearest one when it overlaps none), moving it no
// further than needed; a window larger than that area gets the area's top or left edge.
// `topLeft` unchanged when `workAreas` is empty.
ScreenPoint keptInside(ScreenPoint topLeft, int width, int height,
                       std::span<const ScreenRect> workAreas);

// The main window's top-left corner: where the user left it (`stored`), kept inside; at the
// first start (nothing stored) centred on the first work area, the primary monitor's.
ScreenPoint mainWindowPosition(std::optional<ScreenPoint> stored, int width, int height,
                               std::span<const ScreenRect> workAreas);

// A dialog's top-left corner: centred over its owner's frame `owner`, kept inside.
ScreenPoint dialogPosition(const ScreenRect& owner, int width, int height,
                           std::span<const ScreenRect> workAreas);

} // namespace qv
