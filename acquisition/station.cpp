#include "acquisition/station.h"

namespace qv {

Station::Station(SerialPlatform& platform, WindowServices& window, const Clock& clock,
                 ReadingParser& parser, std::unique_ptr<LogFile> file)
    : window_(window), clock_(clock), parser_(parser), channel_(platform),
      log_(window, clock, std::move(file)), controller_(channel_, window, log_) {
    parser_.setSink([this](const Reading& reading) { readingComplete(reading); });
}

Station::~Station() {
    close();
}

void Station::start(bool startLogging) {
    if (startLogging)
        window_.postMessage(WM_START_LOG, 0, 0);
    controller_.start();
}

void Station::close() {
    parser_.setSink(nullptr);
    // Closing the log may report a file error in a message box, whose nested loop could
    // otherwise deliver a tick to a controller already gone. The reader is joined before
    // the window services go.
    log_.closeOnExit();
    channel_.Close();
}

void Station::readingComplete(const Reading& reading) {
    controller_.readingComplete(reading);
    const std::time_t when = clock_.now();
    for (const ReadingListener& listener : readingListeners_)
        listener(reading, when);
}

void Station::onTimer(int timerId) {
    controller_.onTimer(timerId);
}

void Station::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t /*lParam*/) {
    if (message == WM_LOG_LINE_DONE) {
        log_.lineDone();
    } else if (message == WM_START_LOG) {
        log_.toggle();
    } else if (message == WM_SERIAL_BYTE) {
        const auto byte = static_cast<std::uint8_t>(wParam & 0xFF);
        parser_.feed(&byte, 1);
    }
}

} // namespace qv
