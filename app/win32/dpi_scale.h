#pragma once

// Pixel sizes between dots-per-inch settings, rounded as MulDiv rounds (halves away from
// zero). Plain C++: tested on every platform.

#include <cstdint>

namespace qv::win32 {

// The DPI that the program's pixel sizes are designed for (100 %).
inline constexpr unsigned kDesignDpi = 96;

// `pixels` at `fromDpi` as pixels at `toDpi` (a window moved between monitors); a DPI of
// 0 (unknown) leaves them as they are.
constexpr int rescaledForDpi(int pixels, unsigned fromDpi, unsigned toDpi) {
    if (fromDpi == 0 || toDpi == 0)
        return pixels;
    const std::int64_t product = static_cast<std::int64_t>(pixels) * toDpi;
    const std::int64_t half = fromDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / fromDpi
                                         : -((-product + half) / fromDpi));
}

// `pixels` designed at kDesignDpi, at `dpi`.
constexpr int scaledToDpi(int pixels, unsigned dpi) {
    return rescaledForDpi(pixels, kDesignDpi, dpi);
}

} // namespace qv::win32
