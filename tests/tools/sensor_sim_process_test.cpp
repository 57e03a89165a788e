// Runs the built qv-sensor-sim against private port folders and talks to it over the
// pseudo-terminal the way the logger does: through the comN link, in raw mode.

#include "acquisition/reading_parser.h"

#include "tests/support/child_process.h"
#include "tests/support/named_row.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kWait = 5s; // bound of every wait; the simulator runs at 20 ms periods

// Waits at most kWait; `pump` lets the time pass (a sleep, or a read of the line).
bool waitUntil(const std::function<bool()>& condition,
               const std::function<void()>& pump = test::sleepBriefly) {
    return test::waitUntil(condition, kWait, pump);
}

using test::TempFolder;

using test::ChildProcess;
using test::readFile;

// The simulator as a child process, with HOME and XDG_CONFIG_HOME inside `home`; its
// output goes to sim.out and sim.err there.
ChildProcess startSim(const fs::path& home, std::vector<std::string> args) {
    args.insert(args.begin(), QV_SENSOR_SIM_PATH);
    return ChildProcess(std::move(args),
                        {{"HOME", home.string()}, {"XDG_CONFIG_HOME", (home / "xdg").string()}},
                        home / "sim");
}

bool linkExists(const fs::path& link) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(link, ec));
}

// The logger's side of the line: opens the port through its link in raw mode and feeds
// what arrives to a Reading parser.
class PortReader {
public:
    explicit PortReader(const fs::path& link) {
        fd_ = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios tio{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
        parser_.setSink([this](const Reading& r) { readings.push_back(r); });
    }
    ~PortReader() { close(); }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    bool isOpen() const { return fd_ >= 0; }

    // Reads what is there, waiting up to 10 ms; false once the line hung up.
    bool pump() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            return true;
        std::uint8_t buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            return n < 0 && errno == EAGAIN;
        bytes.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
        parser_.feed(buffer, static_cast<std::size_t>(n));
        return true;
    }
    bool readUntil(const std::function<bool()>& condition) {
        bool hungUp = false;
        waitUntil([&] { return hungUp || condition(); }, [&] { hungUp = !pump(); });
        return condition();
    }
    // Reads until the line hangs up (the simulator unplugged).
    bool readUntilHangUp() {
        bool hungUp = false;
        return waitUntil([&] { return hungUp; }, [&] { hungUp = !pump(); });
    }

    std::vector<Reading> readings;
    std::string bytes;

private:
    int fd_ = -1;
    ReadingParser parser_;
};

std::string logLine(const Reading& r) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f\t%.1f\n", r.humidity, r.temperature);
    return text;
}

class SimulatorRun : public testing::Test {
protected:
    TempFolder home{"qv-sim-test"};
    fs::path portsDir = home.path() / "ports";
    fs::path com2 = portsDir / "com2";
};

// With and without junk between them, exactly the records the simulator reports as sent
// arrive, and the logger's parser accepts every one.
class RecordsOnTheLine : public SimulatorRun, public testing::WithParamInterface<const char*> {};

TEST_P(RecordsOnTheLine, ArriveIntactAndMatchTheRecordsLog) {
    constexpr std::size_t kCount = 12;
    const fs::path recordsLog = home.path() / "records.log";
    ChildProcess sim =
        startSim(home.path(), {"--ports-dir", portsDir.string(), "--port", "2", "--period-ms", "20",
                               "--noise", GetParam(), "--count", std::to_string(kCount),
                               "--records-log", recordsLog.string(), "--seed", "11"});
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(waitUntil([&] { return linkExists(com2); })) << sim.err();
    PortReader reader(com2);
    ASSERT_TRUE(reader.isOpen());
    ASSERT_TRUE(reader.readUntil([&] { return reader.readings.size() >= kCount; }))
        << reader.readings.size() << " readings from: " << reader.bytes;
    reader.close();
    ASSERT_EQ(sim.waitForExit(), 0) << sim.err();

    std::string received;
    for (const Reading& r : reader.readings) {
        EXPECT_EQ(r.humidityText.size(), 5u);
        EXPECT_EQ(r.temperatureText.size(), 5u);
        EXPECT_TRUE(r.humidity >= 0.0f && r.humidity <= 100.0f) << r.humidityText;
        EXPECT_TRUE(r.temperature >= -40.0f && r.temperature <= 125.0f) << r.temperatureText;
        received += logLine(r);
    }
    EXPECT_EQ(received, readFile(recordsLog));
    EXPECT_NE(sim.out().find("sent " + std::to_string(kCount) + " records"), std::string::npos)
        << sim.out();
    EXPECT_FALSE(fs::exists(portsDir)) << "the port folder it created is removed again";
}

INSTANTIATE_TEST_SUITE_P(Noise, RecordsOnTheLine, testing::Values("0", "1"), [](const auto& info) {
    return std::string(info.param) == "0" ? "Clean" : "JunkBeforeEach";
});

TEST_F(SimulatorRun, UnplugHangsUpAndRemovesTheLinkReplugBringsItBack) {
    ChildProcess sim =
        startSim(home.path(), {"--ports-dir", portsDir.string(), "--port", "2", "--period-ms", "20",
                               "--unplug-after", "0.3", "--replug-after", "0.3"});
    ASSERT_TRUE(waitUntil([&] { return linkExists(com2); })) << sim.err();
    PortReader before(com2);
    ASSERT_TRUE(before.readUntilHangUp()) << "the open port hangs up on unplug";
    ASSERT_TRUE(waitUntil([&] { return !linkExists(com2); }));
    ASSERT_TRUE(waitUntil([&] { return linkExists(com2); })) << "back under the same link";
    PortReader after(com2);
    ASSERT_TRUE(after.isOpen());
    EXPECT_TRUE(after.readUntil([&] { return !after.readings.empty(); }));

    sim.signal(SIGTERM);
    ASSERT_EQ(sim.waitForExit(), 0);
    EXPECT_FALSE(linkExists(com2));
}

TEST_F(SimulatorRun, SilentSendsNothingUntilUnplugged) {
    ChildProcess sim =
        startSim(home.path(), {"--ports-dir", portsDir.string(), "--port", "2", "--period-ms", "20",
                               "--silent", "--unplug-after", "0.3"});
    ASSERT_TRUE(waitUntil([&] { return linkExists(com2); })) << sim.err();
    PortReader reader(com2);
    ASSERT_TRUE(reader.readUntilHangUp());
    EXPECT_EQ(reader.bytes, "");
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitForExit(), 0);
}

// Ending by a signal removes the link, and the port folder only when this run created
// it in the user's settings folder and nothing else is in it.
struct StopRow : qv::test::NamedRow {
    int signal;
    bool folderExisted;
};

class StopSignal : public SimulatorRun, public testing::WithParamInterface<StopRow> {};

TEST_P(StopSignal, CleansUpAndExitsZero) {
    const fs::path settingsDir = home.path() / "xdg" / "Tavrin QV-5300";
    const fs::path userPorts = settingsDir / "ports";
    if (GetParam().folderExisted) {
        fs::create_directories(userPorts);
        std::ofstream(userPorts / "note.txt") << "not the simulator's";
    }
    ChildProcess sim = startSim(home.path(), {"--period-ms", "20"}); // the user's port folder, COM1
    ASSERT_TRUE(waitUntil([&] { return linkExists(userPorts / "com1"); })) << sim.err();
    const bool toldAboutFolder = sim.out().find("created your port folder") != std::string::npos;
    EXPECT_EQ(toldAboutFolder, !GetParam().folderExisted) << sim.out();

    sim.signal(GetParam().signal);
    ASSERT_EQ(sim.waitForExit(), 0) << sim.err();
    EXPECT_FALSE(linkExists(userPorts / "com1"));
    if (GetParam().folderExisted)
        EXPECT_TRUE(fs::exists(userPorts / "note.txt"));
    else
        EXPECT_FALSE(fs::exists(home.path() / "xdg")) << "every folder it created is gone";
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal,
                         testing::Values(StopRow{"TermInCreatedFolder", SIGTERM, false},
                                         StopRow{"CtrlCInCreatedFolder", SIGINT, false},
                                         StopRow{"TermInExistingFolder", SIGTERM, true}),
                         qv::test::RowName{});

// A link that still leads somewhere belongs to someone else and is left alone; one whose
// device is gone was left by a killed simulator and is taken over.
TEST_F(SimulatorRun, TakesOverOnlyADanglingLink) {
    fs::create_directories(portsDir);
    fs::create_symlink("/dev/null", com2);
    ChildProcess refused = startSim(home.path(), {"--ports-dir", portsDir.string(), "--port", "2"});
    EXPECT_EQ(refused.waitForExit(), 1);
    EXPECT_NE(refused.err().find("already exists"), std::string::npos) << refused.err();
    EXPECT_EQ(fs::read_symlink(com2), "/dev/null");

    fs::remove(com2);
    fs::create_symlink(home.path() / "gone", com2);
    ChildProcess sim = startSim(home.path(), {"--ports-dir", portsDir.string(), "--port", "2"});
    ASSERT_TRUE(waitUntil([&] {
        std::error_code ec;
        return fs::read_symlink(com2, ec).string().starts_with("/dev/pts/");
    })) << sim.err();
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitForExit(), 0);
    EXPECT_TRUE(fs::exists(portsDir)) << "a folder it did not create stays";
}

TEST_F(SimulatorRun, BadArgumentExitsTwoWithAHintAndCreatesNothing) {
    ChildProcess sim = startSim(home.path(), {"--ports-dir", portsDir.string(), "--port", "300"});
    EXPECT_EQ(sim.waitForExit(), 2);
    EXPECT_NE(sim.err().find("--port"), std::string::npos) << sim.err();
    EXPECT_NE(sim.err().find("--help"), std::string::npos) << sim.err();
    EXPECT_FALSE(fs::exists(portsDir));
}

} // namespace
} // namespace qv
