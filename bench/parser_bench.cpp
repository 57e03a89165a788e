// Throughput of the Reading parser over a realistic stream: good records, line noise
// and broken records (sensor_stream.h). Bytes per second is the figure of merit.

#include "acquisition/reading_parser.h"
#include "bench/sensor_stream.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kRecords = 20'000;

const qv::bench::SensorStream& mixedStream() {
    static const auto stream = qv::bench::makeSensorStream(kRecords);
    return stream;
}

const qv::bench::SensorStream& cleanStream() {
    static const auto stream = qv::bench::makeSensorStream(kRecords, {0.0, 0.0});
    return stream;
}

// The sink stands in for the acquisition controller: it looks at what a Reading
// carries, so that nothing of the record can be optimised away.
struct CountingSink {
    std::size_t records = 0;
    float sum = 0.0f;
    void operator()(const qv::Reading& r) {
        ++records;
        sum += r.humidity + r.temperature + static_cast<float>(r.humidityText.size());
    }
};

// `chunk` bytes per feed() call; the program calls it with one byte per message.
void feedStream(benchmark::State& state, const qv::bench::SensorStream& stream, std::size_t chunk) {
    qv::ReadingParser parser;
    CountingSink counts;
    parser.setSink([&counts](const qv::Reading& r) { counts(r); });
    const std::uint8_t* data = stream.bytes.data();
    const std::size_t size = stream.bytes.size();
    for (auto _ : state) {
        for (std::size_t at = 0; at < size; at += chunk)
            parser.feed(data + at, std::min(chunk, size - at));
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(counts.sum);
    const auto passes = static_cast<std::size_t>(state.iterations());
    if (counts.records != passes * stream.goodRecords) {
        state.SkipWithError(("parser completed " + std::to_string(counts.records) +
                             " records, expected " + std::to_string(passes * stream.goodRecords))
                                .c_str());
        return;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(passes * size));
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(counts.records), benchmark::Counter::kIsRate);
    state.counters["stream_bytes"] = static_cast<double>(size);
}

void BM_ParserMixedWholeBuffer(benchmark::State& state) {
    feedStream(state, mixedStream(), 1 << 30);
}
void BM_ParserMixedByteByByte(benchmark::State& state) {
    feedStream(state, mixedStream(), 1);
}
void BM_ParserCleanWholeBuffer(benchmark::State& state) {
    feedStream(state, cleanStream(), 1 << 30);
}
void BM_ParserCleanByteByByte(benchmark::State& state) {
    feedStream(state, cleanStream(), 1);
}

BENCHMARK(BM_ParserMixedWholeBuffer);
BENCHMARK(BM_ParserMixedByteByByte);
BENCHMARK(BM_ParserCleanWholeBuffer);
BENCHMARK(BM_ParserCleanByteByByte);

} // namespace

BENCHMARK_MAIN();
