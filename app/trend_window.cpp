#include "app/trend_window.h"

#include "app/dialog_controls.h"
#include "app/front_end.h"
#include "app/res/dialog_templates.h"
#include "app/services/window_services.h"
#include "trend/painter.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <utility>

namespace qv {
namespace {

constexpr int kSpanButtons[] = {ctl::kSpanTenMinutes,      ctl::kSpanOneHour,   ctl::kSpanSixHours,
                                ctl::kSpanTwentyFourHours, ctl::kSpanSevenDays, ctl::kSpanAll};

// Paths cross the front-end seam as UTF-8 on every system.
std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string fileNameOf(const std::string& utf8) {
    const std::u8string name = pathOf(utf8).filename().u8string();
    return std::string(name.begin(), name.end());
}

std::string withPath(std::string format, const std::string& path) {
    const auto at = format.find("%1");
    if (at != std::string::npos)
        format.replace(at, 2, path);
    return format;
}

bool sameRange(const trend::LogRange& a, const trend::LogRange& b) {
    return a.begin == b.begin && a.end == b.end && a.from == b.from && a.to == b.to;
}

} // namespace

TrendWindow::TrendWindow(const trend::ReadingHistory& history, WindowServices& window,
                         FrontEnd& frontEnd, LogFileQuery loggingTo)
    : history_(history), window_(window), frontEnd_(frontEnd), loggingTo_(std::move(loggingTo)),
      indexer_([&window] { window.postMessage(WM_TREND_LOG_READ, 0, 0); }),
      detail_([&window] { window.postMessage(WM_TREND_LOG_READ, 0, 0); }) {
    model_.setPollInterval(livePollInterval_);
    view_.setSummary(&summary_);
}

void TrendWindow::OnInitDialog(DialogControls& controls) {
    controls_ = &controls;
    followLoggedFile();
    changed();
}

void TrendWindow::OnDestroy() {
    controls_ = nullptr;
    stopReading();
    // The log being written is read again at the next opening, from where it is then.
    if (!showingLog_ && !followed_.empty()) {
        followed_.clear();
        summary_ = trend::LogSummary();
        view_.dropDetail();
    }
}

trend::ChartData TrendWindow::shown() {
    if (!logInView())
        return trend::ChartData(history_.readings());
    view_.setLive(showingLog_ ? trend::ReadingSpans{} : history_.readings());
    view_.setReading(readingLog());
    return view_.extent();
}

std::uint64_t TrendWindow::readingCount() const {
    if (showingLog_)
        return summary_.count();
    return history_.size() + (followed_.empty() ? 0 : summary_.count());
}

void TrendWindow::OnCommand(int id) {
    if (id >= ctl::kSpanTenMinutes && id <= ctl::kSpanAll) {
        model_.setSpan(static_cast<trend::Span>(id - ctl::kSpanTenMinutes));
        changed();
    } else if (id == ctl::kLive) {
        if (showingLog_ || !readingPath_.empty()) {
            stopReading();
            showingLog_ = false;
            partly_ = false;
            summary_ = trend::LogSummary();
            view_.dropDetail();
            followed_.clear();
            followLoggedFile();
        }
        model_.setPollInterval(livePollInterval_);
        model_.goLive();
        changed();
    } else if (id == ctl::kOpenLog) {
        openLog();
    } else if (id == ctl::kSaveImage) {
        saveImage();
    } else if (id == ctl::kTrendCancel) {
        cancelReading();
    }
}

bool TrendWindow::OnEscape() {
    if (!readingLog())
        return false;
    cancelReading();
    return true;
}

void TrendWindow::OnMouseWheel(int delta) {
    model_.panBy(-kPanStep * delta / kWheelNotch, shown());
    changed();
}

void TrendWindow::OnKey(TrendKey key) {
    model_.panBy(key == TrendKey::Left ? -kPanStep : kPanStep, shown());
    changed();
}

void TrendWindow::readingAdded(std::chrono::seconds pollInterval) {
    livePollInterval_ = pollInterval;
    if (showingLog_ || !isOpen())
        return;
    model_.setPollInterval(pollInterval);
    if (followLoggedFile()) {
        changed(); // logging has started: its file joins the view
        return;
    }
    indexer_.poke();
    frontEnd_.invalidateTrend();
}

bool TrendWindow::followLoggedFile() {
    if (showingLog_ || !readingPath_.empty() || !loggingTo_)
        return false;
    const std::string path = loggingTo_();
    // Logging stopped: what was read of the file stays in view.
    if (path.empty() || path == followed_)
        return false;
    stopReading();
    followed_ = path;
    summary_ = trend::LogSummary();
    view_.dropDetail();
    share_ = 0.0;
    indexer_.start(pathOf(path), true);
    return true;
}

void TrendWindow::paint(trend::Painter& painter, int width, int height) {
    lastWidth_ = width;
    lastHeight_ = height;
    const float half = static_cast<float>(height) / 2.0f;
    const float w = static_cast<float>(width);
    const trend::RectF upper{0.0f, 0.0f, w, half};
    const trend::RectF lower{0.0f, half, w, static_cast<float>(height) - half};
    trend::ChartData data = shown();
    if (logInView()) {
        const int columns =
            std::max(1, static_cast<int>(trend::plotArea(upper, painter, false).width));
        const trend::TimeWindow window = model_.window(data);
        data = view_.data(window, columns);
        const std::optional<trend::LogRange> wanted = view_.wanted(window, columns);
        if (wanted && !(detailAsked_ && sameRange(*detailAsked_, *wanted))) {
            detailAsked_ = wanted;
            detail_.start(pathOf(showingLog_ ? logPath_ : followed_), *wanted);
        }
    }
    // Time labels under the lower chart only: the two share one time axis.
    trend::drawChart(painter, model_, data, trend::Quantity::Humidity, upper, false, style_,
                     humidityFrame_);
    trend::drawChart(painter, model_, data, trend::Quantity::Temperature, lower, true, style_,
                     temperatureFrame_);
}

void TrendWindow::openLog() {
    const auto path = frontEnd_.browseForOpen("log", res::loadString(res::kLogFilterStringId));
    if (!path)
        return;
    stopReading();
    // The view stays as it is until the log's first picture replaces it.
    followed_.clear();
    readingPath_ = *path;
    pickedRead_ = true;
    share_ = 0.0;
    indexer_.start(pathOf(*path), false);
    changed();
}

void TrendWindow::stopReading() {
    if (showingLog_ && pickedRead_ && readingLog())
        partly_ = true;
    indexer_.cancel();
    detail_.cancel();
    detailAsked_.reset();
    readingPath_.clear();
    pickedRead_ = false;
}

void TrendWindow::cancelReading() {
    if (!readingLog())
        return;
    const bool following = !showingLog_ && readingPath_.empty();
    stopReading();
    // A picked log not shown yet gives the view back to the live readings, and with
    // them to the log being written; what was read of a log in view stays in view.
    if (!showingLog_ && !following)
        followLoggedFile();
    changed();
}

void TrendWindow::takeIndex() {
    std::optional<trend::LogIndexer::Update> update = indexer_.take();
    if (!update)
        return;
    share_ = update->share;
    if (update->summary && !readingPath_.empty() && !update->summary->empty()) {
        // The picked log's first picture: it replaces the view.
        showingLog_ = true;
        logPath_ = std::exchange(readingPath_, {});
        logName_ = fileNameOf(logPath_);
        partly_ = false;
        model_.goLive();
    }
    if (update->summary && readingPath_.empty()) {
        summary_ = std::move(*update->summary);
        view_.dropDetail();
        detail_.cancel();
        detailAsked_.reset();
    }
    if (readingPath_.empty()) {
        for (const trend::IndexedLine& line : update->appended)
            summary_.add(line.reading, line.begin, line.end);
        summary_.skippedLines += update->appendedSkipped;
    }
    if (!update->complete || !pickedRead_)
        return;
    // The picked log's read has ended.
    pickedRead_ = false;
    trend::LogReadResult outcome{
        update->status, {}, static_cast<std::size_t>(summary_.skippedLines)};
    const std::string path = showingLog_ ? logPath_ : std::exchange(readingPath_, {});
    if (update->status != trend::LogReadStatus::Ok) {
        // Not shown, the view stays as it was; shown, it keeps what was read.
        partly_ = showingLog_;
        if (!showingLog_)
            followLoggedFile();
        changed();
        window_.messageBox(trend::describe(outcome), BoxIcon::Exclamation, path);
        return;
    }
    model_.setPollInterval(std::chrono::seconds{std::max<std::int64_t>(1, summary_.typicalStep)});
    changed();
    if (const std::string note = trend::describe(outcome); !note.empty())
        window_.messageBox(note);
}

void TrendWindow::takeDetail() {
    std::optional<trend::LogReadResult> read = detail_.take();
    if (!read || !detailAsked_)
        return;
    // A failed read shows the span empty rather than asking again and again.
    if (read->status != trend::LogReadStatus::Ok)
        read->readings.clear();
    view_.setDetail(std::move(read->readings), *detailAsked_);
    detailAsked_.reset();
}

void TrendWindow::OnLogRead() {
    takeIndex();
    takeDetail();
    changed();
}

void TrendWindow::saveImage() {
    const auto path = frontEnd_.browseForSave("png", "trend.png");
    if (!path)
        return;
    const int width = lastWidth_;
    const int height = lastHeight_;
    const bool saved = frontEnd_.saveImage(
        *path, width, height, [&](trend::Painter& painter) { paint(painter, width, height); });
    if (!saved)
        window_.messageBox(withPath(res::loadString(res::kImageSaveFailedStringId), *path),
                           BoxIcon::Stop);
}

void TrendWindow::changed() {
    if (!controls_)
        return;
    const auto current = static_cast<std::size_t>(model_.span());
    for (std::size_t i = 0; i < std::size(kSpanButtons); ++i)
        controls_->enable(kSpanButtons[i], i != current);
    // While a picked log is read, "Live" gives it up.
    controls_->enable(ctl::kLive, showingLog_ || !model_.live() || !readingPath_.empty());
    std::string source = res::loadString(res::kTrendLiveSourceStringId);
    if (!readingPath_.empty() || (showingLog_ && pickedRead_))
        source = withPath(res::loadString(res::kTrendReadingSourceStringId),
                          readingPath_.empty() ? logName_ : fileNameOf(readingPath_));
    else if (showingLog_)
        source =
            partly_ ? withPath(res::loadString(res::kTrendPartlyReadStringId), logName_) : logName_;
    else if (!followed_.empty())
        source = withPath(res::loadString(res::kTrendLiveAndLogStringId), fileNameOf(followed_));
    controls_->setText(ctl::kTrendSource, source);
    const bool busy = readingLog();
    controls_->show(ctl::kTrendProgress, busy);
    controls_->show(ctl::kTrendCancel, busy);
    if (busy)
        controls_->setProgress(ctl::kTrendProgress,
                               static_cast<int>(std::lround(std::clamp(share_, 0.0, 1.0) * 100)));
    frontEnd_.invalidateTrend();
}

} // namespace qv
