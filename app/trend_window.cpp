#include "app/trend_window.h"

#include "app/dialog_controls.h"
#include "app/front_end.h"
#include "app/res/dialog_templates.h"
#include "text/substitute.h"
#include "trend/painter.h"
#include "window/window_services.h"

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

bool sameRange(const trend::LogRange& a, const trend::LogRange& b) {
    return a.begin == b.begin && a.end == b.end && a.from == b.from && a.to == b.to;
}

} // namespace

TrendWindow::Source::Source(WindowServices& window)
    : indexer([&window] { window.postMessage(WM_TREND_LOG_READ, 0, 0); }) {
    view.setSummary(&summary);
}

void TrendWindow::Source::drop() {
    indexer.cancel();
    summary = trend::LogSummary();
    view.dropDetail();
    share = 0.0;
}

std::optional<trend::LogIndexer::Update> TrendWindow::Source::take(bool onlyWithReadings,
                                                                   bool* replaced) {
    std::optional<trend::LogIndexer::Update> update = indexer.take();
    if (!update)
        return update;
    share = update->share;
    const bool takes = update->summary && !(onlyWithReadings && update->summary->empty());
    if (takes) {
        summary = std::move(*update->summary);
        view.dropDetail(); // made for a summary now gone
    }
    if (replaced)
        *replaced = takes;
    for (const trend::IndexedLine& line : update->appended)
        summary.add(line.reading, line.begin, line.end);
    summary.skippedLines += update->appendedSkipped;
    return update;
}

TrendWindow::TrendWindow(const trend::ReadingHistory& history, WindowServices& window,
                         FrontEnd& frontEnd, LogFileQuery loggingTo)
    : history_(history), window_(window), frontEnd_(frontEnd), loggingTo_(std::move(loggingTo)),
      live_(window), picked_(window),
      detail_([&window] { window.postMessage(WM_TREND_LOG_READ, 0, 0); }) {
    model_.setPollInterval(livePollInterval_);
}

void TrendWindow::OnInitDialog(DialogControls& controls) {
    controls_ = &controls;
    followLoggedFile();
    changed();
}

void TrendWindow::OnDestroy() {
    controls_ = nullptr;
    if (picked_.reading() && showingLog_)
        partly_ = true;
    picked_.indexer.cancel();
    readingPath_.clear();
    detail_.cancel();
    detailAsked_.reset();
    // The log being written is read again at the next opening, from where it is then.
    live_.drop();
    followed_.clear();
}

TrendWindow::Source* TrendWindow::logInView() {
    if (showingLog_)
        return &picked_;
    return following() ? &live_ : nullptr;
}

trend::ChartData TrendWindow::shown() {
    Source* log = logInView();
    if (!log)
        return trend::ChartData(history_.readings());
    log->view.setLive(showingLog_ ? trend::ReadingSpans{} : history_.readings());
    log->view.setReading(log->reading());
    return log->view.extent();
}

std::uint64_t TrendWindow::readingCount() const {
    if (showingLog_)
        return picked_.summary.count();
    return history_.size() + (following() ? live_.summary.count() : 0);
}

void TrendWindow::OnCommand(int id) {
    if (id >= ctl::kSpanTenMinutes && id <= ctl::kSpanAll) {
        model_.setSpan(static_cast<trend::Span>(id - ctl::kSpanTenMinutes));
        changed();
    } else if (id == ctl::kLive) {
        if (showingLog_ || !readingPath_.empty()) {
            stopPickedRead();
            picked_.drop();
            showingLog_ = false;
            partly_ = false;
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
    if (!isOpen())
        return;
    if (followLoggedFile()) {
        changed(); // logging has started: its file joins the live view
        return;
    }
    live_.indexer.poke();
    if (showingLog_)
        return;
    model_.setPollInterval(pollInterval);
    frontEnd_.invalidateTrend();
}

bool TrendWindow::followLoggedFile() {
    if (!loggingTo_)
        return false;
    const std::string path = loggingTo_();
    // Logging stopped: what was read of the file stays in view.
    if (path.empty() || path == followed_)
        return false;
    live_.drop();
    followed_ = path;
    followRefused_ = false;
    live_.indexer.start(pathOf(path), true);
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
    if (Source* log = logInView()) {
        const int columns =
            std::max(1, static_cast<int>(trend::plotArea(upper, painter, false).width));
        const trend::TimeWindow window = model_.window(data);
        data = log->view.data(window, columns);
        const std::optional<trend::LogRange> wanted = log->view.wanted(window, columns);
        if (wanted && !(detailFor_ == log && detailAsked_ && sameRange(*detailAsked_, *wanted))) {
            detailAsked_ = wanted;
            detailFor_ = log;
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
    // The view stays as it is until the log's first picture replaces it.
    stopPickedRead();
    readingPath_ = *path;
    picked_.share = 0.0;
    picked_.indexer.start(pathOf(*path), false);
    changed();
}

void TrendWindow::stopPickedRead() {
    if (showingLog_ && picked_.reading())
        partly_ = true;
    picked_.indexer.cancel();
    readingPath_.clear();
    if (detailFor_ == &picked_) {
        detail_.cancel();
        detailAsked_.reset();
    }
}

void TrendWindow::cancelReading() {
    // The picked log's read first; then the reading of the file being written, whose
    // lines read so far stay in view (and which is not followed further).
    if (picked_.reading())
        stopPickedRead();
    else if (live_.reading())
        live_.indexer.cancel();
    changed();
}

void TrendWindow::takePicked() {
    // While a log is opened, what is shown (another log, perhaps) stays until it has
    // readings to show.
    const bool opening = !readingPath_.empty();
    bool replaced = false;
    std::optional<trend::LogIndexer::Update> update = picked_.take(opening, &replaced);
    if (!update)
        return;
    if (opening && replaced) {
        // The picked log's first picture: it replaces the view.
        showingLog_ = true;
        logPath_ = std::exchange(readingPath_, {});
        logName_ = fileNameOf(logPath_);
        partly_ = false;
        model_.goLive();
    }
    if (!update->complete)
        return;
    const bool shown = readingPath_.empty(); // the read's own log is in view
    const trend::LogReadResult outcome{
        update->status, {}, shown ? static_cast<std::size_t>(picked_.summary.skippedLines) : 0};
    const std::string path = shown ? logPath_ : std::exchange(readingPath_, {});
    if (update->status != trend::LogReadStatus::Ok) {
        // Not shown, the view stays as it was; shown, it keeps what was read.
        if (shown)
            partly_ = true;
        else if (!showingLog_)
            picked_.drop();
        changed();
        window_.messageBox(trend::describe(outcome), BoxIcon::Exclamation, path);
        return;
    }
    model_.setPollInterval(
        std::chrono::seconds{std::max<std::int64_t>(1, picked_.summary.typicalStep)});
    changed();
    if (const std::string note = trend::describe(outcome); !note.empty())
        window_.messageBox(note);
}

void TrendWindow::takeDetail() {
    std::optional<trend::LogReadResult> read = detail_.take();
    if (!read || !detailAsked_ || !detailFor_)
        return;
    // A failed read shows the span empty rather than asking again and again.
    if (read->status != trend::LogReadStatus::Ok)
        read->readings.clear();
    detailFor_->view.setDetail(std::move(read->readings), *detailAsked_);
    detailAsked_.reset();
    detailFor_ = nullptr;
}

void TrendWindow::OnLogRead() {
    if (const auto update = live_.take(false, nullptr); update && update->complete) {
        // A file the log holds for itself alone (Windows shares it with no one), or gone:
        // the live readings show without it, and it is not tried again.
        const trend::LogReadStatus status = update->status;
        if (status != trend::LogReadStatus::Ok && status != trend::LogReadStatus::Empty &&
            status != trend::LogReadStatus::NoReadings) {
            live_.drop();
            followRefused_ = true;
        }
    }
    takePicked();
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
        window_.messageBox(substitute(res::loadString(res::kImageSaveFailedStringId), {*path}),
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
    if (picked_.reading())
        source = substitute(res::loadString(res::kTrendReadingSourceStringId),
                            {readingPath_.empty() ? logName_ : fileNameOf(readingPath_)});
    else if (showingLog_)
        source = partly_ ? substitute(res::loadString(res::kTrendPartlyReadStringId), {logName_})
                         : logName_;
    else if (following())
        source =
            substitute(res::loadString(res::kTrendLiveAndLogStringId), {fileNameOf(followed_)});
    controls_->setText(ctl::kTrendSource, source);
    const bool busy = readingLog();
    controls_->show(ctl::kTrendProgress, busy);
    controls_->show(ctl::kTrendCancel, busy);
    if (busy) {
        const double share = picked_.reading() ? picked_.share : live_.share;
        controls_->setProgress(ctl::kTrendProgress,
                               static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * 100)));
    }
    frontEnd_.invalidateTrend();
}
} // namespace qv
