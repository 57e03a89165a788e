// Cost of one log line: formatting alone, and the whole writeRecord with its per-line
// hand-over to the operating system (write + fdatasync), on a real file.

#include "acquisition/clock.h"
#include "acquisition/measurement_log.h"
#include "bench/null_window_services.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
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

// The program's path for a logged Reading: test the flags, format, write, hand to the
// OS, count, show the count.
void BM_LogWriteRecord(benchmark::State& state) {
    TempDir dir;
    qv::bench::NullWindowServices window;
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
    for (auto _ : state) {
        bool pollPending = true;
        log.writeRecord(pollPending, h, 23.1f);
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
