#include "trend/log_view.h"

#include <algorithm>
#include <limits>

namespace qv::trend {

void LogView::setSummary(const LogSummary* summary) {
    if (summary != summary_)
        dropDetail();
    summary_ = summary;
}

void LogView::setDetail(std::vector<TimedReading> readings, const LogRange& range) {
    detail_ = std::move(readings);
    detailRange_ = range;
    hasDetail_ = true;
}

void LogView::dropDetail() {
    detail_ = {};
    hasDetail_ = false;
}

ChartData LogView::extent() const {
    ChartData data;
    const bool log = summary_ && !summary_->empty();
    if (log) {
        data.any = true;
        data.oldest = summary_->first();
        data.newest = summary_->last();
        data.newestReading = summary_->newest();
    }
    if (!live_.empty()) {
        data.oldest = data.any ? std::min(data.oldest, live_.front().time) : live_.front().time;
        data.newest = data.any ? std::max(data.newest, live_.back().time) : live_.back().time;
        data.newestReading = live_.back();
        data.any = true;
    }
    data.joinGaps = reading_;
    return data;
}

std::pair<std::int64_t, std::int64_t> LogView::logPart(TimeWindow window) const {
    if (!summary_ || summary_->empty())
        return {0, 0};
    const std::int64_t end =
        live_.empty() ? window.to + 1 : std::min(window.to + 1, live_.front().time);
    return {window.from, end};
}

bool LogView::summaryFineEnough(TimeWindow window, int columns) const {
    const std::int64_t perColumn = (window.to - window.from) / std::max(columns, 1);
    return summary_->width() <= perColumn;
}

bool LogView::detailCovers(std::int64_t from, std::int64_t to) const {
    return hasDetail_ && detailRange_.from <= from && to - 1 <= detailRange_.to;
}

ChartData LogView::data(TimeWindow window, int columns) const {
    ChartData data = extent();
    const auto [from, to] = logPart(window);
    const std::int64_t liveFrom =
        live_.empty() ? std::numeric_limits<std::int64_t>::max() : live_.front().time;
    if (from < to) {
        ChartPiece piece{summary_, {}, std::numeric_limits<std::int64_t>::min(), liveFrom};
        if (!reading_ && !summaryFineEnough(window, columns) && detailCovers(from, to))
            piece = {nullptr, {detail_, {}}, std::numeric_limits<std::int64_t>::min(), liveFrom};
        data.add(piece);
    }
    if (!live_.empty())
        data.add({nullptr, live_, liveFrom, std::numeric_limits<std::int64_t>::max()});
    return data;
}

std::optional<LogRange> LogView::wanted(TimeWindow window, int columns) const {
    const auto [from, to] = logPart(window);
    if (reading_ || from >= to || summaryFineEnough(window, columns) || detailCovers(from, to))
        return std::nullopt;
    const std::int64_t last = to - 1;
    if (summary_->countMeeting(from, last) > kMostDetail)
        return std::nullopt;
    // A span's room each way, for panning, where the summary says it is not too dense.
    const std::int64_t span = window.to - window.from;
    std::int64_t wideFrom = from - span,
                 wideTo =
                     std::min(last + span, live_.empty() ? last + span : live_.front().time - 1);
    if (summary_->countMeeting(wideFrom, wideTo) > kMostDetail) {
        wideFrom = from;
        wideTo = last;
    }
    const LogRange range = summary_->rangeOf(wideFrom, wideTo);
    if (range.end <= range.begin)
        return std::nullopt; // no line there: the summary shows the span as it is
    return range;
}

} // namespace qv::trend
