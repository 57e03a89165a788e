#include "app/headless/log_daemon.h"

#include "acquisition/reading_parser.h"
#include "app/main_dialog.h"
#include "settings/publish_settings.h"
#include "settings/settings_store.h"

namespace qv::headless {

LogDaemon::LogDaemon(EventLoop& loop, SettingsStore& settings, SerialPlatform& platform,
                     const Clock& clock)
    : loop_(loop), settings_(settings), link_(loop, clock, [this] { showState(); }),
      station_(platform, loop, clock, ReadingParser::processInstance()) {
    station_.setWaitingListener([this](bool) { showState(); });
    station_.addReadingListener(
        [this](const Reading& reading, std::time_t) { link_.submit(reading); });
}

LogDaemon::~LogDaemon() {
    stop();
}

void LogDaemon::start() {
    const AppSettings loaded = loadAppSettings(settings_);
    AcquisitionController& controller = station_.controller();
    controller.setPort(loaded.port);
    controller.setInterval(loaded.interval);
    controller.setAutoReconnect(true);
    station_.log().setFileName(loaded.fileName);
    station_.log().setAppend(loaded.append != 0);
    link_.apply(loadPublishSettings(settings_), loaded.port);
    station_.start(/*startLogging=*/true);
}

void LogDaemon::stop() {
    if (stopped_)
        return;
    stopped_ = true;
    station_.close();
}

void LogDaemon::showState() {
    if (stopped_) // the publisher stopping at the end is no news
        return;
    loop_.setCaption(mainCaption(station_.controller().waitingForPort(), link_.statusText()));
}

void LogDaemon::onTimer(int timerId) {
    station_.onTimer(timerId);
}

void LogDaemon::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    if (message == WM_PUBLISH_STATUS)
        link_.onStatusMessage();
    else
        station_.onMessage(message, wParam, lParam);
}

} // namespace qv::headless
