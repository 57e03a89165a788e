// The trend view's figures: log lines read per second from a warm file, one 7-day chart
// of 1-second readings (604,800 points) decimated and drawn at 800 px through a painter
// that draws nothing, and the reading history's append and memory.
//
// With QV_BENCH_YEAR_LOG naming a long log (qv_bench_make_log), also: its index made by
// one thread and by one per core, and, from that index, the chart of all of it and of one
// hour in the middle with every reading (the hour's lines read from the file).

#include "acquisition/measurement_log.h"
#include "trend/chart_renderer.h"
#include "trend/log_indexer.h"
#include "trend/log_reader.h"
#include "trend/log_view.h"
#include "trend/reading_history.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace {

using namespace qv::trend;

constexpr std::size_t kLogLines = 2'000'000;
constexpr std::int64_t kStart = 1'700'000'000;
constexpr float kPlotWidth = 800.0f;

float humidityAt(std::int64_t i) {
    return 45.0f + 10.0f * static_cast<float>(std::sin(static_cast<double>(i) * 1e-4));
}

// A log of kLogLines 1-second lines, written once for the whole run and removed at exit.
class LogFixture {
public:
    LogFixture() {
        path_ = std::filesystem::temp_directory_path() /
                ("qv-trend-bench-" + std::to_string(std::random_device{}()) + ".log");
        std::ofstream out(path_, std::ios::binary);
        std::string text;
        for (std::size_t i = 0; i < kLogLines; ++i)
            text += qv::MeasurementLog::formatLine(kStart + static_cast<std::int64_t>(i),
                                                   humidityAt(static_cast<std::int64_t>(i)), 21.5f);
        out << text;
    }
    ~LogFixture() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void BM_LogReaderWarmFile(benchmark::State& state) {
    static const LogFixture log;
    std::size_t lines = 0;
    benchmark::DoNotOptimize(readLogFile(log.path()).readings.size()); // warms the page cache
    for (auto _ : state) {
        const LogReadResult result = readLogFile(log.path());
        if (result.readings.size() != kLogLines) {
            state.SkipWithError("the log reader lost lines");
            return;
        }
        lines += result.readings.size() + result.skippedLines;
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}

// Measures text as a fixed-width font would and draws nothing.
struct NullPainter final : Painter {
    std::size_t points = 0;
    float textWidth(std::string_view text) const override {
        return 7.0f * static_cast<float>(text.size());
    }
    float lineHeight() const override { return 14.0f; }
    void setPen(Colour, float) override {}
    void drawLine(PointF, PointF) override {}
    void drawPolyline(const PointF*, std::size_t count) override { points += count; }
    void drawRect(const RectF&) override {}
    void fillRect(const RectF&, Colour) override {}
    void drawText(const RectF&, TextAlign, std::string_view) override {}
};

// One chart: the window's readings decimated to 800 columns, ticks placed, all drawn.
void BM_ChartSevenDaysAt800px(benchmark::State& state) {
    ReadingHistory history;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(history.capacity()); ++i)
        history.append({kStart + i, humidityAt(i), 21.5f});
    ChartModel model;
    model.setSpan(Span::SevenDays);
    model.setPollInterval(std::chrono::seconds{1});
    NullPainter painter;
    ChartFrame frame;
    // An outer rectangle whose plot is 800 px wide.
    const RectF probe = plotArea({0, 0, 1000, 300}, painter, true);
    const RectF outer{0, 0, kPlotWidth + (1000 - probe.width), 300};
    for (auto _ : state) {
        drawChart(painter, model, history.readings(), Quantity::Humidity, outer, true, ChartStyle{},
                  frame);
        benchmark::DoNotOptimize(painter.points);
    }
    state.counters["readings"] = static_cast<double>(frame.line.stats.count);
    state.counters["plot_px"] = frame.plot.width;
    state.counters["points_drawn"] = static_cast<double>(frame.line.points.size());
}

// Resident memory of this process, in bytes; 0 where /proc is not there.
double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    double size = 0, resident = 0;
    statm >> size >> resident;
    return resident * 4096.0;
}

// Append into a full history: the steady state (every append drops the oldest).
void BM_HistoryAppendFull(benchmark::State& state) {
    ReadingHistory history;
    std::int64_t i = 0;
    for (; i < static_cast<std::int64_t>(history.capacity()); ++i)
        history.append({kStart + i, humidityAt(i), 21.5f});
    for (auto _ : state) {
        history.append({kStart + i, 45.0f, 21.5f});
        ++i;
    }
    benchmark::DoNotOptimize(history.readings().back());
    state.SetItemsProcessed(state.iterations());
}

// What a full history costs: its buffer, and how much the process grew filling it. Runs
// first, once, so that the buffer comes fresh from the system and not from memory freed
// by another benchmark.
void BM_HistoryMemory(benchmark::State& state) {
    for (auto _ : state) {
        const double before = residentBytes();
        ReadingHistory history;
        const double empty = residentBytes();
        for (std::int64_t i = 0; i < static_cast<std::int64_t>(history.capacity()); ++i)
            history.append({kStart + i, humidityAt(i), 21.5f});
        const double full = residentBytes();
        state.counters["capacity"] = static_cast<double>(history.capacity());
        state.counters["buffer_MB"] = static_cast<double>(history.bytes()) / 1e6;
        state.counters["rss_empty_MB"] = (empty - before) / 1e6;
        state.counters["rss_full_MB"] = (full - before) / 1e6;
    }
}

const char* yearLog() {
    return std::getenv("QV_BENCH_YEAR_LOG");
}

// The whole first pass of the index, as the trend window waits for it.
std::optional<LogSummary> indexOf(const char* path, unsigned threads) {
    LogIndexer indexer([] {}, threads);
    indexer.start(path, false);
    std::optional<LogSummary> summary;
    for (;;) {
        if (auto update = indexer.take()) {
            if (update->summary)
                summary = std::move(update->summary);
            if (update->complete)
                return update->status == LogReadStatus::Ok ? summary : std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{1});
    }
}

void BM_IndexYear(benchmark::State& state) {
    const auto threads = static_cast<unsigned>(state.range(0));
    std::uint64_t lines = 0;
    for (auto _ : state) {
        const std::optional<LogSummary> summary = indexOf(yearLog(), threads);
        if (!summary) {
            state.SkipWithError("the log could not be indexed");
            return;
        }
        lines += summary->count() + summary->skippedLines;
    }
    state.counters["threads"] = threads;
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
    state.counters["lines/s/thread"] =
        benchmark::Counter(static_cast<double>(lines) / threads, benchmark::Counter::kIsRate);
}

const LogSummary& yearSummary() {
    static const LogSummary summary = indexOf(yearLog(), 0).value_or(LogSummary());
    return summary;
}

// The plot of one chart 800 px wide, as in BM_ChartSevenDaysAt800px.
RectF outerFor800px(const TextMetrics& metrics) {
    const RectF probe = plotArea({0, 0, 1000, 300}, metrics, true);
    return {0, 0, kPlotWidth + (1000 - probe.width), 300};
}

void BM_YearChartAllAt800px(benchmark::State& state) {
    const LogSummary& summary = yearSummary();
    LogView view;
    view.setSummary(&summary);
    ChartModel model;
    model.setSpan(Span::All);
    model.setPollInterval(std::chrono::seconds{1});
    NullPainter painter;
    ChartFrame frame;
    for (auto _ : state) {
        const TimeWindow window = model.window(view.extent());
        drawChart(painter, model, view.data(window, static_cast<int>(kPlotWidth)),
                  Quantity::Humidity, outerFor800px(painter), true, ChartStyle{}, frame);
        benchmark::DoNotOptimize(painter.points);
    }
    state.counters["readings"] = static_cast<double>(frame.line.stats.count);
    state.counters["points_drawn"] = static_cast<double>(frame.line.points.size());
}

// One hour in the middle of the year with every reading: its lines found through the
// index, read from the (warm) file, sorted, decimated and drawn, as the trend window does
// when the span "1 h" is chosen there.
void BM_YearOneHourAt800px(benchmark::State& state) {
    const LogSummary& summary = yearSummary();
    ChartModel model;
    model.setSpan(Span::OneHour);
    model.setPollInterval(std::chrono::seconds{1});
    const std::int64_t middle = summary.first() + (summary.last() - summary.first()) / 2;
    model.panBy(static_cast<double>(middle - summary.last()) / 3600.0, LogView().extent());
    NullPainter painter;
    ChartFrame frame;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        LogView view;
        view.setSummary(&summary);
        ChartData extent = view.extent();
        model.goLive();
        model.panBy(static_cast<double>(middle - summary.last()) / 3600.0, extent);
        const TimeWindow window = model.window(extent);
        const auto wanted = view.wanted(window, static_cast<int>(kPlotWidth));
        if (!wanted) {
            state.SkipWithError("the hour was not asked for");
            return;
        }
        LogReadResult read = readLogRange(yearLog(), *wanted);
        bytes += wanted->end - wanted->begin;
        view.setDetail(std::move(read.readings), *wanted);
        drawChart(painter, model, view.data(window, static_cast<int>(kPlotWidth)),
                  Quantity::Humidity, outerFor800px(painter), true, ChartStyle{}, frame);
        if (frame.line.stats.count != 3601) {
            state.SkipWithError("the hour did not show every reading");
            return;
        }
    }
    state.counters["readings"] = static_cast<double>(frame.line.stats.count);
    state.counters["bytes_read"] = static_cast<double>(bytes) / state.iterations();
}

BENCHMARK(BM_HistoryMemory)->Iterations(1);
BENCHMARK(BM_LogReaderWarmFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChartSevenDaysAt800px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryAppendFull);

} // namespace

int main(int argc, char** argv) {
    if (yearLog()) {
        const auto cores = static_cast<long>(
            std::clamp(std::thread::hardware_concurrency(), 1u, LogIndexer::kMaxThreads));
        benchmark::RegisterBenchmark("BM_IndexYear", BM_IndexYear)
            ->Arg(1)
            ->Arg(cores)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
        benchmark::RegisterBenchmark("BM_YearChartAllAt800px", BM_YearChartAllAt800px)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_YearOneHourAt800px", BM_YearOneHourAt800px)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
