// The program's logging path without a user at the window, for the comparison with a
// Python logger: the real channel, Reading parser, acquisition controller and
// measurement log over the Qt window services, logging switched on at start. One poll
// per record: after each Reading the next poll tick follows at once (lines on, reply
// timeout re-armed, pollPending set), so every record the sensor sends is logged, and
// the per-record work is that of one poll of the program: lines on, read, parse, lines
// off, two texts shown, one line written and handed to the OS, the count shown.
//
// Usage: qv_bench_logger --ports-dir DIR --port N --log FILE [--latency-file FILE]
//                        [--seconds S] [--trials none|no-text]
// --trials no-text keeps every text from the widgets (trials_option.h); the default is the
// program as it is.
// With --latency-file, the CLOCK_MONOTONIC time in nanoseconds at which each line had
// been written (right when the log shows the new count) is appended, one per line.
// Ends on SIGTERM/SIGINT or after S seconds; prints one JSON object on stdout.

#include "bench/program_rig.h"
#include "bench/trials_option.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

long long monotonicNanos() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    std::string portsDir, logFile, latencyFile, trialsText = "none";
    int port = 1;
    double seconds = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--ports-dir")
            portsDir = value;
        else if (name == "--port")
            port = std::atoi(value);
        else if (name == "--log")
            logFile = value;
        else if (name == "--latency-file")
            latencyFile = value;
        else if (name == "--seconds")
            seconds = std::atof(value);
        else if (name == "--trials")
            trialsText = value;
    }
    qv::bench::RigTrials trials;
    if (!qv::bench::parseTrials(trialsText, trials)) {
        std::fprintf(stderr, "qv_bench_logger: unknown trial in %s\n", trialsText.c_str());
        return 2;
    }
    if (portsDir.empty() || logFile.empty()) {
        std::fprintf(stderr, "usage: qv_bench_logger --ports-dir DIR --port N --log FILE "
                             "[--latency-file FILE] [--seconds S]\n");
        return 2;
    }

    QApplication app(argc, argv);
    if (::pipe(gSignalPipe) != 0)
        return 1;
    QSocketNotifier signalNotifier(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    std::FILE* latency = latencyFile.empty() ? nullptr : std::fopen(latencyFile.c_str(), "w");
    qv::bench::ProgramRig rig(portsDir, trials);
    rig.services.afterSetText = [&](int controlId, const std::string&) {
        // The count shows "0" when logging starts: that is no line.
        if (controlId == qv::ctl::kRecordCount && rig.log.recordCount() > 0 && latency != nullptr)
            std::fprintf(latency, "%lld\n", monotonicNanos());
    };
    // The next poll at once: one poll per record.
    rig.station.addReadingListener(
        [&](const qv::Reading&, std::time_t) { rig.controller.onTimer(qv::kPollTimer); });

    rig.log.setFileName(logFile);
    rig.log.setAppend(true);
    rig.controller.setPort(port);
    rig.controller.setInterval(1);
    rig.controller.start();
    rig.log.toggle();
    if (rig.channel.GetPortHandle() == qv::kInvalidHandle || !rig.log.logging()) {
        std::fprintf(stderr, "qv_bench_logger: port or log did not open\n");
        return 1;
    }
    // The first record answers the switch-on in start(), which sets no pollPending.
    rig.controller.onTimer(qv::kPollTimer);
    if (seconds > 0)
        QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();

    rig.log.closeOnExit();
    if (latency != nullptr)
        std::fclose(latency);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("{\"records\": %d, \"utime_s\": %.3f, \"stime_s\": %.3f, \"maxrss_kb\": %ld}\n",
                rig.log.recordCount(),
                static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6,
                static_cast<double>(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6,
                usage.ru_maxrss);
    return 0;
}
