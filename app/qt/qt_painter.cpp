#include "app/qt/qt_painter.h"

#include <QFontMetricsF>
#include <QPen>

namespace qv::qt {
namespace {

QColor colourOf(trend::Colour c) {
    return QColor(c.red, c.green, c.blue);
}

QRectF rectOf(const trend::RectF& r) {
    return QRectF(r.x, r.y, r.width, r.height);
}

QString textOf(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QtPainter::QtPainter(QPainter& painter) : painter_(painter) {
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setBrush(Qt::NoBrush);
}

float QtPainter::textWidth(std::string_view text) const {
    return static_cast<float>(QFontMetricsF(painter_.font()).horizontalAdvance(textOf(text)));
}

float QtPainter::lineHeight() const {
    return static_cast<float>(QFontMetricsF(painter_.font()).height());
}

void QtPainter::setPen(trend::Colour colour, float width) {
    QPen pen(colourOf(colour), width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter_.setPen(pen);
}

void QtPainter::drawLine(trend::PointF from, trend::PointF to) {
    painter_.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
}

void QtPainter::drawPolyline(const trend::PointF* points, std::size_t count) {
    if (count == 0)
        return;
    points_.clear();
    for (std::size_t i = 0; i < count; ++i)
        points_.emplace_back(points[i].x, points[i].y);
    if (count == 1)
        painter_.drawPoint(points_.front());
    else
        painter_.drawPolyline(points_.data(), static_cast<int>(count));
}

void QtPainter::drawRect(const trend::RectF& rect) {
    painter_.drawRect(rectOf(rect));
}

void QtPainter::fillRect(const trend::RectF& rect, trend::Colour colour) {
    painter_.fillRect(rectOf(rect), colourOf(colour));
}

void QtPainter::drawText(const trend::RectF& box, trend::TextAlign align, std::string_view text) {
    const Qt::Alignment horizontal = align == trend::TextAlign::Left     ? Qt::AlignLeft
                                     : align == trend::TextAlign::Centre ? Qt::AlignHCenter
                                                                         : Qt::AlignRight;
    painter_.drawText(rectOf(box),
                      static_cast<int>(horizontal | Qt::AlignVCenter) | Qt::TextDontClip,
                      textOf(text));
}

} // namespace qv::qt
