// One press of Setup... while one port takes 3 s to open: the longest stall of the
// user-interface thread's event loop from the press until the setup dialog shows, the time
// to the dialog, and the polls the logger made meanwhile. The real main window (Qt,
// offscreen) over the POSIX platform on a private port folder (COM1 a live pseudo-terminal
// the window opens and polls every second, COM2 to COM256 dangling links), with COM2's
// probe made 3 s slower through the serial platform seam. A private HOME and
// XDG_CONFIG_HOME; nothing of the machine's is opened. Prints one JSON object.
//
// Usage: qv_bench_setup_stall [--presses N]

#include "app/qt/dialog_builder.h"
#include "app/qt/qt_main_dialog.h"
#include "app/qt/qt_setup_dialog.h"
#include "bench/pty_folder.h"
#include "serial/serial_platform.h"
#include "settings/settings_store.h"
#include "window/window_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kSlowPort = 2;
constexpr auto kSlowOpen = std::chrono::seconds{3};
constexpr int kTickMs = 2;

// The platform with one port whose probe takes kSlowOpen longer, as a Bluetooth serial
// port does; counts the polls (lines switched on) of the user-interface thread.
class SlowProbePlatform final : public qv::SerialPlatform {
public:
    explicit SlowProbePlatform(std::unique_ptr<qv::SerialPlatform> real) : real_(std::move(real)) {}
    std::atomic<int> polls{0};

    qv::OpenResult openPort(int port) override { return real_->openPort(port); }
    std::string describeOpenFailure(int port, qv::Status error) const override {
        return real_->describeOpenFailure(port, error);
    }
    qv::ProbeResult probePort(int port) override {
        if (port == kSlowPort)
            std::this_thread::sleep_for(kSlowOpen);
        return real_->probePort(port);
    }
    void closePort(qv::NativeHandle port) override { real_->closePort(port); }
    qv::Status getState(qv::NativeHandle port, qv::Dcb& dcb) override {
        return real_->getState(port, dcb);
    }
    qv::Status setState(qv::NativeHandle port, const qv::Dcb& dcb) override {
        return real_->setState(port, dcb);
    }
    qv::Status setModemLine(qv::NativeHandle port, qv::ModemLine line, bool on) override {
        if (line == qv::ModemLine::Rts && on)
            ++polls;
        return real_->setModemLine(port, line, on);
    }
    qv::Status setBreak(qv::NativeHandle port, bool on) override {
        return real_->setBreak(port, on);
    }
    qv::Status write(qv::NativeHandle port, const void* data, std::size_t count) override {
        return real_->write(port, data, count);
    }
    qv::OpenResult createStopSignal() override { return real_->createStopSignal(); }
    void signalStop(qv::NativeHandle stop) override { real_->signalStop(stop); }
    void closeStopSignal(qv::NativeHandle stop) override { real_->closeStopSignal(stop); }
    qv::WaitResult waitForInput(qv::NativeHandle port, qv::NativeHandle stop, bool watch) override {
        return real_->waitForInput(port, stop, watch);
    }
    long read(qv::NativeHandle port, std::uint8_t* buffer, std::size_t capacity) override {
        return real_->read(port, buffer, capacity);
    }
    void endReading(qv::NativeHandle port) override { real_->endReading(port); }

private:
    std::unique_ptr<qv::SerialPlatform> real_;
};

struct Press {
    double stallMs = 0;  // longest gap between event-loop ticks from the press to the dialog
    double dialogMs = 0; // from the press until the dialog shows
    int polls = 0;       // lines switched on meanwhile
};

} // namespace

int main(int argc, char** argv) {
    int presses = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--presses") == 0)
            presses = std::max(1, std::atoi(argv[++i]));

    // A private home before anything reads the environment.
    char pattern[] = "/tmp/qv-setup-stall-XXXXXX";
    const char* home = mkdtemp(pattern);
    if (!home)
        return 1;
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", (fs::path(home) / ".config").c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    fs::create_directories(fs::path(home) / ".config" / qv::kCompanyKey / "ports");

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("QV-5300"));
    int status = 0;
    std::vector<Press> results;
    {
        qv::bench::PtyFolder folder;
        if (folder.addLivePort(1) < 0)
            return 1;
        for (int port = 2; port <= qv::kPortCount; ++port)
            folder.addDanglingPort(port);
        SlowProbePlatform platform(qv::makePlatformSerial(folder.path()));
        qv::SettingsStore settings("QV-5300-setup-stall");
        settings.SetRegistryKey(qv::kCompanyKey);
        settings.WriteProfileInt(nullptr, qv::kLogIntervalEntry, 1);
        settings.WriteProfileString(nullptr, qv::kLogFileNameEntry, home + std::string("/t.log"));
        qv::SystemClock clock;
        qv::qt::QtMainDialog window(settings, platform, clock);

        QElapsedTimer since;
        since.start();
        double lastTick = 0, pressedAt = -1, stall = 0;
        int pollsAtPress = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const double now = static_cast<double>(since.nsecsElapsed()) / 1e6;
            if (pressedAt >= 0)
                stall = std::max(stall, now - std::max(lastTick, pressedAt));
            lastTick = now;
        });
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            auto* setup = qobject_cast<qv::qt::QtSetupDialog*>(QApplication::activeModalWidget());
            if (pressedAt < 0 || !setup)
                return;
            const double now = static_cast<double>(since.nsecsElapsed()) / 1e6;
            stall = std::max(stall, now - std::max(lastTick, pressedAt));
            results.push_back({stall, now - pressedAt, platform.polls - pollsAtPress});
            pressedAt = -1;
            setup->reject();
        });
        QTimer presser;
        QObject::connect(&presser, &QTimer::timeout, [&] {
            if (pressedAt >= 0 || QApplication::activeModalWidget() != &window)
                return;
            if (static_cast<int>(results.size()) == presses) {
                window.done(qv::kIdCancel);
                return;
            }
            auto* setup =
                qobject_cast<QAbstractButton*>(qv::qt::controlById(&window, qv::ctl::kSetup));
            if (!setup) {
                status = 1;
                window.done(qv::kIdCancel);
                return;
            }
            stall = 0;
            pollsAtPress = platform.polls;
            pressedAt = static_cast<double>(since.nsecsElapsed()) / 1e6;
            lastTick = pressedAt;
            setup->click(); // the old program returns from here after its dialog
        });
        ticker.start(kTickMs);
        watcher.start(5);
        presser.start(1500);
        window.execModal();
    }
    fs::remove_all(home);

    std::printf("{\"slow_port_ms\": %lld, \"presses\": [",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(kSlowOpen).count()));
    for (std::size_t i = 0; i < results.size(); ++i)
        std::printf("%s{\"stall_ms\": %.1f, \"dialog_ms\": %.1f, \"polls\": %d}", i ? ", " : "",
                    results[i].stallMs, results[i].dialogMs, results[i].polls);
    std::printf("]}\n");
    return status;
}
