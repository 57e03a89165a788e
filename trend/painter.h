#pragma once

// The few drawing calls a trend chart needs. Each front end implements them once (with
// QPainter, with GDI); the chart renderer draws only through them. Coordinates are
// device pixels, x to the right, y down; text is UTF-8.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv::trend {

struct Colour {
    std::uint8_t red = 0, green = 0, blue = 0;
};

struct PointF {
    float x = 0.0f, y = 0.0f;
};

struct RectF {
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
    float right() const { return x + width; }
    float bottom() const { return y + height; }
};

enum class TextAlign { Left, Centre, Right };

// How wide a text is in the painter's font; separate so that the chart model can place
// labels without a painter.
class TextMetrics {
public:
    virtual ~TextMetrics() = default;
    virtual float textWidth(std::string_view text) const = 0;
    virtual float lineHeight() const = 0;
};

class Painter : public TextMetrics {
public:
    // Lines, polylines, rectangle outlines and text use the pen until it is set again.
    virtual void setPen(Colour colour, float width) = 0;
    virtual void drawLine(PointF from, PointF to) = 0;
    // `count` >= 1 points joined in order; a single point is drawn as a dot.
    virtual void drawPolyline(const PointF* points, std::size_t count) = 0;
    virtual void drawRect(const RectF& rect) = 0;
    virtual void fillRect(const RectF& rect, Colour colour) = 0;
    // One line of text, vertically centred in `box`, aligned horizontally as asked; not
    // clipped to the box.
    virtual void drawText(const RectF& box, TextAlign align, std::string_view text) = 0;
};

} // namespace qv::trend
