// The pure pieces of the POSIX serial layer: which device a port number names, what an
// open error says about a port, and the terminal settings made from line settings.

#include "serial/port_map_posix.h"
#include "serial/probe_errors_posix.h"
#include "serial/termios_map_posix.h"
#include "tests/support/named_row.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace qv {
namespace {

namespace fs = std::filesystem;

// --- port map ---

struct DefaultRow {
    int port;
    std::optional<std::string> device;
    friend std::ostream& operator<<(std::ostream& out, const DefaultRow& row) {
        return out << "COM" << row.port;
    }
};

class DefaultTable : public ::testing::TestWithParam<DefaultRow> {};

TEST_P(DefaultTable, MapsTheMachinesFamiliesWithoutAPortFolder) {
    const fs::path missing = fs::path(::testing::TempDir()) / "qv-no-such-folder" / "ports";
    EXPECT_EQ(portDevicePath(GetParam().port, missing), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DefaultTable,
    ::testing::Values(DefaultRow{1, "/dev/ttyS0"}, DefaultRow{32, "/dev/ttyS31"},
                      DefaultRow{33, "/dev/ttyUSB0"}, DefaultRow{64, "/dev/ttyUSB31"},
                      DefaultRow{65, "/dev/ttyACM0"}, DefaultRow{96, "/dev/ttyACM31"},
                      DefaultRow{97, std::nullopt}, DefaultRow{256, std::nullopt},
                      DefaultRow{0, std::nullopt}, DefaultRow{-1, std::nullopt}),
    [](const auto& info) {
        return "Port" + std::to_string(info.index) + "_" +
               (info.param.port < 0 ? "minus" : std::to_string(info.param.port));
    });

class PortFolderMap : public ::testing::Test {
protected:
    PortFolderMap() { fs::create_directory(dir); }

    test::TempFolder tempFolder{"qv-portmap"};
    fs::path root = tempFolder.path(), dir = root / "ports";
};

TEST_F(PortFolderMap, FolderAloneDefinesThePorts) {
    fs::create_symlink("/dev/serial/by-id/usb-FTDI-if00-port0", dir / "com1");
    fs::create_symlink("/dev/null", dir / "com12");
    fs::create_symlink("/dev/null", dir / "com012");
    fs::create_symlink("/dev/null", dir / "COM3");
    fs::create_symlink("/dev/null", dir / "com0");
    fs::create_symlink("/dev/null", dir / "com257");

    // A dangling link still names the port; opening it then says it is absent.
    EXPECT_EQ(portDevicePath(1, dir), (dir / "com1").string());
    EXPECT_EQ(portDevicePath(12, dir), (dir / "com12").string());
    EXPECT_EQ(portDevicePath(2, dir), std::nullopt); // no entry: no fallback to ttyS1
    EXPECT_EQ(portDevicePath(3, dir), std::nullopt); // names are lower case
    EXPECT_EQ(portDevicePath(0, dir), std::nullopt); // 1 to 256 only
    EXPECT_EQ(portDevicePath(257, dir), std::nullopt);
}

TEST_F(PortFolderMap, SomethingElseInThePlaceOfTheFolderMeansNoPorts) {
    const fs::path file = root / "file";
    std::ofstream(file) << "not a folder";
    EXPECT_EQ(portDevicePath(1, file), std::nullopt);
    fs::create_symlink(root / "nowhere", root / "dangling");
    EXPECT_EQ(portDevicePath(1, root / "dangling"), std::nullopt);
}

// --- probe errors ---

TEST(ProbeErrors, HeldMeansBusyEverythingElseAbsent) {
    const struct {
        int error;
        ProbeResult result;
    } rows[] = {
        {0, kProbeFree},         {EBUSY, kProbeBusy},    {EWOULDBLOCK, kProbeBusy},
        {EACCES, kProbeBusy},    {EPERM, kProbeBusy},    {ENOENT, kProbeAbsent},
        {ENOTDIR, kProbeAbsent}, {ENXIO, kProbeAbsent},  {ENODEV, kProbeAbsent},
        {EIO, kProbeAbsent},     {ENOTTY, kProbeAbsent}, {ELOOP, kProbeAbsent},
        {EMFILE, kProbeAbsent},
    };
    for (const auto& row : rows)
        EXPECT_EQ(probeResultFromErrno(row.error), row.result) << "errno " << row.error;
}

TEST(ReadErrors, OnlyAGoneDeviceEndsWatching) {
    const std::pair<int, ReadFailure> rows[] = {
        {EAGAIN, ReadFailure::NoData}, {EWOULDBLOCK, ReadFailure::NoData},
        {EIO, ReadFailure::HungUp},    {ENXIO, ReadFailure::HungUp},
        {ENODEV, ReadFailure::HungUp}, {EBADF, ReadFailure::Other},
        {EISDIR, ReadFailure::Other},  {EINVAL, ReadFailure::Other},
    };
    for (const auto& [error, failure] : rows)
        EXPECT_EQ(readFailureFromErrno(error), failure) << "errno " << error;
}

// --- terminal settings ---

termios cooked() {
    termios t{};
    t.c_iflag = ICRNL | IXON | BRKINT | ISTRIP | INPCK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | HUPCL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 5;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    return t;
}

Dcb lineSettings(std::uint32_t baud, int size, int parity, int stop) {
    Dcb dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = static_cast<std::uint8_t>(size);
    dcb.Parity = static_cast<std::uint8_t>(parity);
    dcb.StopBits = static_cast<std::uint8_t>(stop);
    return dcb;
}

TEST(TermiosMap, AppliedSettingsAreRawLikeAWindowsPort) {
    termios t = cooked();
    ASSERT_EQ(applyDcbToTermios(lineSettings(9600, 8, 0, 0), t), 0u);
    // A carriage return must reach the reader as it is, and nothing comes back.
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | BRKINT | INPCK), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
    EXPECT_NE(t.c_cflag & HUPCL, 0u); // untouched
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(cfgetispeed(&t), B9600);
}

struct FramingRow : test::NamedRow {
    Dcb dcb;
    tcflag_t cflag; // CSIZE, parity and stop bits expected
};

class TermiosFraming : public ::testing::TestWithParam<FramingRow> {};

TEST_P(TermiosFraming, WritesAndReadsBackTheFraming) {
    termios t = cooked();
    ASSERT_EQ(applyDcbToTermios(GetParam().dcb, t), 0u);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CMSPAR), GetParam().cflag);
    const Dcb back = dcbFromTermios(t, std::nullopt);
    EXPECT_EQ(back.BaudRate, GetParam().dcb.BaudRate);
    EXPECT_EQ(back.ByteSize, GetParam().dcb.ByteSize);
    EXPECT_EQ(back.Parity, GetParam().dcb.Parity);
    EXPECT_EQ(back.StopBits, GetParam().dcb.StopBits);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TermiosFraming,
    ::testing::Values(
        FramingRow{"Sensor8N1", lineSettings(9600, 8, 0, 0), CS8},
        FramingRow{"Odd7", lineSettings(1200, 7, 1, 0), CS7 | PARENB | PARODD},
        FramingRow{"Even6TwoStop", lineSettings(115200, 6, 2, 2), CS6 | PARENB | CSTOPB},
        FramingRow{"Mark", lineSettings(19200, 8, 3, 0), CS8 | PARENB | PARODD | CMSPAR},
        FramingRow{"Space", lineSettings(300, 8, 4, 0), CS8 | PARENB | CMSPAR},
        FramingRow{"FiveBitsOneAndAHalf", lineSettings(50, 5, 0, 1), CS5 | CSTOPB}),
    test::RowName{});

TEST(TermiosMap, RefusesWhatThePlatformCannotDo) {
    const struct {
        const char* what;
        Dcb dcb;
    } rows[] = {
        {"odd rate", lineSettings(9601, 8, 0, 0)},
        {"zero rate", lineSettings(0, 8, 0, 0)},
        {"9 bits", lineSettings(9600, 9, 0, 0)},
        {"4 bits", lineSettings(9600, 4, 0, 0)},
        {"parity 5", lineSettings(9600, 8, 5, 0)},
        {"1.5 stop with 8 bits", lineSettings(9600, 8, 0, 1)},
        {"stop code 3", lineSettings(9600, 8, 0, 3)},
    };
    for (const auto& row : rows) {
        termios t = cooked();
        const termios before = t;
        EXPECT_EQ(applyDcbToTermios(row.dcb, t), Status{EINVAL}) << row.what;
        EXPECT_TRUE(termiosTaken(before, t)) << row.what << ": changed on refusal";
    }
}

TEST(TermiosMap, RtsHandshakeIsHardwareFlowControl) {
    termios t = cooked();
    Dcb dcb = lineSettings(9600, 8, 0, 0);
    dcb.setRtsControl(kRtsHandshake);
    ASSERT_EQ(applyDcbToTermios(dcb, t), 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(dcbFromTermios(t, std::nullopt).rtsControl(), kRtsHandshake);

    dcb.setRtsControl(kRtsEnable);
    ASSERT_EQ(applyDcbToTermios(dcb, t), 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
}

TEST(TermiosMap, NoticesADriverThatForcedAnotherFraming) {
    termios wanted = cooked();
    ASSERT_EQ(applyDcbToTermios(lineSettings(9600, 7, 2, 0), wanted), 0u);
    EXPECT_TRUE(termiosTaken(wanted, wanted));
    // A pseudo-terminal, for one, forces 8 bits without parity.
    termios forced = wanted;
    forced.c_cflag = (forced.c_cflag & ~(CSIZE | PARENB)) | CS8;
    EXPECT_FALSE(termiosTaken(wanted, forced));
    termios slower = wanted;
    cfsetospeed(&slower, B4800);
    EXPECT_FALSE(termiosTaken(wanted, slower));
}

} // namespace
} // namespace qv
