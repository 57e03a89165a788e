// Record-to-screen latency through the real path: a writer thread writes sensor records
// into a pseudo-terminal master; the program's channel (POSIX platform, reader thread)
// reads the slave through a private port folder and posts each byte; the Qt event loop
// hands the bytes to the Reading parser; the acquisition controller switches the lines
// off and sets the humidity text through the Qt window services. Measured: from right
// after the record's CR was written until right after the humidity text was set.
//
// Each record's body goes out first and its CR alone a moment later, as on a 9600-baud
// line where bytes come about a millisecond apart, so the figure is the CR's own path.
//
// --bare replaces the program by the least a reader can do: a thread blocked in poll() on
// the slave that takes the time when the CR has been read. Its figures are what the
// machine itself costs (pty, wake-up, scheduling), for telling the program's added
// latency from the neighbours' load. --trials: see trials_option.h.
//
// Usage: qv_bench_latency [--records N] [--pace-ms MS] [--warmup N] [--bare]
//                         [--trials none|no-text] [--dump FILE]
// Prints one JSON object on stdout. Run with QT_QPA_PLATFORM=offscreen.

#include "bench/program_rig.h"
#include "bench/pty_folder.h"
#include "bench/stats.h"
#include "bench/trials_option.h"

#include <QApplication>
#include <QMetaObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Options {
    int records = 1200;
    int warmup = 50;
    int paceMs = 5;
    bool bare = false;
    std::string trials = "none";
    std::string dump; // every record's latency, one per line, in µs
};

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--bare") {
            o.bare = true;
            continue;
        }
        if (i + 1 >= argc)
            break;
        const std::string value = argv[++i];
        if (name == "--records")
            o.records = std::atoi(value.c_str());
        else if (name == "--warmup")
            o.warmup = std::atoi(value.c_str());
        else if (name == "--pace-ms")
            o.paceMs = std::atoi(value.c_str());
        else if (name == "--trials")
            o.trials = value;
        else if (name == "--dump")
            o.dump = value;
    }
    return o;
}

// The bare reader: raw slave, poll, read, a time per CR, until `stop` is readable.
void bareReader(int slave, int stop, std::vector<SteadyClock::time_point>& crRead) {
    pollfd fds[2] = {{slave, POLLIN, 0}, {stop, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents != 0)
            return;
        char buffer[64];
        const ssize_t n = ::read(slave, buffer, sizeof buffer);
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\r')
                crRead.push_back(SteadyClock::now());
        }
    }
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const Options opt = parseOptions(argc, argv);
    const int total = opt.warmup + opt.records;

    QApplication app(argc, argv);
    qv::bench::PtyFolder folder;
    const int master = folder.addLivePort(1);
    if (master < 0) {
        std::fprintf(stderr, "qv_bench_latency: no pseudo-terminal\n");
        return 1;
    }

    qv::bench::RigTrials trials;
    if (!qv::bench::parseTrials(opt.trials, trials)) {
        std::fprintf(stderr, "qv_bench_latency: unknown trial in %s\n", opt.trials.c_str());
        return 2;
    }
    std::vector<SteadyClock::time_point> crWritten(static_cast<std::size_t>(total));
    std::vector<SteadyClock::time_point> textSet;
    textSet.reserve(static_cast<std::size_t>(total));
    std::unique_ptr<qv::bench::ProgramRig> rig;
    int bareSlave = -1;
    int bareStop[2] = {-1, -1};
    std::thread bare;
    if (opt.bare) {
        bareSlave = ::open((folder.path() / "com1").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios raw{};
        if (bareSlave < 0 || ::pipe(bareStop) != 0 || tcgetattr(bareSlave, &raw) != 0) {
            std::fprintf(stderr, "qv_bench_latency: cannot open the slave\n");
            return 1;
        }
        cfmakeraw(&raw);
        tcsetattr(bareSlave, TCSANOW, &raw);
        bare = std::thread(bareReader, bareSlave, bareStop[0], std::ref(textSet));
    } else {
        rig = std::make_unique<qv::bench::ProgramRig>(folder.path(), trials);
        rig->services.afterSetText = [&](int controlId, const std::string& text) {
            if (controlId == qv::ctl::kHumidity && !text.empty())
                textSet.push_back(SteadyClock::now());
        };
        rig->controller.setPort(1);
        rig->controller.setInterval(1);
        rig->controller.start();
        if (rig->channel.GetPortHandle() == qv::kInvalidHandle) {
            std::fprintf(stderr, "qv_bench_latency: COM1 did not open\n");
            return 1;
        }
    }

    std::atomic<bool> writerFailed{false};
    std::thread writer([&] {
        const auto pace = std::chrono::milliseconds{opt.paceMs};
        auto next = SteadyClock::now() + std::chrono::milliseconds{100};
        for (int i = 0; i < total; ++i) {
            char body[32];
            const int n = std::snprintf(body, sizeof body, "H%5.1f T%5.1f", (i % 1000) / 10.0,
                                        (i % 1600) / 10.0 - 40.0);
            std::this_thread::sleep_until(next);
            if (!writeAll(master, body, static_cast<std::size_t>(n))) {
                writerFailed = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds{1});
            if (!writeAll(master, "\r", 1)) {
                writerFailed = true;
                break;
            }
            crWritten[static_cast<std::size_t>(i)] = SteadyClock::now();
            next += pace;
        }
        // Give the last record time to arrive, then end the loop.
        std::this_thread::sleep_for(std::chrono::milliseconds{200});
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    writer.join();
    if (bare.joinable()) {
        [[maybe_unused]] ssize_t n = ::write(bareStop[1], "x", 1);
        bare.join();
        ::close(bareSlave);
    }
    rig.reset();

    if (writerFailed || textSet.size() != static_cast<std::size_t>(total)) {
        std::fprintf(stderr, "qv_bench_latency: %zu of %d records reached the screen\n",
                     textSet.size(), total);
        return 1;
    }
    std::vector<double> micros;
    for (int i = opt.warmup; i < total; ++i) {
        const auto d =
            textSet[static_cast<std::size_t>(i)] - crWritten[static_cast<std::size_t>(i)];
        micros.push_back(std::chrono::duration<double, std::micro>(d).count());
    }
    if (!opt.dump.empty()) {
        if (std::FILE* f = std::fopen(opt.dump.c_str(), "w")) {
            for (double v : micros)
                std::fprintf(f, "%.1f\n", v);
            std::fclose(f);
        }
    }
    double sum = 0.0;
    for (double v : micros)
        sum += v;
    std::printf("{\"bare\": %s, \"trials\": \"%s\", \"records\": %zu, \"pace_ms\": %d, "
                "\"median_us\": %.1f, \"p90_us\": %.1f, "
                "\"p99_us\": %.1f, \"max_us\": %.1f, \"mean_us\": %.1f}\n",
                opt.bare ? "true" : "false", opt.trials.c_str(), micros.size(), opt.paceMs,
                qv::bench::percentile(micros, 50), qv::bench::percentile(micros, 90),
                qv::bench::percentile(micros, 99), qv::bench::percentile(micros, 100),
                sum / static_cast<double>(micros.size()));
    return 0;
}
