#include "app/window_placement.h"

#include <algorithm>
#include <cstdint>

namespace qv {
namespace {

std::int64_t overlap(const ScreenRect& a, const ScreenRect& b) {
    const std::int64_t w = std::min<std::int64_t>(a.left + a.width, b.left + b.width) -
                           std::max<std::int64_t>(a.left, b.left);
    const std::int64_t h = std::min<std::int64_t>(a.top + a.height, b.top + b.height) -
                           std::max<std::int64_t>(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance between the rectangles' centres, in doubled coordinates.
std::int64_t distance(const ScreenRect& a, const ScreenRect& b) {
    const std::int64_t dx = (2LL * a.left + a.width) - (2LL * b.left + b.width);
    const std::int64_t dy = (2LL * a.top + a.height) - (2LL * b.top + b.height);
    return dx * dx + dy * dy;
}

int clampInto(int start, int size, int areaStart, int areaSize) {
    if (size >= areaSize)
        return areaStart;
    return std::clamp(start, areaStart, areaStart + areaSize - size);
}

ScreenPoint centred(const ScreenRect& over, int width, int height) {
    return {over.left + (over.width - width) / 2, over.top + (over.height - height) / 2};
}

} // namespace

ScreenPoint keptInside(ScreenPoint topLeft, int width, int height,
                       std::span<const ScreenRect> workAreas) {
    if (workAreas.empty())
        return topLeft;
    const ScreenRect window{topLeft.x, topLeft.y, width, height};
    const ScreenRect* best = &workAreas.front();
    for (const ScreenRect& area : workAreas) {
        const std::int64_t have = overlap(window, *best), got = overlap(window, area);
        if (got > have ||
            (have == 0 && got == 0 && distance(window, area) < distance(window, *best)))
            best = &area;
    }
    return {clampInto(topLeft.x, width, best->left, best->width),
            clampInto(topLeft.y, height, best->top, best->height)};
}

ScreenPoint mainWindowPosition(std::optional<ScreenPoint> stored, int width, int height,
                               std::span<const ScreenRect> workAreas) {
    if (stored)
        return keptInside(*stored, width, height, workAreas);
    if (workAreas.empty())
        return {};
    return keptInside(centred(workAreas.front(), width, height), width, height, workAreas);
}

ScreenPoint dialogPosition(const ScreenRect& owner, int width, int height,
                           std::span<const ScreenRect> workAreas) {
    return keptInside(centred(owner, width, height), width, height, workAreas);
}

} // namespace qv
