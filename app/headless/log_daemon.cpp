#include "app/headless/log_daemon.h"

#include "acquisition/reading_parser.h"
#include "app/main_dialog.h"
#include "settings/settings_store.h"

namespace qv::headless {

LogDaemon::LogDaemon(EventLoop& loop, SettingsStore& settings, SerialPlatform& platform,
                     const Clock& clock)
    : loop_(loop), settings_(settings),
      station_(platform, loop, clock, ReadingParser::processInstance()) {
    station_.setWaitingListener([this](bool waiting) { loop_.setCaption(mainCaption(waiting)); });
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
    station_.start(/*startLogging=*/true);
}

void LogDaemon::stop() {
    if (stopped_)
        return;
    stopped_ = true;
    station_.close();
}

void LogDaemon::onTimer(int timerId) {
    station_.onTimer(timerId);
}

void LogDaemon::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    station_.onMessage(message, wParam, lParam);
}

} // namespace qv::headless
