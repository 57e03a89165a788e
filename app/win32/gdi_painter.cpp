#include "app/win32/gdi_painter.h"

#include "text/win32_text.h"

#include <algorithm>
#include <cmath>

namespace qv::win32 {
namespace {

COLORREF colorOf(trend::Colour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

int px(float value) {
    return static_cast<int>(std::lround(value));
}

std::wstring wideOf(std::string_view text) {
    return wide(std::string(text));
}

} // namespace

GdiPainter::GdiPainter(HDC dc, HFONT font, float scale)
    : dc_(dc), oldFont_(SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT))),
      oldPen_(SelectObject(dc, GetStockObject(BLACK_PEN))), scale_(scale > 0 ? scale : 1.0f) {
    SetBkMode(dc_, TRANSPARENT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    lineHeight_ = static_cast<float>(metrics.tmHeight) / scale_;
}

GdiPainter::~GdiPainter() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldFont_);
    if (pen_)
        DeleteObject(pen_);
}

float GdiPainter::textWidth(std::string_view text) const {
    const std::wstring w = wideOf(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
    return static_cast<float>(size.cx) / scale_;
}

int GdiPainter::device(float units) const {
    return px(units * scale_);
}

POINT GdiPainter::pointOf(trend::PointF point) const {
    return {device(point.x), device(point.y)};
}

void GdiPainter::setPen(trend::Colour colour, float width) {
    const int w = std::max(1, device(width));
    // Wide lines with round ends and joins, so that the broken runs of a chart line and
    // its corners look like one stroke.
    LOGBRUSH brush{BS_SOLID, colorOf(colour), 0};
    HPEN pen = w == 1 ? CreatePen(PS_SOLID, 1, colorOf(colour))
                      : ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                                     static_cast<DWORD>(w), &brush, 0, nullptr);
    if (!pen)
        return;
    SelectObject(dc_, pen);
    if (pen_)
        DeleteObject(pen_);
    pen_ = pen;
    SetTextColor(dc_, colorOf(colour));
}

void GdiPainter::drawLine(trend::PointF from, trend::PointF to) {
    const POINT points[2] = {pointOf(from), pointOf(to)};
    Polyline(dc_, points, 2);
}

void GdiPainter::drawPolyline(const trend::PointF* points, std::size_t count) {
    if (count == 0)
        return;
    scratch_.clear();
    for (std::size_t i = 0; i < count; ++i)
        scratch_.push_back(pointOf(points[i]));
    // A lone reading: a dot one pixel long (GDI leaves out a line's last pixel).
    if (count == 1)
        scratch_.push_back({scratch_[0].x + 1, scratch_[0].y});
    Polyline(dc_, scratch_.data(), static_cast<int>(scratch_.size()));
}

void GdiPainter::drawRect(const trend::RectF& rect) {
    const int left = device(rect.x), top = device(rect.y), right = device(rect.right()),
              bottom = device(rect.bottom());
    // Each segment leaves out its last pixel, which the next one starts with; the first
    // corner is the first segment's.
    const POINT corners[5] = {
        {left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
    Polyline(dc_, corners, 5);
}

void GdiPainter::fillRect(const trend::RectF& rect, trend::Colour colour) {
    const RECT r{device(rect.x), device(rect.y), device(rect.right()), device(rect.bottom())};
    const COLORREF old = SetDCBrushColor(dc_, colorOf(colour));
    FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc_, old);
}

void GdiPainter::drawText(const trend::RectF& box, trend::TextAlign align, std::string_view text) {
    const std::wstring w = wideOf(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
    const float textWidth = static_cast<float>(size.cx) / scale_;
    float x = box.x;
    if (align == trend::TextAlign::Centre)
        x += (box.width - textWidth) / 2;
    else if (align == trend::TextAlign::Right)
        x += box.width - textWidth;
    const float y = box.y + (box.height - lineHeight_) / 2;
    TextOutW(dc_, device(x), device(y), w.c_str(), static_cast<int>(w.size()));
}

OffscreenBitmap::OffscreenBitmap(int width, int height)
    : width_(std::max(1, width)), height_(std::max(1, height)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc_ = bitmap_ ? CreateCompatibleDC(nullptr) : nullptr;
    if (!dc_)
        return;
    bits_ = static_cast<std::uint8_t*>(bits);
    oldBitmap_ = SelectObject(dc_, bitmap_);
}

OffscreenBitmap::~OffscreenBitmap() {
    if (dc_) {
        SelectObject(dc_, oldBitmap_);
        DeleteDC(dc_);
    }
    if (bitmap_)
        DeleteObject(bitmap_);
}

} // namespace qv::win32
