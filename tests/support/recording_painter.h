#pragma once

// A painter that draws nothing and keeps each text with its box and the number of
// polylines. Fixed metrics (7 pixels a character, 14 a line): layouts come out the same
// everywhere. Test thread only.

#include "trend/painter.h"

#include <map>
#include <string>

namespace qv::test {

class RecordingPainter : public trend::Painter {
public:
    std::map<std::string, trend::RectF> texts; // the last box of each text
    int polylines = 0;

    float textWidth(std::string_view text) const override { return 7.0f * text.size(); }
    float lineHeight() const override { return 14.0f; }
    void setPen(trend::Colour, float) override {}
    void drawLine(trend::PointF, trend::PointF) override {}
    void drawPolyline(const trend::PointF*, std::size_t) override { ++polylines; }
    void drawRect(const trend::RectF&) override {}
    void fillRect(const trend::RectF&, trend::Colour) override {}
    void drawText(const trend::RectF& box, trend::TextAlign, std::string_view text) override {
        texts[std::string(text)] = box;
    }
};

} // namespace qv::test
