// The channel's logic over the in-memory platform: the open sequence and its failure
// states, the line operations, the reader thread's delivery and its end.

#include "serial/serial_comm.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/named_row.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <functional>
#include <string>

namespace qv {
namespace {

using namespace std::chrono_literals;
using test::FakeSerialPlatform;
using test::FakeWindowServices;

constexpr auto kWait = 3s;

std::string bytesOf(const std::vector<FakeWindowServices::Posted>& posted) {
    std::string out;
    for (const auto& p : posted)
        out.push_back(static_cast<char>(p.wParam & 0xFF));
    return out;
}

class SerialCommTest : public ::testing::Test {
protected:
    SerialCommTest() {
        for (int port : {1, 3, 7})
            platform.addPort(port);
        channel.SetOwner(&window, WM_SERIAL_BYTE);
    }

    Status open(int port) { return channel.Open(port, 9600, 0, 0, 8); }

    FakeSerialPlatform platform;
    FakeWindowServices window;
    CSerialComm channel{platform};
};

TEST_F(SerialCommTest, OpenAppliesTheLineSettingsAndKeepsTheDriversRtsControl) {
    Dcb driver = FakeSerialPlatform::driverDefaults();
    driver.setRtsControl(kRtsHandshake);
    driver.flags |= Dcb::kAbortOnError; // as another program may have left it
    platform.setDriverState(driver);
    ASSERT_EQ(open(3), kStatusOk);

    const Dcb applied = platform.appliedState(3);
    EXPECT_EQ(applied.BaudRate, 9600u);
    EXPECT_EQ(applied.ByteSize, 8);
    EXPECT_EQ(applied.Parity, 0);
    EXPECT_EQ(applied.StopBits, 0);
    EXPECT_EQ(applied.flags & Dcb::kOutxDsrFlow, 0u);
    EXPECT_EQ(applied.flags & Dcb::kDsrSensitivity, 0u);
    EXPECT_EQ(applied.flags & Dcb::kAbortOnError, 0u);
    EXPECT_EQ(applied.dtrControl(), kDtrEnable);
    // Everything else is written back as the driver reported it.
    constexpr auto kWritten =
        Dcb::kOutxDsrFlow | Dcb::kDsrSensitivity | Dcb::kDtrControlMask | Dcb::kAbortOnError;
    EXPECT_EQ(applied.flags & ~kWritten, driver.flags & ~kWritten);
    EXPECT_EQ(channel.dcb().BaudRate, 9600u);
    // DTR goes high with the open; RTS and the break are the caller's business.
    EXPECT_EQ(platform.calls(), std::vector<std::string>{"dtr 1"});
    EXPECT_TRUE(platform.dtr(3));
    EXPECT_EQ(channel.portNumber(), 3);
}

TEST_F(SerialCommTest, PortZeroOrNegativeOpensTheStoredPort) {
    platform.addPort(0);
    ASSERT_EQ(open(0), kStatusOk); // a fresh channel's port is COM1
    EXPECT_TRUE(platform.isOpen(1));
    EXPECT_FALSE(platform.isOpen(0));
    ASSERT_EQ(open(7), kStatusOk);
    ASSERT_EQ(open(-1), kStatusOk);
    EXPECT_TRUE(platform.isOpen(7));
    EXPECT_EQ(platform.openCount(7), 2);
    EXPECT_FALSE(platform.isOpen(1));
}

TEST_F(SerialCommTest, ReopenReleasesTheOldPortAndReaderFirst) {
    ASSERT_EQ(open(3), kStatusOk);
    ASSERT_EQ(open(3), kStatusOk);
    EXPECT_EQ(platform.openCount(3), 2);
    EXPECT_EQ(platform.liveStopSignals(), 1);
    platform.inject(3, "x");
    ASSERT_TRUE(window.waitForPosted(1, kWait));
}

TEST_F(SerialCommTest, FailedDeviceOpenLeavesTheChannelClosedWithTheNewNumber) {
    platform.holdByOther(7, true);
    ASSERT_EQ(open(3), kStatusOk);
    EXPECT_EQ(open(7), Status{EBUSY});
    EXPECT_EQ(channel.GetPortHandle(), kInvalidHandle);
    EXPECT_EQ(channel.portNumber(), 7);
    EXPECT_FALSE(platform.isOpen(3)); // the old port went first
    EXPECT_EQ(platform.liveStopSignals(), 0);
    EXPECT_EQ(open(9), Status{ENOENT});
}

struct LateFailure {
    const char* op;
    Status error;
    friend std::ostream& operator<<(std::ostream& out, const LateFailure& row) {
        return out << row.op << " fails with " << row.error;
    }
};

class SerialCommLateFailure : public SerialCommTest,
                              public ::testing::WithParamInterface<LateFailure> {};

TEST_P(SerialCommLateFailure, HoldsThePortWithoutReaderUntilClose) {
    platform.failNext(GetParam().op, GetParam().error);
    EXPECT_EQ(open(3), GetParam().error);
    EXPECT_NE(channel.GetPortHandle(), kInvalidHandle);
    EXPECT_EQ(channel.Probe(-1), kProbeBusy);
    EXPECT_EQ(platform.liveStopSignals(), 0);
    // The line operations still act on the held port.
    EXPECT_EQ(channel.SetBreak(1), kStatusOk);
    // No reader: injected bytes are never delivered.
    platform.inject(3, "H");
    EXPECT_EQ(channel.Close(), kStatusOk);
    EXPECT_EQ(channel.GetPortHandle(), kInvalidHandle);
    EXPECT_FALSE(platform.isOpen(3));
    EXPECT_EQ(window.postedCount(), 0u);
    EXPECT_EQ(open(3), kStatusOk);
}

INSTANTIATE_TEST_SUITE_P(Steps, SerialCommLateFailure,
                         ::testing::Values(LateFailure{"openLater", 87}, LateFailure{"getState", 5},
                                           LateFailure{"setState", 22}, LateFailure{"stop", 24}),
                         [](const auto& info) { return std::string(info.param.op); });

// --- line operations ---

using LineOp = std::function<Status(CSerialComm&)>;
struct LineCase : test::NamedRow {
    LineOp op;
    const char* call;   // recorded platform call
    const char* failOp; // failNext key that makes it fail
};

const LineCase kLineCases[] = {
    {"RtsOn", [](CSerialComm& c) { return c.SetRtsControl(1); }, "rts 1", "rts"},
    {"RtsOff", [](CSerialComm& c) { return c.SetRtsControl(0); }, "rts 0", "rts"},
    {"DtrOn", [](CSerialComm& c) { return c.SetDtrControl(1); }, "dtr 1", "dtr"},
    {"DtrOff", [](CSerialComm& c) { return c.SetDtrControl(4); }, "dtr 0", "dtr"}, // mode & 3
    {"BreakSet", [](CSerialComm& c) { return c.SetBreak(7); }, "break 1", "break"},
    {"BreakClear", [](CSerialComm& c) { return c.SetBreak(0); }, "break 0", "break"},
};

class SerialCommLines : public SerialCommTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SerialCommLines, ClosedChannelReturnsNotOpenAndDoesNothing) {
    EXPECT_EQ(GetParam().op(channel), kStatusNotOpen);
    EXPECT_TRUE(platform.calls().empty());
}

TEST_P(SerialCommLines, OpenChannelDrivesTheLine) {
    ASSERT_EQ(open(3), kStatusOk);
    platform.clearCalls();
    EXPECT_EQ(GetParam().op(channel), kStatusOk);
    EXPECT_EQ(platform.calls(), std::vector<std::string>{GetParam().call});
}

TEST_P(SerialCommLines, ReportsThePlatformsError) {
    ASSERT_EQ(open(3), kStatusOk);
    platform.failNext(GetParam().failOp, 71);
    EXPECT_EQ(GetParam().op(channel), 71u);
}

INSTANTIATE_TEST_SUITE_P(Ops, SerialCommLines, ::testing::ValuesIn(kLineCases), test::RowName{});

TEST_F(SerialCommTest, LineControlIsAReadModifyWriteOfTheSettings) {
    ASSERT_EQ(open(3), kStatusOk);
    EXPECT_EQ(channel.SetRtsControl(1), kStatusOk);
    EXPECT_EQ(platform.appliedState(3).rtsControl(), kRtsEnable);
    EXPECT_EQ(platform.appliedState(3).BaudRate, 9600u); // written back with it
    EXPECT_EQ(channel.SetDtrControl(0), kStatusOk);
    EXPECT_EQ(platform.appliedState(3).dtrControl(), kDtrDisable);
    EXPECT_EQ(platform.appliedState(3).rtsControl(), kRtsEnable);

    // A failed read of the settings stops before anything changes.
    platform.clearCalls();
    platform.failNext("getState", 5);
    EXPECT_EQ(channel.SetRtsControl(0), 5u);
    platform.failNext("setState", 22);
    EXPECT_EQ(channel.SetRtsControl(0), 22u);
    EXPECT_TRUE(platform.calls().empty());
    EXPECT_TRUE(platform.rts(3));
}

TEST_F(SerialCommTest, HandshakeModesLeaveTheLineToTheDriver) {
    ASSERT_EQ(open(3), kStatusOk);
    platform.clearCalls();
    EXPECT_EQ(channel.SetRtsControl(kRtsHandshake), kStatusOk);
    EXPECT_EQ(platform.appliedState(3).rtsControl(), kRtsHandshake);
    EXPECT_TRUE(platform.calls().empty());
}

// --- reader thread ---

TEST_F(SerialCommTest, DeliversEveryByteInOrderAtMostFortyPerWakeUp) {
    ASSERT_EQ(open(3), kStatusOk);
    std::string sent;
    for (int i = 0; i < 100; ++i)
        sent.push_back(static_cast<char>(i));
    const long waitsBefore = platform.waitReturns();
    platform.inject(3, sent);
    ASSERT_TRUE(window.waitForPosted(100, kWait));
    EXPECT_EQ(bytesOf(window.takePosted()), sent);
    // 100 bytes cannot come in fewer than three reads of 40.
    EXPECT_GE(platform.waitReturns() - waitsBefore, 3);
}

TEST_F(SerialCommTest, HighBytesArriveSignExtendedWithTheByteInTheLowBits) {
    ASSERT_EQ(open(3), kStatusOk);
    platform.inject(3, "\xB0\x7F");
    ASSERT_TRUE(window.waitForPosted(2, kWait));
    const auto posted = window.takePosted();
    EXPECT_EQ(posted[0].message, WM_SERIAL_BYTE);
    EXPECT_EQ(posted[0].wParam, static_cast<std::intptr_t>(-0x50));
    EXPECT_EQ(posted[0].wParam & 0xFF, 0xB0);
    EXPECT_EQ(posted[0].lParam, 0);
    EXPECT_EQ(posted[1].wParam, 0x7F);
}

TEST_F(SerialCommTest, NothingIsPostedAfterCloseReturns) {
    ASSERT_EQ(open(3), kStatusOk);
    platform.inject(3, "ab");
    ASSERT_TRUE(window.waitForPosted(2, kWait));
    EXPECT_EQ(channel.Close(), kStatusOk);
    const std::size_t atClose = window.postedCount();
    platform.inject(3, "cd"); // port closed: lost
    EXPECT_EQ(platform.liveStopSignals(), 0);
    EXPECT_FALSE(platform.isOpen(3));
    EXPECT_EQ(window.postedCount(), atClose);
    EXPECT_EQ(channel.Close(), kStatusOk); // a second Close is harmless
}

// Windows leaves an overlapped port wait pending across passes; the reader must end it
// (and see it complete) before its records go, i.e. before Close returns.
TEST_F(SerialCommTest, TheReaderEndsItsPendingWaitLastAndBeforeCloseReturns) {
    ASSERT_EQ(open(3), kStatusOk);
    platform.inject(3, "ab");
    ASSERT_TRUE(window.waitForPosted(2, kWait));
    EXPECT_EQ(platform.readersEnded(), 0);
    EXPECT_EQ(channel.Close(), kStatusOk);
    EXPECT_EQ(platform.readersEnded(), 1);
    EXPECT_FALSE(platform.usedAfterEndReading());
}

// Guards the reader's WaitResult::PortGone branch (the fake reports an unplugged port
// from its wait).
TEST_F(SerialCommTest, UnpluggedPortStopsTheReaderWatchingButCloseStillEndsIt) {
    ASSERT_EQ(open(3), kStatusOk);
    const long before = platform.waitReturns();
    platform.removePort(3);
    // A reader that kept watching the gone port would return from its waits for ever
    // instead of settling in the one that waits for the stop signal alone.
    ASSERT_TRUE(test::waitUntil([&] { return platform.waitsWithoutPort() == 1; }, kWait,
                                test::sleepBriefly));
    EXPECT_LE(platform.waitReturns() - before, 2);
    EXPECT_EQ(channel.Probe(-1), kProbeAbsent);
    EXPECT_EQ(channel.Close(), kStatusOk);
    EXPECT_EQ(platform.liveStopSignals(), 0);
}

TEST_F(SerialCommTest, DestroyingAnOpenChannelEndsItsReader) {
    {
        CSerialComm other(platform);
        other.SetOwner(&window, WM_SERIAL_BYTE);
        ASSERT_EQ(other.Open(7, 9600, 0, 0, 8), kStatusOk);
    }
    EXPECT_FALSE(platform.isOpen(7));
    EXPECT_EQ(platform.liveStopSignals(), 0);
}

// --- probes ---

TEST_F(SerialCommTest, ProbeFallsBackToTheStoredPortForNegativeNumbersOnly) {
    EXPECT_EQ(channel.Probe(-1), kProbeFree); // COM1 on a fresh channel
    ASSERT_EQ(open(7), kStatusOk);
    EXPECT_EQ(channel.Probe(-1), kProbeBusy);
    EXPECT_EQ(channel.Probe(0), kProbeAbsent);
    platform.addPort(0);
    EXPECT_EQ(channel.Probe(0), kProbeFree);
}

TEST_F(SerialCommTest, ProbeAllFillsExactlyCountEntries) {
    platform.holdByOther(3, true);
    ProbeResult results[9];
    std::fill(std::begin(results), std::end(results), -1);
    EXPECT_EQ(channel.ProbeAll(results, 8), kStatusOk);
    const ProbeResult expected[9] = {kProbeFree,   kProbeAbsent, kProbeBusy,
                                     kProbeAbsent, kProbeAbsent, kProbeAbsent,
                                     kProbeFree,   kProbeAbsent, -1};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(results[i], expected[i]) << "port " << i + 1;

    std::fill(std::begin(results), std::end(results), -1);
    EXPECT_EQ(channel.ProbeAll(results, 0), kStatusOk);
    EXPECT_EQ(channel.ProbeAll(results, -3), kStatusOk);
    EXPECT_EQ(results[0], -1);
}

} // namespace
} // namespace qv
