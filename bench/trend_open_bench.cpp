// Opening a long log in the trend window while the program logs at 1 s: the real Qt
// event loop, the real trend window (QtTrendWindow over TrendWindow, offscreen), the
// program's channel, parser, controller and log (program_rig.h) on a pseudo-terminal
// whose sensor - a thread of this program - answers each poll 20 ms after it. Measured
// from the moment "Open log..." is pressed:
//   first picture: the end of the first paint of the chart area that shows the log;
//   complete: the end of the first paint after the whole file was read;
//   one hour: after that, the view moved to one hour in the middle of the file, until
//     the end of the paint that shows the hour's lines;
//   memory added: the peak resident memory from the press to the end (the peak is
//     reset first), less the resident memory just before the press;
//   longest stall: the longest handling of one event of the event loop, from the press
//     until a second after the end;
//   polls: the poll timer's ticks in that time, the longest gap between two, and the
//     lines logged for those ticks: the log's count at the first tick after the end less
//     its count at the first tick counted (each poll's line is written and synced within
//     the second before the next tick, so neither a poll before the press nor one after
//     the end is counted).
//
// Usage: qv_bench_trend_open --open LOG [--warmup-s S]. Prints one JSON object.
// Run with QT_QPA_PLATFORM=offscreen and a private XDG_CONFIG_HOME.

#include "app/qt/qt_front_end.h"
#include "app/qt/qt_trend_window.h"
#include "app/res/dialog_templates.h"
#include "app/trend_window.h"
#include "bench/program_rig.h"
#include "bench/pty_folder.h"

#include <QApplication>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

double ms(SteadyClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A field of /proc/self/status, in kB.
long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

// Times each event the loop hands out (the outermost call only); tells `afterEvent` of
// every event handled, nested ones (a widget's paint) included.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool measuring = false;
    double longestMs = 0;
    std::string longestWhat; // the receiver's class and the event's type
    std::function<void(QObject*, QEvent*)> afterEvent;

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0) {
            const bool r = QApplication::notify(receiver, event);
            --depth_;
            if (afterEvent)
                afterEvent(receiver, event);
            return r;
        }
        // Taken first: the event may delete its receiver.
        const char* receiverClass = receiver->metaObject()->className();
        const int type = static_cast<int>(event->type());
        const auto start = SteadyClock::now();
        const bool r = QApplication::notify(receiver, event);
        const double took = ms(SteadyClock::now() - start);
        --depth_;
        if (measuring && took > longestMs) {
            longestMs = took;
            longestWhat = std::string(receiverClass) + " event " + std::to_string(type);
        }
        if (afterEvent)
            afterEvent(receiver, event);
        return r;
    }

private:
    int depth_ = 0;
};

// The file dialog's answer, always the log to open.
class BenchFrontEnd final : public qv::qt::QtFrontEnd {
public:
    BenchFrontEnd(QWidget& main, qv::qt::QtWindowServices& services, std::string answer)
        : QtFrontEnd(main, services), answer_(std::move(answer)) {}
    std::optional<std::string> browseForOpen(const std::string&, const std::string&) override {
        return answer_;
    }

private:
    std::string answer_;
};

// The sensor: one record for each poll, a moment after it.
class AnsweringSensor {
public:
    explicit AnsweringSensor(int master) : master_(master), thread_([this] { run(); }) {}
    ~AnsweringSensor() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void polled() {
        {
            std::lock_guard lock(mutex_);
            ++asked_;
        }
        wake_.notify_one();
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (int n = 0;; ++n) {
            wake_.wait(lock, [&] { return stop_ || asked_ > 0; });
            if (stop_)
                return;
            --asked_;
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds{20});
            char record[32];
            const int size = std::snprintf(record, sizeof record, "H%5.1fT%5.1f\r",
                                           40.0 + n % 100 / 10.0, 20.0 + n % 50 / 10.0);
            [[maybe_unused]] ssize_t w = ::write(master_, record, static_cast<std::size_t>(size));
            lock.lock();
        }
    }

    int master_;
    std::mutex mutex_;
    std::condition_variable wake_;
    int asked_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv) {
    std::string open;
    double warmup = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--open")
            open = argv[i + 1];
        else if (name == "--warmup-s")
            warmup = std::atof(argv[i + 1]);
    }
    if (open.empty()) {
        std::fprintf(stderr, "usage: qv_bench_trend_open --open LOG [--warmup-s S]\n");
        return 2;
    }
    TimedApplication app(argc, argv);
    qv::bench::PtyFolder folder;
    const int master = folder.addLivePort(1);
    if (master < 0)
        return 1;
    qv::bench::ProgramRig rig(folder.path());
    AnsweringSensor sensor(master);
    BenchFrontEnd frontEnd(rig.window, rig.qtServices, open);
    const std::string liveLog = (folder.path() / "live.log").string();
    qv::trend::ReadingHistory history;
    qv::TrendWindow trend(history, rig.services, frontEnd,
                          [&] { return rig.log.fileOpen() ? rig.log.fileName() : std::string(); });

    int ticks = 0;
    int linesBefore = -1, linesAfter = -1;
    std::function<void()> measuredTicksEnded;
    SteadyClock::time_point lastTick{};
    double longestGapMs = 0;
    rig.afterTimer = [&](int id) {
        if (id != qv::kPollTimer)
            return;
        sensor.polled();
        const auto now = SteadyClock::now();
        // The gaps that end at the ticks counted and at the first tick after the end. This
        // tick's own line cannot be in yet: the sensor answers 20 ms after the poll.
        const bool ending = !app.measuring && linesAfter < 0 && measuredTicksEnded;
        if ((app.measuring || ending) && lastTick != SteadyClock::time_point{})
            longestGapMs = std::max(longestGapMs, ms(now - lastTick));
        lastTick = now;
        if (app.measuring) {
            if (ticks++ == 0)
                linesBefore = rig.log.recordCount();
        } else if (ending) {
            linesAfter = rig.log.recordCount();
            if (ticks == 0)
                linesBefore = linesAfter;
            measuredTicksEnded();
        }
    };
    rig.station.addReadingListener([&](const qv::Reading& r, std::time_t when) {
        history.append({static_cast<std::int64_t>(when), r.humidity, r.temperature});
        trend.readingAdded(std::chrono::seconds{1});
    });
    rig.otherMessage = [&](std::uint32_t message) {
        if (message == qv::WM_TREND_LOG_READ)
            trend.OnLogRead();
    };

    rig.log.setFileName(liveLog);
    rig.controller.setPort(1);
    rig.controller.setInterval(1);
    rig.controller.start();
    rig.log.toggle();
    if (rig.channel.GetPortHandle() == qv::kInvalidHandle || !rig.log.logging()) {
        std::fprintf(stderr, "qv_bench_trend_open: port or log did not open\n");
        return 1;
    }
    frontEnd.showTrendWindow(trend);
    qv::qt::QtTrendWindow* window = frontEnd.trendWindow();
    window->resize(1000, 640);

    SteadyClock::time_point pressed{}, firstPicture{}, complete{}, hourAsked{}, hourShown{};
    long rssBefore = 0, hwm = 0;
    enum class Phase { Warmup, Reading, Hour, Settle, Done } phase = Phase::Warmup;
    app.afterEvent = [&](QObject* receiver, QEvent* event) {
        if (receiver != window->chartArea() || event->type() != QEvent::Paint)
            return;
        const auto now = SteadyClock::now();
        if (phase == Phase::Reading && trend.showingLog() &&
            firstPicture == SteadyClock::time_point{})
            firstPicture = now;
        if (phase == Phase::Reading && trend.showingLog() && !trend.readingLog()) {
            complete = now;
            phase = Phase::Hour;
            // One hour in the middle of the file, through the wheel.
            QTimer::singleShot(0, &app, [&] {
                hourAsked = SteadyClock::now();
                trend.OnCommand(qv::ctl::kSpanOneHour);
                const qv::trend::ChartData shown = trend.shown();
                const double hours = static_cast<double>(shown.newest - shown.oldest) / 2 / 3600;
                trend.OnMouseWheel(static_cast<int>(hours / qv::TrendWindow::kPanStep *
                                                    qv::TrendWindow::kWheelNotch));
            });
        } else if (phase == Phase::Hour && hourAsked != SteadyClock::time_point{} &&
                   !trend.readingSpan()) {
            hourShown = now;
            phase = Phase::Settle;
            QTimer::singleShot(1000, &app, [&] {
                hwm = statusKb("VmHWM:");
                app.measuring = false;
                measuredTicksEnded = [&] {
                    phase = Phase::Done;
                    app.quit();
                };
            });
        }
    };
    QTimer::singleShot(static_cast<int>(warmup * 1000), &app, [&] {
        // The peak resident memory from here on.
        std::ofstream("/proc/self/clear_refs") << "5";
        rssBefore = statusKb("VmRSS:");
        app.measuring = true;
        phase = Phase::Reading;
        pressed = SteadyClock::now();
        trend.OnCommand(qv::ctl::kOpenLog);
    });
    QTimer::singleShot(600'000, &app, &QCoreApplication::quit); // bounded, whatever happens
    app.exec();
    frontEnd.closeTrendWindow();
    rig.log.closeOnExit();
    if (phase != Phase::Done) {
        std::fprintf(stderr, "qv_bench_trend_open: the log did not open (phase %d)\n",
                     static_cast<int>(phase));
        return 1;
    }
    std::printf("{\"file_bytes\": %llu, \"readings\": %llu, \"first_picture_ms\": %.1f, "
                "\"complete_ms\": %.1f, \"hour_ms\": %.1f, \"rss_before_mb\": %.1f, "
                "\"added_mb\": %.1f, \"longest_stall_ms\": %.2f, \"poll_ticks\": %d, "
                "\"longest_tick_gap_ms\": %.1f, \"lines_logged\": %d, \"seconds\": %.2f, "
                "\"longest_stall_event\": \"%s\"}\n",
                static_cast<unsigned long long>(std::filesystem::file_size(open)),
                static_cast<unsigned long long>(trend.summary().count()),
                ms(firstPicture - pressed), ms(complete - pressed), ms(hourShown - hourAsked),
                rssBefore / 1024.0, (hwm - rssBefore) / 1024.0, app.longestMs, ticks, longestGapMs,
                linesAfter - linesBefore, ms(hourShown - pressed) / 1000 + 1,
                app.longestWhat.c_str());
    return 0;
}
