#pragma once

// The trend charts' painter seam over a QPainter: on the window's chart area and on the
// image that "Save image..." writes. Antialiased lines; text in the QPainter's font.
// User-interface thread only (or any one thread, for an image).

#include "trend/painter.h"

#include <QPainter>
#include <QPointF>

#include <vector>

namespace qv::qt {

class QtPainter : public trend::Painter {
public:
    // `painter` must be active and outlive the object.
    explicit QtPainter(QPainter& painter);

    float textWidth(std::string_view text) const override;
    float lineHeight() const override;
    void setPen(trend::Colour colour, float width) override;
    void drawLine(trend::PointF from, trend::PointF to) override;
    void drawPolyline(const trend::PointF* points, std::size_t count) override;
    void drawRect(const trend::RectF& rect) override;
    void fillRect(const trend::RectF& rect, trend::Colour colour) override;
    void drawText(const trend::RectF& box, trend::TextAlign align, std::string_view text) override;

private:
    QPainter& painter_;
    std::vector<QPointF> points_; // kept between polylines: a redraw allocates little
};

} // namespace qv::qt
