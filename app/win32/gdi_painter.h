#pragma once

// The trend painter over GDI, and the off-screen bitmap that the trend window draws into
// (double buffering) and saves as PNG. User-interface thread only.

#include "trend/painter.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace qv::win32 {

// Draws through a device context with `font`; both are the caller's and outlive the
// painter. Text and lines take the pen's colour; text is drawn without a background. The
// objects the painter selects are deselected, and its pens deleted, when it goes.
// `scale` is device pixels per chart unit (the window's DPI / 96): the chart is laid out
// in units of a 96-DPI screen, and coordinates and line widths are multiplied on the way
// to the device; `font` is already the device's size, so its metrics are divided.
class GdiPainter : public trend::Painter {
public:
    GdiPainter(HDC dc, HFONT font, float scale = 1.0f);
    ~GdiPainter() override;
    GdiPainter(const GdiPainter&) = delete;
    GdiPainter& operator=(const GdiPainter&) = delete;

    float textWidth(std::string_view text) const override;
    float lineHeight() const override { return lineHeight_; }
    void setPen(trend::Colour colour, float width) override;
    void drawLine(trend::PointF from, trend::PointF to) override;
    void drawPolyline(const trend::PointF* points, std::size_t count) override;
    void drawRect(const trend::RectF& rect) override;
    void fillRect(const trend::RectF& rect, trend::Colour colour) override;
    void drawText(const trend::RectF& box, trend::TextAlign align, std::string_view text) override;

    // Chart units as device pixels.
    int device(float units) const;

private:
    POINT pointOf(trend::PointF point) const;

    HDC dc_;
    HGDIOBJ oldFont_;
    HGDIOBJ oldPen_;
    HPEN pen_ = nullptr;
    float scale_;
    float lineHeight_ = 0.0f;
    std::vector<POINT> scratch_; // polyline points, kept between calls
};

// A memory device context holding a top-down 32-bit DIB section of width x height
// pixels (blue, green, red, unused; rows `stride()` bytes apart). Invalid (dc() null) when
// the bitmap could not be made.
class OffscreenBitmap {
public:
    OffscreenBitmap(int width, int height);
    ~OffscreenBitmap();
    OffscreenBitmap(const OffscreenBitmap&) = delete;
    OffscreenBitmap& operator=(const OffscreenBitmap&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ * 4; }
    // The pixels, once GDI has finished what was drawn so far.
    const std::uint8_t* bits() const {
        GdiFlush();
        return bits_;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    std::uint8_t* bits_ = nullptr;
};

} // namespace qv::win32
