// The trend view's figures: log lines read per second from a warm file, one 7-day chart
// of 1-second readings (604,800 points) decimated and drawn at 800 px through a painter
// that draws nothing, and the reading history's append and memory.

#include "acquisition/measurement_log.h"
#include "trend/chart_renderer.h"
#include "trend/log_reader.h"
#include "trend/reading_history.h"

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

BENCHMARK(BM_HistoryMemory)->Iterations(1);
BENCHMARK(BM_LogReaderWarmFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChartSevenDaysAt800px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryAppendFull);

} // namespace

BENCHMARK_MAIN();
