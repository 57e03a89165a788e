#include "app/trend_window.h"

#include "app/dialog_controls.h"
#include "app/front_end.h"
#include "app/res/dialog_templates.h"
#include "text/substitute.h"
#include "trend/painter.h"
#include "window/window_services.h"

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

} // namespace

TrendWindow::TrendWindow(const trend::ReadingHistory& history, WindowServices& window,
                         FrontEnd& frontEnd)
    : history_(history), window_(window), frontEnd_(frontEnd),
      reader_([&window] { window.postMessage(WM_TREND_LOG_READ, 0, 0); }) {
    model_.setPollInterval(livePollInterval_);
}

void TrendWindow::OnInitDialog(DialogControls& controls) {
    controls_ = &controls;
    changed();
}

void TrendWindow::OnDestroy() {
    controls_ = nullptr;
    stopReading();
}

trend::ReadingSpans TrendWindow::readings() const {
    return showingLog_ ? log_.spans() : history_.readings();
}

void TrendWindow::OnCommand(int id) {
    if (id >= ctl::kSpanTenMinutes && id <= ctl::kSpanAll) {
        model_.setSpan(static_cast<trend::Span>(id - ctl::kSpanTenMinutes));
        changed();
    } else if (id == ctl::kLive) {
        stopReading();
        showingLog_ = false;
        model_.setPollInterval(livePollInterval_);
        model_.goLive();
        changed();
    } else if (id == ctl::kOpenLog) {
        openLog();
    } else if (id == ctl::kSaveImage) {
        saveImage();
    }
}

void TrendWindow::OnMouseWheel(int delta) {
    model_.panBy(-kPanStep * delta / kWheelNotch, readings());
    changed();
}

void TrendWindow::OnKey(TrendKey key) {
    model_.panBy(key == TrendKey::Left ? -kPanStep : kPanStep, readings());
    changed();
}

void TrendWindow::readingAdded(std::chrono::seconds pollInterval) {
    livePollInterval_ = pollInterval;
    if (showingLog_)
        return;
    model_.setPollInterval(pollInterval);
    if (isOpen())
        frontEnd_.invalidateTrend();
}

void TrendWindow::paint(trend::Painter& painter, int width, int height) {
    lastWidth_ = width;
    lastHeight_ = height;
    const float half = static_cast<float>(height) / 2.0f;
    const float w = static_cast<float>(width);
    const trend::ReadingSpans shown = readings();
    // Time labels under the lower chart only: the two share one time axis.
    trend::drawChart(painter, model_, shown, trend::Quantity::Humidity, {0.0f, 0.0f, w, half},
                     false, style_, humidityFrame_);
    trend::drawChart(painter, model_, shown, trend::Quantity::Temperature,
                     {0.0f, half, w, static_cast<float>(height) - half}, true, style_,
                     temperatureFrame_);
}

void TrendWindow::openLog() {
    const auto path = frontEnd_.browseForOpen("log", res::loadString(res::kLogFilterStringId));
    if (!path)
        return;
    reader_.start(pathOf(*path));
    readingPath_ = *path;
    changed();
}

void TrendWindow::stopReading() {
    reader_.cancel();
    readingPath_.clear();
}

void TrendWindow::OnLogRead() {
    std::optional<trend::LogReadResult> read = reader_.take();
    if (!read)
        return;
    const std::string path = std::exchange(readingPath_, {});
    // A failed read leaves the view unchanged.
    if (read->status != trend::LogReadStatus::Ok) {
        changed();
        window_.messageBox(trend::describe(*read), BoxIcon::Exclamation, path);
        return;
    }
    log_ = std::move(*read);
    logName_ = fileNameOf(path);
    showingLog_ = true;
    model_.setPollInterval(trend::typicalInterval(log_.spans()));
    model_.goLive();
    changed();
    if (const std::string note = trend::describe(log_); !note.empty())
        window_.messageBox(note);
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
    // While a log is read, "Live" gives it up.
    controls_->enable(ctl::kLive, showingLog_ || !model_.live() || readingLog());
    std::string source = showingLog_ ? logName_ : res::loadString(res::kTrendLiveSourceStringId);
    if (readingLog())
        source = substitute(res::loadString(res::kTrendReadingSourceStringId),
                            {fileNameOf(readingPath_)});
    controls_->setText(ctl::kTrendSource, source);
    frontEnd_.invalidateTrend();
}

} // namespace qv
