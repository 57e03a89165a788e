// Long runs through the real channel: the simulator on a pseudo-terminal at a 10 ms
// period with junk between records, read by CSerialComm on the POSIX platform and parsed
// and shown by the program's station; and many open/close cycles that must leave no descriptor,
// thread or memory behind. No Qt, so the thread sanitizer runs it too.
//
// QV_SOAK_SECONDS sets the length of the record soak (default QV_SOAK_DEFAULT_SECONDS).

#include "acquisition/reading_parser.h"
#include "acquisition/station.h"
#include "serial/serial_comm.h"
#include "serial/serial_platform_posix.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/files.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr auto kSimPeriod = 10ms;

int soakSeconds() {
    if (const char* text = std::getenv("QV_SOAK_SECONDS")) {
        const int seconds = std::atoi(text);
        if (seconds > 0)
            return seconds;
    }
    return QV_SOAK_DEFAULT_SECONDS;
}

using test::readLines;
using test::TempFolder;

// The simulator as a child process with a private HOME; output goes to files in it.
std::vector<std::string> simulatorCommand(std::vector<std::string> args) {
    args.insert(args.begin(), QV_SENSOR_SIM_PATH);
    return args;
}
std::vector<std::pair<std::string, std::string>> privateHome(const fs::path& home) {
    return {{"HOME", home.string()}, {"XDG_CONFIG_HOME", (home / "xdg").string()}};
}

// Each Reading as "%.1f\t%.1f", as the simulator's records log has it.
std::string pairText(const Reading& r) {
    char line[32];
    std::snprintf(line, sizeof line, "%.1f\t%.1f", static_cast<double>(r.humidity),
                  static_cast<double>(r.temperature));
    return line;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::atol(line.c_str() + 6);
    return -1;
}

// The simulator's closing summary ("sent 6000 records, junk 1190 times, ..."), if any.
std::string summaryOf(const fs::path& out) {
    std::string summary;
    for (const std::string& line : readLines(out))
        if (line.find(": sent ") != std::string::npos)
            summary = line.substr(line.find(": sent ") + 2);
    return summary;
}

Status openAsTheProgramDoes(CSerialComm& channel) {
    return channel.Open(1, 9600, 0, 0, 8);
}

// Every good record the simulator reports as sent arrives once, in order, through the
// reader thread, the posted messages and the parser, with junk in between.
TEST(ChannelSoak, EveryGoodRecordArrivesOnceInOrder) {
    const int seconds = soakSeconds();
    const int count = seconds * static_cast<int>(1s / kSimPeriod);
    TempFolder home{"qv-soak"};
    const fs::path ports = home.path() / "ports";
    const fs::path recordsLog = home.path() / "records.log";
    test::ChildProcess sim(
        simulatorCommand({"--ports-dir", ports.string(), "--port", "1", "--period-ms",
                          std::to_string(kSimPeriod.count()), "--noise", "0.2", "--seed", "5300",
                          "--count", std::to_string(count), "--records-log", recordsLog.string()}),
        privateHome(home.path()), home.path() / "sim");
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(test::waitUntil([&] { return fs::is_symlink(fs::symlink_status(ports / "com1")); },
                                5s, test::sleepBriefly));

    // The program's station on COM1; no poll timer fires, the simulator keeps its own time.
    PosixSerialPlatform platform(ports, {});
    test::FakeWindowServices services;
    test::FixedClock clock;
    ReadingParser parser;
    Station station(platform, services, clock, parser);
    services.target = &station;
    std::vector<std::string> lines;
    station.addReadingListener(
        [&](const Reading& r, std::time_t) { lines.push_back(pairText(r)); });
    station.start();
    ASSERT_NE(station.channel().GetPortHandle(), kInvalidHandle) << services.boxes.at(0).detail;

    const auto bound = SteadyClock::now() + 3 * seconds * 1s + 20s;
    long rssWarm = -1; // once a tenth has passed: buffers and queues have grown to size
    while (static_cast<int>(lines.size()) < count && SteadyClock::now() < bound) {
        services.waitForPosted(1, 50ms);
        services.pump();
        // The double records every text set; the window only shows the last.
        services.textLog.clear();
        if (rssWarm < 0 && static_cast<int>(lines.size()) >= count / 10)
            rssWarm = residentKiB();
    }
    const long rssEnd = residentKiB();
    station.close();
    EXPECT_EQ(sim.waitForExit(10s), 0);

    const std::vector<std::string> sent = readLines(recordsLog);
    EXPECT_EQ(static_cast<int>(sent.size()), count) << "records the simulator sent";
    ASSERT_EQ(lines.size(), sent.size()) << "records parsed vs sent";
    for (std::size_t i = 0; i < sent.size(); ++i)
        ASSERT_EQ(lines[i], sent[i]) << "record " << i;
    std::printf("[ soak ] %d s at %lld ms: %zu records sent, %zu parsed in order; simulator: %s; "
                "RSS %ld -> %ld KiB\n",
                seconds, static_cast<long long>(kSimPeriod.count()), sent.size(), lines.size(),
                summaryOf(home.path() / "sim.out").c_str(), rssWarm, rssEnd);
#if !QV_SANITIZED
    EXPECT_LT(rssEnd - rssWarm, 1024) << "KiB grown after the first tenth";
#endif
}

// What the process holds, from /proc.
std::size_t entriesOf(const char* folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder))
        ++n;
    return n;
}

// The threads of this process between cycles. A reader thread just joined may still be
// listed for a moment while the kernel finishes its exit, so the count is read once it
// is down to the test's own thread, or after a second (a sanitizer keeps threads too).
std::size_t threadsBetweenCycles() {
    test::waitUntil([] { return entriesOf("/proc/self/task") == 1; }, std::chrono::seconds{1},
                    test::sleepBriefly);
    return entriesOf("/proc/self/task");
}

using Pty = test::PseudoTerminal;

// Open/Close cycles with traffic on the line: each one starts and joins a reader thread
// and opens and closes the device and the stop signal. None of it may stay behind.
TEST(ChannelCycles, ThousandOpenCloseCyclesLeaveNoDescriptorThreadOrMemoryBehind) {
    TempFolder home{"qv-soak"};
    const fs::path ports = home.path() / "ports";
    fs::create_directories(ports);
    Pty pty(/*nonBlocking=*/true);
    ASSERT_FALSE(pty.slave().empty());
    fs::create_symlink(pty.slave(), ports / "com1");

    // Each cycle also makes and removes the port's lock file.
    PosixSerialPlatform platform(ports, home.path());
    test::FakeWindowServices services;
    CSerialComm channel(platform);
    channel.SetOwner(&services, WM_SERIAL_BYTE);
    auto cycle = [&] {
        if (openAsTheProgramDoes(channel) != 0)
            return false;
        // A record on its way while the channel closes.
        [[maybe_unused]] const auto n = ::write(pty.master(), "H 45.3 T 23.1\r", 14);
        channel.Close();
        services.takePosted();
        char drain[256];
        while (::read(pty.master(), drain, sizeof drain) > 0) {
        }
        return true;
    };

    // Warm-up: the allocator's and the thread library's caches settle first.
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(cycle()) << "warm-up cycle " << i;
    const std::size_t fdsBefore = entriesOf("/proc/self/fd");
    const std::size_t threadsBefore = threadsBetweenCycles();
    const long rssBefore = residentKiB();

    constexpr int kCycles = 1000;
    for (int i = 0; i < kCycles; ++i)
        ASSERT_TRUE(cycle()) << "cycle " << i;

    EXPECT_EQ(entriesOf("/proc/self/fd"), fdsBefore);
    EXPECT_EQ(threadsBetweenCycles(), threadsBefore);
    const long rssAfter = residentKiB();
    std::printf(
        "[ cycles ] %d open/close cycles: %zu descriptors, %zu threads, RSS %ld -> %ld KiB\n",
        kCycles, fdsBefore, threadsBefore, rssBefore, rssAfter);
#if QV_SANITIZED
    // The sanitizers keep freed memory in quarantine and shadow, so RSS says nothing.
#else
    // A reader's stack, a read buffer or a descriptor table kept per cycle would pass this
    // bound many times over; allocator noise stays far below it.
    EXPECT_LT(rssAfter - rssBefore, 512) << "KiB grown over " << kCycles << " cycles";
#endif
}

} // namespace
} // namespace qv
