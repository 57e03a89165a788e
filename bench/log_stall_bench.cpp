// The longest user-interface stall per logged line when the disk takes 50 ms to sync:
// the time spent in the log's user-interface-thread calls for one line (writeRecord,
// and the handling of the writer's WM_LOG_LINE_DONE), on a real file whose sync is made
// slow through the log file seam. Prints one JSON object.
//
// Usage: qv_bench_log_stall [--lines N]

#include "acquisition/clock.h"
#include "acquisition/log_file.h"
#include "acquisition/measurement_log.h"
#include "bench/stats.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

constexpr auto kSlowSync = std::chrono::milliseconds{50};

// The platform's file with a sync that takes kSlowSync longer, as a slow stick does.
class SlowSyncFile final : public qv::LogFile {
public:
    bool open(const std::string& path, bool truncate) override {
        return file_->open(path, truncate);
    }
    bool seekToEnd() override { return file_->seekToEnd(); }
    bool write(std::string_view line) override { return file_->write(line); }
    bool sync() override {
        std::this_thread::sleep_for(kSlowSync);
        return file_->sync();
    }
    void cutBackLastWrite() override { file_->cutBackLastWrite(); }
    bool close() override { return file_->close(); }
    bool isOpen() const override { return file_->isOpen(); }
    std::string fullPath() const override { return file_->fullPath(); }
    std::string lastErrorText() const override { return file_->lastErrorText(); }

private:
    std::unique_ptr<qv::LogFile> file_ = qv::makePlatformLogFile();
};

// The next posted message; 0 when none comes within a second past the slow sync.
std::uint32_t nextPosted(qv::test::FakeWindowServices& window) {
    if (!window.waitForPosted(1, kSlowSync + std::chrono::seconds{1}))
        return 0;
    return window.takePosted().front().message;
}

double msSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    int lines = 40;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--lines") == 0)
            lines = std::atoi(argv[i + 1]);

    const qv::test::TempFolder dir{"qv-bench-stall"};
    if (dir.path().empty())
        return 1;
    std::vector<double> stalls;
    {
        qv::test::FakeWindowServices window;
        qv::SystemClock clock;
        qv::MeasurementLog log(window, clock, std::make_unique<SlowSyncFile>());
        log.setFileName((dir / "stall.log").string());
        log.toggle();
        if (!log.fileOpen())
            return 1;
        for (int i = 0; i < lines; ++i) {
            auto start = Steady::now();
            log.writeRecord(true, 45.3f, 23.1f);
            double stall = msSince(start);
            // Waiting for the message is the event loop's idle time, not a stall.
            if (nextPosted(window) != qv::WM_LOG_LINE_DONE)
                return 1;
            start = Steady::now();
            log.lineDone();
            stall += msSince(start);
            stalls.push_back(stall);
        }
        for (const auto& box : window.boxes)
            std::fprintf(stderr, "qv_bench_log_stall: %s %s\n", box.text.c_str(),
                         box.detail.c_str());
        if (log.recordCount() != lines || !window.boxes.empty())
            return 1;
        log.toggle();
    }
    std::printf("{\"lines\": %d, \"sync_ms\": %lld, \"median_ms\": %.4f, \"max_ms\": %.4f}\n",
                lines, static_cast<long long>(kSlowSync.count()), qv::bench::percentile(stalls, 50),
                qv::bench::percentile(stalls, 100));
    return 0;
}
