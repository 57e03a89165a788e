// Cost of one log line: formatting alone, and the whole round of a logged Reading on a
// real file: writeRecord queues the line, the log's writer thread writes and syncs it
// (write + fdatasync) and posts its outcome, and the log counts it.

#include "acquisition/clock.h"
#include "acquisition/measurement_log.h"
#include "bench/null_window_services.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A private folder for the log, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "qv-bench-log-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Drops everything but counts the messages posted from any thread, so that the bench
// can wait for the writer thread's outcome of each line.
class PostCounter final : public qv::bench::NullWindowServices {
public:
    void postMessage(std::uint32_t, std::intptr_t, std::intptr_t) override {
        {
            std::lock_guard lock(mutex_);
            ++posted_;
        }
        changed_.notify_all();
    }
    void waitFor(long count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return posted_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    long posted_ = 0;
};

void BM_LogFormatLine(benchmark::State& state) {
    const std::time_t now = std::time(nullptr);
    float h = 45.3f;
    for (auto _ : state) {
        auto line = qv::MeasurementLog::formatLine(now, h, -12.5f);
        benchmark::DoNotOptimize(line);
        h += 0.1f;
    }
    state.SetItemsProcessed(state.iterations());
}

// The program's path for a logged Reading: test the flags, format, queue; the writer
// thread writes and hands the line to the disk; the outcome counted and shown.
void BM_LogWriteRecord(benchmark::State& state) {
    TempDir dir;
    PostCounter window;
    qv::SystemClock clock;
    qv::MeasurementLog log(window, clock);
    log.setFileName((dir.path() / "bench.log").string());
    log.setAppend(false);
    log.toggle();
    if (!log.fileOpen()) {
        state.SkipWithError("log file did not open");
        return;
    }
    float h = 45.3f;
    long lines = 0;
    for (auto _ : state) {
        log.writeRecord(true, h, 23.1f);
        window.waitFor(++lines);
        log.lineDone();
        h += 0.1f;
        if (h > 99.0f)
            h = 0.0f;
    }
    if (log.recordCount() != state.iterations())
        state.SkipWithError("not every line was counted");
    state.SetItemsProcessed(state.iterations());
    log.toggle();
}

BENCHMARK(BM_LogFormatLine);
BENCHMARK(BM_LogWriteRecord)->MinTime(2.0)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
