// The Windows serial platform: its pure mappings, its reader and writer over a driver
// played through its calls (line errors, removal, a cancel the driver ignores), and the
// channel over real COM ports.
// The port tests need two null-modem pairs, named in QV_NULL_MODEM ("1 3": COM1-COM2 and
// COM3-COM4; scripts/wine-run makes them from pseudo-terminals); they are skipped
// without. Pulling a pair's cable: a file "unplug-N" in the folder QV_WINE_CONTROL_WIN.

#include "serial/serial_comm.h"
#include "serial/serial_map_win32.h"
#include "serial/serial_platform_win32.h"
#include "tests/support/fake_window_services.h"

#include "tests/support/named_row.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

namespace qv {
namespace {

using namespace std::chrono_literals;
using test::FakeWindowServices;

struct ProbeCase : test::NamedRow {
    std::uint32_t error;
    ProbeResult result;
};

class ProbeErrors : public testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeErrors, MapToTheThreeResults) {
    EXPECT_EQ(probeResultFromWin32Error(GetParam().error), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ProbeErrors,
    testing::Values(ProbeCase{"Opened", 0, kProbeFree},
                    ProbeCase{"AccessDeniedIsHeld", ERROR_ACCESS_DENIED, kProbeBusy},
                    ProbeCase{"SharingViolationIsHeld", ERROR_SHARING_VIOLATION, kProbeBusy},
                    ProbeCase{"NoSuchDevice", ERROR_FILE_NOT_FOUND, kProbeAbsent},
                    ProbeCase{"DeviceFailed", ERROR_GEN_FAILURE, kProbeAbsent},
                    ProbeCase{"NotReady", ERROR_NOT_READY, kProbeAbsent}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Win32SerialMap, OnlyRemovalErrorsSayTheDeviceHasGone) {
    for (const DWORD error : {ERROR_OPERATION_ABORTED, ERROR_SEM_TIMEOUT, ERROR_COUNTER_TIMEOUT,
                              ERROR_INVALID_PARAMETER})
        EXPECT_EQ(commFailureFromWin32Error(error), CommFailure::Retry) << error;
    for (const DWORD error : {ERROR_DEVICE_NOT_CONNECTED, ERROR_BAD_COMMAND, ERROR_ACCESS_DENIED,
                              ERROR_GEN_FAILURE, ERROR_DEVICE_REMOVED, ERROR_INVALID_HANDLE})
        EXPECT_EQ(commFailureFromWin32Error(error), CommFailure::Gone) << error;
}

TEST(Win32SerialMap, DevicePathReachesPortsAboveNine) {
    EXPECT_EQ(comDevicePath(1), L"\\\\.\\COM1");
    EXPECT_EQ(comDevicePath(256), L"\\\\.\\COM256");
}

TEST(Win32SerialMap, FlagsWordLandsInTheDriversBitFieldsAndOtherFieldsStay) {
    DCB driver{};
    driver.XonChar = 0x11;
    driver.fOutX = 1;
    Dcb dcb = dcbFromWin32(driver);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.StopBits = 2;
    dcb.setDtrControl(kDtrEnable);
    dcb.setRtsControl(kRtsToggle);
    dcb.flags |= Dcb::kOutxDsrFlow;
    applyDcbToWin32(dcb, driver);
    EXPECT_EQ(driver.BaudRate, 9600u);
    EXPECT_EQ(driver.ByteSize, 8);
    EXPECT_EQ(driver.StopBits, 2);
    EXPECT_EQ(driver.fDtrControl, static_cast<DWORD>(kDtrEnable));
    EXPECT_EQ(driver.fRtsControl, static_cast<DWORD>(kRtsToggle));
    EXPECT_EQ(driver.fOutxDsrFlow, 1u);
    EXPECT_EQ(driver.fDsrSensitivity, 0u);
    EXPECT_EQ(driver.fOutX, 1u);
    EXPECT_EQ(driver.XonChar, 0x11);
    EXPECT_EQ(dcbFromWin32(driver).flags, dcb.flags);
}

// --- over a driver played through the platform's calls ---

// After a line error under fAbortOnError every read and wait fails with `failure` until
// ClearCommError, unless the line keeps failing (`lasting`). With `keepsIo` reads and
// writes stay pending for ever, cancelled or not.
struct PlayedDriver {
    static inline std::atomic<DWORD> failure = 0;
    static inline bool lasting = false, keepsIo = false;
    static inline std::string held; // bytes waiting to be read
    static inline std::atomic<int> calls = 0;

    static BOOL WINAPI readFile(HANDLE, LPVOID buffer, DWORD size, LPDWORD count, LPOVERLAPPED o) {
        ++calls;
        if (keepsIo)
            return pending(o);
        if (failure != 0)
            return fail(failure);
        *count = std::min<DWORD>(size, static_cast<DWORD>(held.size()));
        std::memcpy(buffer, held.data(), *count);
        held.erase(0, *count);
        return TRUE;
    }
    static BOOL WINAPI writeFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED o) {
        return pending(o);
    }
    static BOOL WINAPI waitCommEvent(HANDLE, LPDWORD events, LPOVERLAPPED) {
        ++calls;
        *events = EV_RXCHAR;
        return failure != 0 ? fail(failure) : TRUE;
    }
    static BOOL WINAPI clearCommError(HANDLE, LPDWORD errors, LPCOMSTAT status) {
        ++calls;
        if (!lasting)
            failure = 0;
        *errors = 0;
        *status = COMSTAT{};
        status->cbInQue = static_cast<DWORD>(held.size());
        return TRUE;
    }
    static BOOL fail(DWORD error) {
        SetLastError(error);
        return FALSE;
    }
    static BOOL pending(LPOVERLAPPED o) {
        o->Internal = STATUS_PENDING;
        return fail(ERROR_IO_PENDING);
    }
};

class PlayedDriverTest : public testing::Test {
protected:
    PlayedDriverTest() {
        PlayedDriver::failure = PlayedDriver::calls = 0;
        PlayedDriver::lasting = PlayedDriver::keepsIo = false;
        PlayedDriver::held.clear();
    }
    ~PlayedDriverTest() override {
        platform_.endReading(port_);
        platform_.closeStopSignal(stop_);
        CloseHandle(reinterpret_cast<HANDLE>(port_));
    }

    Win32SerialPlatform platform_{{PlayedDriver::readFile, PlayedDriver::writeFile,
                                   PlayedDriver::waitCommEvent, PlayedDriver::clearCommError}};
    // Any handle: the played calls ignore it, the system's cancel refuses it.
    NativeHandle port_ =
        reinterpret_cast<NativeHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    NativeHandle stop_ = platform_.createStopSignal().handle;
    std::uint8_t buffer_[40] = {};
};

TEST_F(PlayedDriverTest, ALineErrorIsClearedAndOnlyAGoneDeviceEndsWatching) {
    PlayedDriver::held = "H 45.3";
    PlayedDriver::failure = ERROR_OPERATION_ABORTED;
    EXPECT_EQ(platform_.read(port_, buffer_, sizeof buffer_), 0);
    EXPECT_EQ(platform_.read(port_, buffer_, sizeof buffer_), 6); // cleared after the failure
    PlayedDriver::lasting = true;
    EXPECT_EQ(platform_.waitForInput(port_, stop_, true), WaitResult::Readable);
    PlayedDriver::failure = ERROR_DEVICE_NOT_CONNECTED;
    EXPECT_EQ(platform_.read(port_, buffer_, sizeof buffer_), -1);
    EXPECT_EQ(platform_.waitForInput(port_, stop_, true), WaitResult::PortGone);
}

TEST_F(PlayedDriverTest, AnErrorThatComesBackAtOnceIsRetriedWithoutSpinning) {
    PlayedDriver::failure = ERROR_OPERATION_ABORTED;
    PlayedDriver::lasting = true;
    std::thread reader([this] { // as the channel's reader thread
        for (bool watching = true;;) {
            const WaitResult woke = platform_.waitForInput(port_, stop_, watching);
            if (woke == WaitResult::Stop)
                break;
            watching = woke == WaitResult::Readable && platform_.read(port_, buffer_, 40) >= 0;
        }
        platform_.endReading(port_);
    });
    // Still watched: the error is cleared and tried again and again, a few times a second;
    // a busy loop would make thousands of calls while the test sleeps.
    EXPECT_TRUE(test::waitUntil([] { return PlayedDriver::calls >= 10; }, 10s, test::sleepBriefly));
    const int before = PlayedDriver::calls;
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(PlayedDriver::calls - before, 100);
    platform_.signalStop(stop_);
    reader.join();
}

// Returning at all is the point: without the bound the test runs into its time limit.
TEST_F(PlayedDriverTest, ADriverThatIgnoresTheCancelHoldsNoReadOrWriteForEver) {
    PlayedDriver::keepsIo = true;
    EXPECT_EQ(platform_.read(port_, buffer_, sizeof buffer_), -1); // not read again
    EXPECT_NE(platform_.write(port_, "x", 1), kStatusOk);
}

// --- over null-modem pairs ---

std::vector<int> nullModemPairs() {
    std::vector<int> pairs;
    std::istringstream in(std::getenv("QV_NULL_MODEM") ? std::getenv("QV_NULL_MODEM") : "");
    for (int n; in >> n;)
        pairs.push_back(n);
    return pairs;
}

class Win32PortTest : public testing::Test {
protected:
    void SetUp() override {
        pairs_ = nullModemPairs();
        if (pairs_.size() < 2)
            GTEST_SKIP() << "needs two null-modem pairs in QV_NULL_MODEM";
        channel_.SetOwner(&window_, WM_SERIAL_BYTE);
    }
    void TearDown() override {
        channel_.Close();
        if (far_ != INVALID_HANDLE_VALUE)
            CloseHandle(far_);
    }
    // The far end of pair `n` (COM n+1), opened as a plain program would.
    void openFarEnd(int n) {
        far_ = CreateFileW(comDevicePath(n + 1).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(far_, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void send(const std::string& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(
            WriteFile(far_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(written, bytes.size());
    }

    std::vector<int> pairs_;
    Win32SerialPlatform platform_;
    FakeWindowServices window_;
    CSerialComm channel_{platform_};
    HANDLE far_ = INVALID_HANDLE_VALUE;
};

TEST_F(Win32PortTest, ProbesOpensAndReopens) {
    const int port = pairs_[0];
    EXPECT_EQ(channel_.Probe(port), kProbeFree);
    EXPECT_EQ(channel_.Probe(99), kProbeAbsent);
    ASSERT_EQ(channel_.Open(port, 9600, 0, 0, 8), kStatusOk);
    EXPECT_EQ(channel_.dcb().BaudRate, 9600u);
    EXPECT_EQ(channel_.dcb().dtrControl(), kDtrEnable);
    EXPECT_EQ(channel_.Probe(-1), kProbeBusy);
    EXPECT_EQ(channel_.SetRtsControl(kRtsEnable), kStatusOk);
    EXPECT_EQ(channel_.SetBreak(1), kStatusOk);
    EXPECT_EQ(channel_.SetBreak(0), kStatusOk);
    ASSERT_EQ(channel_.Open(port, 9600, 0, 0, 8), kStatusOk);
    channel_.Close();
    EXPECT_EQ(channel_.Probe(-1), kProbeFree);
    EXPECT_EQ(channel_.Open(99, 9600, 0, 0, 8), static_cast<Status>(ERROR_FILE_NOT_FOUND));
    // The detail of "Failed to open COM port": the port, then the system's own words.
    EXPECT_EQ(platform_.describeOpenFailure(port, ERROR_SHARING_VIOLATION),
              "COM" + std::to_string(port) + " is in use by another program");
    EXPECT_EQ(platform_.describeOpenFailure(99, ERROR_FILE_NOT_FOUND).rfind("COM99: ", 0), 0u);
}

// Every byte value, in order, in a burst far longer than one read of 40; none after Close.
TEST_F(Win32PortTest, DeliversEveryByteInOrderAndNothingAfterClose) {
    const int port = pairs_[0];
    ASSERT_EQ(channel_.Open(port, 9600, 0, 0, 8), kStatusOk);
    openFarEnd(port);
    std::string sent;
    for (int i = 0; i < 512; ++i)
        sent.push_back(static_cast<char>(255 - i % 256));
    send(sent);
    ASSERT_TRUE(window_.waitForPosted(sent.size(), 5s)) << window_.postedCount();
    std::string got;
    for (const auto& p : window_.takePosted())
        got.push_back(static_cast<char>(p.wParam & 0xFF));
    EXPECT_EQ(got, sent);
    channel_.Close();
    send("late");
    EXPECT_EQ(window_.postedCount(), 0u);
}

FILETIME cpuTime() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    ULARGE_INTEGER k{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u{{user.dwLowDateTime, user.dwHighDateTime}};
    ULARGE_INTEGER sum;
    sum.QuadPart = k.QuadPart + u.QuadPart;
    return {sum.LowPart, sum.HighPart};
}

std::chrono::milliseconds between(FILETIME a, FILETIME b) {
    const ULARGE_INTEGER x{{a.dwLowDateTime, a.dwHighDateTime}};
    const ULARGE_INTEGER y{{b.dwLowDateTime, b.dwHighDateTime}};
    return std::chrono::milliseconds((y.QuadPart - x.QuadPart) / 10000);
}

TEST_F(Win32PortTest, UnpluggedPortIsFoundGoneAndTheReaderDoesNotSpin) {
    const int port = pairs_[1];
    const char* control = std::getenv("QV_WINE_CONTROL_WIN");
    if (!control)
        GTEST_SKIP() << "needs the runner's control folder to pull the cable";
    ASSERT_EQ(channel_.Open(port, 9600, 0, 0, 8), kStatusOk);
    std::ofstream(std::string(control) + "\\unplug-" + std::to_string(port));
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (channel_.Probe(-1) == kProbeBusy && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(channel_.Probe(-1), kProbeAbsent);
    // A reader spinning on a failing port would use about all of this time.
    const FILETIME before = cpuTime();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(between(before, cpuTime()), 150ms);
    EXPECT_EQ(channel_.Close(), kStatusOk);
}

} // namespace
} // namespace qv
