// One press of Setup: 256 probes through the POSIX platform and the list step, with a
// port folder of 256 entries, some linked to live pseudo-terminals and the rest
// dangling; the channel itself holds COM1, as it does while the program runs.

#include "bench/pty_folder.h"
#include "serial/port_list.h"
#include "serial/serial_comm.h"
#include "serial/serial_platform.h"
#include "tests/support/fake_window_services.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every `stride`-th port (COM1 first) is live; the others dangle. stride 0: none live.
struct SetupScene {
    qv::bench::PtyFolder folder;
    qv::test::FakeWindowServices window; // nothing is posted: no port sends
    std::unique_ptr<qv::SerialPlatform> platform;
    std::unique_ptr<qv::CSerialComm> channel;
    int live = 0;

    explicit SetupScene(int stride) {
        for (int port = 1; port <= qv::kPortCount; ++port) {
            if (stride > 0 && (port - 1) % stride == 0 && folder.addLivePort(port) >= 0)
                ++live;
            else
                folder.addDanglingPort(port);
        }
        platform = qv::makePlatformSerial(folder.path());
        channel = std::make_unique<qv::CSerialComm>(*platform);
        channel->SetOwner(&window, qv::WM_SERIAL_BYTE);
    }
    ~SetupScene() { channel->Close(); }
};

void BM_ProbeAll256(benchmark::State& state) {
    SetupScene scene(static_cast<int>(state.range(0)));
    if (scene.live > 0 && scene.channel->Open(1, 9600, 0, 0, 8) != 0) {
        state.SkipWithError("COM1 did not open");
        return;
    }
    std::array<qv::ProbeResult, qv::kPortCount> results{};
    for (auto _ : state) {
        scene.channel->ProbeAll(results.data(), qv::kPortCount);
        benchmark::DoNotOptimize(results);
    }
    int free = 0;
    for (auto r : results)
        free += r == qv::kProbeFree;
    state.counters["live_ptys"] = scene.live;
    state.counters["free"] = free;
}

void BM_SetupListStep(benchmark::State& state) {
    SetupScene scene(static_cast<int>(state.range(0)));
    if (scene.live > 0 && scene.channel->Open(1, 9600, 0, 0, 8) != 0) {
        state.SkipWithError("COM1 did not open");
        return;
    }
    std::vector<std::string> names;
    std::string selected;
    for (auto _ : state) {
        selected.clear();
        qv::buildPortList(*scene.channel, 1, names, selected);
        benchmark::DoNotOptimize(names.data());
    }
    if (scene.live > 0 && (selected != "COM1" || static_cast<int>(names.size()) != scene.live)) {
        state.SkipWithError("the list does not hold the live ports and the own port");
        return;
    }
    state.counters["live_ptys"] = scene.live;
    state.counters["listed"] = static_cast<double>(names.size());
}

// Stride 8: 32 live, 224 dangling, the case the figure is reported for; 1: all live;
// 0: all dangling.
BENCHMARK(BM_ProbeAll256)->Arg(8)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SetupListStep)->Arg(8)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
