#pragma once

// A painter that draws nothing and keeps what it was asked to draw: each text with its box,
// and the number of polylines. Fixed metrics (7 pixels a character, 14 a line), so that
// layouts come out the same everywhere. Test thread only.

#include "trend/painter.h"

#include <string>
#include <vector>

namespace qv::test {

class RecordingPainter : public trend::Painter {
public:
    struct Text {
        trend::RectF box;
        std::string text;
    };
    std::vector<Text> texts;
    int polylines = 0;

    float textWidth(std::string_view text) const override { return 7.0f * text.size(); }
    float lineHeight() const override { return 14.0f; }
    void setPen(trend::Colour, float) override {}
    void drawLine(trend::PointF, trend::PointF) override {}
    void drawPolyline(const trend::PointF*, std::size_t) override { ++polylines; }
    void drawRect(const trend::RectF&) override {}
    void fillRect(const trend::RectF&, trend::Colour) override {}
    void drawText(const trend::RectF& box, trend::TextAlign, std::string_view text) override {
        texts.push_back({box, std::string(text)});
    }
    // The box of the first text equal to `text`; a zero box when there is none.
    trend::RectF boxOf(const std::string& text) const {
        for (const Text& t : texts)
            if (t.text == text)
                return t.box;
        return {};
    }
};

} // namespace qv::test
