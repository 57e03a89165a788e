// The channel on the POSIX platform with pseudo-terminals as serial devices, reached
// through a private port folder of comN links. Never the machine's own devices.

#include "serial/port_list.h"
#include "serial/serial_comm.h"
#include "serial/serial_platform_posix.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/named_row.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace qv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FakeWindowServices;
using test::sleepBriefly;
using test::waitUntil;

constexpr auto kWait = 3s;

using Pty = test::PseudoTerminal;

// A port folder in a fresh temporary directory.
class PortFolder {
public:
    PortFolder() { fs::create_directory(dir_); }

    const fs::path& dir() const { return dir_; }
    // The lock folder beside it.
    fs::path locks() const { return root_.path(); }
    void link(int port, const fs::path& target) {
        fs::create_symlink(target, dir_ / ("com" + std::to_string(port)));
    }

private:
    test::TempFolder root_{"qv-ports"};
    fs::path dir_ = root_ / "ports";
};

std::string bytesOf(const std::vector<FakeWindowServices::Posted>& posted) {
    std::string out;
    for (const auto& p : posted)
        out.push_back(static_cast<char>(p.wParam & 0xFF));
    return out;
}

std::set<std::string> threadIds() {
    std::set<std::string> ids;
    for (const auto& entry : fs::directory_iterator("/proc/self/task"))
        ids.insert(entry.path().filename().string());
    return ids;
}

// The times thread `id` of this process has gone to sleep: each wake-up adds one.
long sleepsOf(const std::string& id) {
    std::ifstream status("/proc/self/task/" + id + "/status");
    const std::string key = "voluntary_ctxt_switches:";
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(key))
            return std::stol(line.substr(key.size()));
    return -1;
}

bool isAsleep(const std::string& id) {
    std::ifstream stat("/proc/self/task/" + id + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')'); // the name may hold anything
    return close != std::string::npos && line.compare(close, 4, ") S ") == 0;
}

// The one thread of this process that is not among `before`; empty if none.
std::string newThread(const std::set<std::string>& before) {
    for (const auto& id : threadIds())
        if (!before.contains(id))
            return id;
    return {};
}

class PosixSerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(a.ok() && b.ok());
        folder.link(1, a.slave());
        folder.link(2, b.slave());
        folder.link(4, folder.dir() / "gone"); // a device that is not there
        channel.SetOwner(&window, WM_SERIAL_BYTE);
    }

    Status open(int port) { return channel.Open(port, 9600, 0, 0, 8); }

    Pty a, b;
    PortFolder folder;
    PosixSerialPlatform platform{folder.dir(), folder.locks()};
    FakeWindowServices window;
    CSerialComm channel{platform};
};

TEST_F(PosixSerialTest, OpensAPseudoTerminalRawAndReceivesWhatTheFarEndSends) {
    ASSERT_EQ(open(1), kStatusOk);
    ASSERT_NE(channel.GetPortHandle(), kInvalidHandle);
    // The sensor's carriage return arrives as it is, and high bytes keep their value.
    ASSERT_TRUE(a.send("H45.20T21.30\r\xB0"));
    ASSERT_TRUE(window.waitForPosted(14, kWait));
    const auto posted = window.takePosted();
    EXPECT_EQ(bytesOf(posted), "H45.20T21.30\r\xB0");
    EXPECT_EQ(posted.back().wParam & 0xFF, 0xB0);
    EXPECT_EQ(posted.back().message, WM_SERIAL_BYTE);
    EXPECT_EQ(channel.dcb().BaudRate, 9600u);
}

TEST_F(PosixSerialTest, LongBurstArrivesCompleteAndInOrder) {
    ASSERT_EQ(open(1), kStatusOk);
    std::string burst;
    for (int i = 0; i < 1000; ++i)
        burst.push_back(static_cast<char>('!' + i % 90));
    ASSERT_TRUE(a.send(burst));
    ASSERT_TRUE(window.waitForPosted(burst.size(), kWait));
    EXPECT_EQ(bytesOf(window.takePosted()), burst);
}

TEST_F(PosixSerialTest, ReopenOfTheSamePortSucceeds) {
    ASSERT_EQ(open(2), kStatusOk);
    ASSERT_EQ(open(-1), kStatusOk);
    EXPECT_EQ(channel.portNumber(), 2);
    ASSERT_TRUE(b.send("z"));
    ASSERT_TRUE(window.waitForPosted(1, kWait));
    EXPECT_EQ(bytesOf(window.takePosted()), "z");
}

TEST_F(PosixSerialTest, HeldPortIsBusyAndRefusesASecondChannel) {
    ASSERT_EQ(open(1), kStatusOk);
    CSerialComm second(platform);
    EXPECT_EQ(second.Open(1, 9600, 0, 0, 8), Status{EBUSY});
    EXPECT_EQ(second.GetPortHandle(), kInvalidHandle);
    EXPECT_EQ(second.Probe(1), kProbeBusy);
    EXPECT_EQ(channel.Probe(-1), kProbeBusy);
    EXPECT_EQ(channel.Probe(2), kProbeFree);
    // What another program sees: the device's own locks, also when it runs as root.
    PosixSerialPlatform otherProgram(folder.dir(), folder.locks());
    EXPECT_EQ(otherProgram.probePort(1), kProbeBusy);
    EXPECT_EQ(otherProgram.openPort(1).handle, kInvalidHandle);

    channel.Close();
    EXPECT_EQ(second.Probe(1), kProbeFree);
    EXPECT_EQ(second.Open(1, 9600, 0, 0, 8), kStatusOk);
}

TEST_F(PosixSerialTest, OtherProgramsHoldsAreSeen) {
    const int other = ::open(b.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    // A program that only sets the exclusive flag (root would pass it: the flag is
    // checked).
    ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
    EXPECT_EQ(channel.Probe(2), kProbeBusy);
    EXPECT_NE(open(2), kStatusOk);
    ASSERT_EQ(ioctl(other, TIOCNXCL), 0);
    // A program that only locks the device.
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(channel.Probe(2), kProbeBusy);
    EXPECT_NE(open(2), kStatusOk);
    ::close(other);
    EXPECT_EQ(channel.Probe(2), kProbeFree);
}

TEST_F(PosixSerialTest, ProbeLeavesNoTraceOnTheDevice) {
    ASSERT_EQ(channel.Probe(1), kProbeFree);
    const int mine = ::open(a.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(mine, 0);
    int exclusive = -1;
    ASSERT_EQ(ioctl(mine, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(mine);
}

TEST_F(PosixSerialTest, ProbeOfMissingOrUnmappedPortsIsAbsent) {
    EXPECT_EQ(channel.Probe(3), kProbeAbsent); // no entry
    EXPECT_EQ(channel.Probe(4), kProbeAbsent); // entry pointing nowhere
    EXPECT_EQ(channel.Probe(0), kProbeAbsent); // zero is probed, not the stored port
    EXPECT_EQ(channel.Probe(-1), kProbeFree);  // the stored port: COM1
    EXPECT_NE(open(4), kStatusOk);
    EXPECT_EQ(channel.GetPortHandle(), kInvalidHandle);
    EXPECT_EQ(channel.Probe(-1), kProbeAbsent); // now COM4

    // Something that is no terminal is no port.
    folder.link(5, "/dev/null");
    EXPECT_EQ(channel.Probe(5), kProbeAbsent);
    EXPECT_EQ(open(5), Status{ENOTTY});
}

TEST_F(PosixSerialTest, FramingTheDeviceDoesNotTakeFailsTheOpenButHoldsThePort) {
    // A pseudo-terminal forces 8 bits without parity: the settings are read back.
    EXPECT_EQ(channel.Open(1, 9600, 2, 0, 7), Status{EINVAL});
    EXPECT_NE(channel.GetPortHandle(), kInvalidHandle);
    EXPECT_EQ(channel.Probe(1), kProbeBusy);
    channel.Close();
    EXPECT_EQ(channel.Probe(1), kProbeFree);
}

TEST_F(PosixSerialTest, WriteReachesTheFarEndAndNeverWaitsForEver) {
    EXPECT_EQ(channel.Write("x", 1), kStatusOk); // closed: nothing to do
    ASSERT_EQ(open(1), kStatusOk);
    EXPECT_EQ(channel.Write("QV\r", 3), kStatusOk);
    EXPECT_EQ(a.receive(3), "QV\r");
    // Nobody reads the far end: the output buffer fills and the write gives up.
    const std::string flood(1 << 20, 'w');
    EXPECT_EQ(channel.Write(flood.data(), static_cast<std::uint32_t>(flood.size())), kStatusOk);
}

TEST_F(PosixSerialTest, ModemLinesOfAPseudoTerminalReportTheirFailure) {
    ASSERT_EQ(open(1), kStatusOk);
    EXPECT_EQ(channel.SetRtsControl(1), Status{ENOTTY});
}

TEST_F(PosixSerialTest, LineControlThatChangesNoSettingLeavesTheReaderOfASilentPortAsleep) {
    const auto before = threadIds();
    ASSERT_EQ(open(1), kStatusOk);
    const std::string reader = newThread(before);
    ASSERT_FALSE(reader.empty());
    ASSERT_TRUE(waitUntil([&] { return isAsleep(reader); }, kWait, sleepBriefly));

    // What every poll does: both lines on, then off. A pseudo-terminal has no modem
    // lines, so the line itself fails; the settings are what matters here.
    const long asleep = sleepsOf(reader);
    for (int i = 0; i < 5; ++i)
        for (int mode : {1, 0}) {
            EXPECT_EQ(channel.SetRtsControl(mode), Status{ENOTTY});
            EXPECT_EQ(channel.SetDtrControl(mode), Status{ENOTTY});
        }
    EXPECT_EQ(sleepsOf(reader), asleep) << "the reader woke although no setting changed";

    // A change is still written (and so, on Linux, wakes the reader once it is made).
    ASSERT_EQ(channel.SetRtsControl(2), kStatusOk);
    Dcb held;
    ASSERT_EQ(platform.getState(channel.GetPortHandle(), held), kStatusOk);
    EXPECT_EQ(held.rtsControl(), kRtsHandshake);
    EXPECT_TRUE(waitUntil([&] { return sleepsOf(reader) > asleep; }, kWait, sleepBriefly));
}

TEST_F(PosixSerialTest, NoMessageAfterCloseReturnsEvenUnderTraffic) {
    ASSERT_EQ(open(1), kStatusOk);
    a.setNonBlocking();
    std::atomic<bool> stop{false};
    std::atomic<long> sends{0};
    std::thread sender([&] {
        while (!stop) {
            a.send("0123456789");
            ++sends;
            std::this_thread::yield();
        }
    });
    EXPECT_TRUE(window.waitForPosted(100, kWait));
    channel.Close();
    const std::size_t atClose = window.postedCount();
    // Bytes keep coming for a while; none may reach the window now.
    const long sentAtClose = sends;
    EXPECT_TRUE(waitUntil([&] { return sends >= sentAtClose + 1000; }, kWait, sleepBriefly));
    stop = true;
    sender.join();
    EXPECT_EQ(window.postedCount(), atClose);
}

// Guards the reader's failed-read branch: a pseudo-terminal whose far end closed polls
// readable and its read fails with EIO.
TEST_F(PosixSerialTest, HungUpDeviceDoesNotMakeTheReaderSpin) {
    const auto before = threadIds();
    ASSERT_EQ(open(1), kStatusOk);
    const std::string reader = newThread(before);
    ASSERT_FALSE(reader.empty());
    ASSERT_TRUE(waitUntil([&] { return isAsleep(reader); }, kWait, sleepBriefly));
    const long asleep = sleepsOf(reader);
    a.closeMaster();
    // The device has gone and polls readable at once: a reader that kept watching it would
    // never sleep again. One that stopped goes back to sleep and stays there.
    long last = -1;
    EXPECT_TRUE(waitUntil(
        [&] {
            const long sleeps = sleepsOf(reader);
            const bool settled = sleeps > asleep && sleeps == last && isAsleep(reader);
            last = sleeps;
            return settled;
        },
        kWait, sleepBriefly))
        << "reader thread spins after hang-up";
    EXPECT_EQ(channel.Probe(-1), kProbeAbsent);
    EXPECT_EQ(channel.Close(), kStatusOk);
}

TEST_F(PosixSerialTest, OnlyAGoneDeviceEndsWatchingThePort) {
    const NativeHandle stop = platform.createStopSignal().handle;
    // An error condition without input (a pipe's write end without reader) is PortGone.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    EXPECT_EQ(platform.waitForInput(ends[1], stop, true), WaitResult::PortGone);
    ::close(ends[1]);
    // Another read failure (a folder is no device) delivers nothing, and the port is
    // watched again after the pause.
    const int folder = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::uint8_t buffer[40];
    EXPECT_EQ(platform.read(folder, buffer, sizeof buffer), 0);
    EXPECT_EQ(platform.waitForInput(folder, stop, true), WaitResult::Readable);
    ::close(folder);
    platform.closeStopSignal(stop);
}

TEST_F(PosixSerialTest, OpenFailuresAreDescribedInPlainWords) {
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";
    ::setenv("HOME", folder.dir().parent_path().c_str(), 1);
    const std::tuple<int, int, std::string> rows[] = {
        {3, ENOENT, "COM3: no entry com3 in ~/ports"},
        {2, EBUSY, "COM2 is in use by another program"},
        {1, EACCES, "COM1: " + a.slave() + ": Permission denied"},
        {4, ENOENT, "COM4: ~/ports/gone: No such file or directory"},
        {257, ENOENT, "COM257: ports are numbered 1 to 256"},
    };
    for (const auto& [port, error, detail] : rows)
        EXPECT_EQ(platform.describeOpenFailure(port, static_cast<Status>(error)), detail);
    EXPECT_EQ(PosixSerialPlatform(folder.dir() / "none", {}).describeOpenFailure(97, ENOENT),
              "COM97: no device for this port; a link com97 in ~/ports/none would name one");
    savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

// The system's console list and the terminal in front; "%s" stands for COM1's device.
struct ConsoleRow : test::NamedRow {
    const char *active, *inFront;
    bool console;
};

class SystemConsole : public PosixSerialTest, public ::testing::WithParamInterface<ConsoleRow> {};

TEST_P(SystemConsole, IsNeitherListedNorOpened) {
    const ConsoleRow& row = GetParam();
    for (const auto& [list, text] : {std::pair{"console", row.active}, {"tty0", row.inFront}}) {
        std::string names = text;
        if (const auto at = names.find("%s"); at != std::string::npos)
            names.replace(at, 2, a.slave().substr(5));
        fs::create_directory(folder.locks() / list);
        std::ofstream(folder.locks() / list / "active") << names;
    }
    PosixSerialPlatform machine{folder.dir(), folder.locks(), folder.locks() / "console/active"};
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, a.slave().c_str(), IN_OPEN), 0);

    EXPECT_EQ(machine.probePort(1), row.console ? kProbeAbsent : kProbeFree);
    const OpenResult opened = machine.openPort(1);
    char events[256];
    EXPECT_EQ(::read(watch, events, sizeof events) > 0, !row.console) << "opens of the device";
    EXPECT_EQ(opened.handle == kInvalidHandle, row.console);
    if (opened.handle == kInvalidHandle)
        EXPECT_EQ(machine.describeOpenFailure(1, opened.error),
                  "COM1 is " + a.slave() + ", the system console");
    else
        machine.closePort(opened.handle);
    ::close(watch);
}

INSTANTIATE_TEST_SUITE_P(Rows, SystemConsole,
                         ::testing::Values(ConsoleRow{{"NamedInTheList"}, "tty0 %s\n", "", true},
                                           ConsoleRow{{"InFront"}, "tty0\n", "%s\n", true},
                                           ConsoleRow{
                                               {"NotInTheList"}, "ttyS0 tty1\n", "%s", false},
                                           ConsoleRow{{"NoConsole"}, "", "", false}),
                         test::RowName{});

TEST_F(PosixSerialTest, PortListShowsFreePortsAndTheHeldOne) {
    Pty c, d;
    ASSERT_TRUE(c.ok() && d.ok());
    folder.link(7, c.slave());
    folder.link(9, d.slave());
    const int other = ::open(d.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);

    ASSERT_EQ(open(7), kStatusOk);
    std::vector<std::string> names;
    std::string selected;
    buildPortList(channel, 7, names, selected);
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM2", "COM7"}));
    EXPECT_EQ(selected, "COM7");
    ::close(other);
}

} // namespace
} // namespace qv
