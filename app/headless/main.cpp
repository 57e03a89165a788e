// qv5300-logd: the QV-5300 logger without a display. It polls the stored port, logs
// into the stored file from the start and ends cleanly on SIGTERM or SIGINT. Its
// arguments are ignored ("--start-log" is implied).

#include "acquisition/clock.h"
#include "app/headless/event_loop.h"
#include "app/headless/log_daemon.h"
#include "app/headless/signal_watch.h"
#include "app/main_dialog.h"
#include "serial/serial_platform.h"
#include "settings/settings_store.h"
#include "settings/user_folder.h"

int main() {
    // First, before any thread exists, so that every thread inherits the blocked signals.
    qv::headless::SignalWatch signals;

    qv::SettingsStore settings(qv::kApplicationName);
    settings.SetRegistryKey(qv::kCompanyKey);
    qv::headless::EventLoop loop(qv::mainCaption(false));
    const auto platform = qv::makePlatformSerial(qv::portsFolder());
    const qv::SystemClock clock;
    qv::headless::LogDaemon daemon(loop, settings, *platform, clock);
    loop.setTarget(&daemon);
    loop.watch(signals.fd(), [&] {
        if (signals.take() != 0)
            loop.quit();
    });

    daemon.start();
    loop.run();
    daemon.stop();
    return 0;
}
