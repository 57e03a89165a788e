// Cost of one log line: formatting alone, and the whole round of a logged Reading on a
// real file: writeRecord queues the line, the log's writer thread writes and syncs it
// (write + fdatasync) and posts its outcome, and the log counts it.

#include "acquisition/clock.h"
#include "acquisition/measurement_log.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

namespace {

using qv::test::FakeWindowServices;
using qv::test::TempFolder;

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
    TempFolder dir{"qv-bench-log"};
    FakeWindowServices window;
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
        log.writeRecord(true, h, 23.1f);
        // The writer thread's outcome, waited for as the event loop would.
        window.waitForPosted(1, std::chrono::minutes{1});
        window.takePosted();
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
