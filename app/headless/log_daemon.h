#pragma once

// The logger without a display: the station polling the stored port at the stored
// interval and logging into the stored file from the start, each reading published as the
// stored publishing values say, over the headless event loop. The values are those the
// windowed program keeps (the same settings store). What the window's caption would show
// (port lost, the publisher's status) is reported through the loop's caption. Nobody is
// there to reconnect a lost port by hand, so a lost port is always waited for and taken
// back ("AutoReconnect" on, whatever is stored).
//
// User-interface (the loop's) thread only; the station's threads reach it through the loop.

#include "acquisition/clock.h"
#include "acquisition/station.h"
#include "app/headless/event_loop.h"
#include "app/publish_link.h"

#include <cstdint>

namespace qv {
class SerialPlatform;
class SettingsStore;
} // namespace qv

namespace qv::headless {

class LogDaemon final : public WindowMessageTarget {
public:
    // All must outlive the daemon; `loop` must deliver to it.
    LogDaemon(EventLoop& loop, SettingsStore& settings, SerialPlatform& platform,
              const Clock& clock);
    // stop(), if not done before; then the publisher stops, within publish::kPublisherStopWait
    // (what it could not send stays in its spool).
    ~LogDaemon() override;
    LogDaemon(const LogDaemon&) = delete;
    LogDaemon& operator=(const LogDaemon&) = delete;

    // Loads the values, opens the port and presses Start Log once the loop runs.
    void start();
    // The log closed and flushed, the port released and its reader joined: no reading
    // reaches the publisher any more. Once.
    void stop();

    // WindowMessageTarget: WM_PUBLISH_STATUS to the publish link, the rest to the station.
    void onTimer(int timerId) override;
    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    const Station& station() const { return station_; }

private:
    void showState();

    EventLoop& loop_;
    SettingsStore& settings_;
    // Before the station: readings reach it until the station closes.
    PublishLink link_;
    Station station_;
    bool stopped_ = false;
};

} // namespace qv::headless
