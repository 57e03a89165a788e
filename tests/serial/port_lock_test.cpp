// Ports' lock files on POSIX: what a lock file that another program left means to a probe
// and to an open, and the lock file the channel keeps while it holds a port. A
// pseudo-terminal is the device, a private folder the lock folder.

#include "serial/port_lock_posix.h"
#include "serial/serial_platform_posix.h"
#include "tests/support/child_process.h"
#include "tests/support/named_row.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_folder.h"
#include "tests/support/without_root_overrides.h"

#include <gtest/gtest.h>

#include <barrier>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qv {
namespace {

namespace fs = std::filesystem;

// The id of a process that has ended and been reaped.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

class PortLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.ok());
        fs::create_directory(ports);
        fs::create_directory(locks);
        fs::create_symlink(device.slave(), ports / "com1");
    }

    test::PseudoTerminal device;
    test::TempFolder root{"qv-locks"};
    fs::path ports = root / "ports", locks = root / "locks";
    fs::path lockFile = locks / lockFileName(device.slave());
    PosixSerialPlatform platform{ports, locks};
};

TEST(LockFileName, IsTheDevicePathWithoutDevAndWithUnderscoresForSlashes) {
    EXPECT_EQ(lockFileName("/dev/pts/3"), "LCK..pts_3");
    EXPECT_EQ(lockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
}

// A lock file found in the port's place, and what it makes of the port.
struct InTheWay : test::NamedRow {
    const char* format; // the file's text, given the process id it names
    bool liveProcess;   // that id: 1 (init, alive as long as the machine) or an ended child
    bool flockHeld;     // another descriptor keeps an flock on the file
    enum { Busy, Replaced, Kept } outcome;
    int age = 0; // seconds since the file was written
};

const InTheWay kInTheWay[] = {
    {{"QtFormatNamingALiveProcess"}, "%d\nQV-5300\nhost\n\n\n", true, false, InTheWay::Busy},
    {{"MinicomFormatNamingALiveProcess"}, "%10d\n", true, false, InTheWay::Busy},
    {{"MinicomFormatNamingAnEndedProcess"}, "%10d\n", false, false, InTheWay::Replaced},
    {{"EndedProcessButItsFlockHeld"}, "%d\nqsp\nhost\n\n\n", false, true, InTheWay::Busy},
    {{"Garbled"}, "COM1 is mine\n", false, false, InTheWay::Kept},
    {{"Empty"}, "", false, false, InTheWay::Kept, 60},
    // Its program may still be writing it.
    {{"EmptyJustMade"}, "", false, false, InTheWay::Busy},
    {{"FirstLineHalfWrittenJustNow"}, "%10d", false, false, InTheWay::Busy},
    // A copy of this program holds its lock's flock: without it the id is someone else's.
    {{"OwnFormatWithoutItsFlock"},
     "%d\nport_lock_test\nhost\n\n\n",
     true,
     false,
     InTheWay::Replaced},
};

class LockInTheWay : public PortLockTest, public ::testing::WithParamInterface<InTheWay> {};

TEST_P(LockInTheWay, BusyOnlyWhileItsHolderLives) {
    const InTheWay& row = GetParam();
    char text[64];
    std::snprintf(text, sizeof text, row.format, row.liveProcess ? 1 : endedProcess());
    std::ofstream(lockFile) << text;
    fs::last_write_time(lockFile, fs::last_write_time(lockFile) - std::chrono::seconds{row.age});
    const int other = row.flockHeld ? ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (row.flockHeld) {
        ASSERT_EQ(::flock(other, LOCK_EX), 0);
    }

    const bool busy = row.outcome == InTheWay::Busy;
    EXPECT_EQ(platform.probePort(1), busy ? kProbeBusy : kProbeFree);
    EXPECT_EQ(test::readFile(lockFile), text) << "a probe leaves lock files alone";
    const OpenResult opened = platform.openPort(1);
    if (busy) {
        EXPECT_EQ(opened.handle, kInvalidHandle);
        EXPECT_EQ(opened.error, Status{EBUSY});
        EXPECT_EQ(test::readFile(lockFile), text);
        // Refused before the device was opened: it carries no exclusive flag of ours.
        const int mine = ::open(device.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        int exclusive = -1;
        EXPECT_EQ(::ioctl(mine, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);
        ::close(mine);
    } else {
        ASSERT_NE(opened.handle, kInvalidHandle);
        // A stale lock gives way to ours; one that names nobody is not ours to remove.
        EXPECT_EQ(test::readFile(lockFile),
                  row.outcome == InTheWay::Replaced ? ownLockContents() : text);
        platform.closePort(opened.handle);
        EXPECT_EQ(fs::exists(lockFile), row.outcome == InTheWay::Kept);
    }
    if (other >= 0)
        ::close(other);
}

INSTANTIATE_TEST_SUITE_P(Rows, LockInTheWay, ::testing::ValuesIn(kInTheWay), test::RowName{});

// To an ordinary user, another user's process answers kill() with EPERM: it lives.
TEST_F(PortLockTest, ALiveProcessOfAnotherUserHoldsThePort) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        if (::getuid() == 0 && ::setuid(65534) != 0) // nobody
            ::_exit(1);
        [[maybe_unused]] const ssize_t told = ::write(ready[1], "!", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    std::ofstream(lockFile) << holder << "\n";
    EXPECT_EQ(test::withoutRootOverrides([&] { return platform.probePort(1); }), kProbeBusy);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(PortLockTest, TheHeldPortsLockFileNamesThisProcessUntilThePortIsClosed) {
    const mode_t umaskBefore = ::umask(077);
    const OpenResult opened = platform.openPort(1);
    ::umask(umaskBefore);
    ASSERT_NE(opened.handle, kInvalidHandle);

    std::vector<std::string> lines;
    std::istringstream text(test::readFile(lockFile));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 5u) << "pid, program, host, machine id, boot id";
    EXPECT_EQ(lines[0], std::to_string(::getpid()));
    EXPECT_EQ(lines[1], "port_lock_test");
    // Readable by every user's programs, whatever the umask.
    EXPECT_EQ(fs::status(lockFile).permissions(), fs::perms(0644));
    // Its flock is held: a program that finds it stale still leaves it alone.
    const int other = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);

    platform.closePort(opened.handle);
    EXPECT_FALSE(fs::exists(lockFile));
}

TEST_F(PortLockTest, ClosingThePortLeavesALockThatAnotherProgramPutInItsPlace) {
    const OpenResult opened = platform.openPort(1);
    ASSERT_NE(opened.handle, kInvalidHandle);
    fs::remove(lockFile);
    std::ofstream(lockFile) << "      4242\n";
    platform.closePort(opened.handle);
    EXPECT_EQ(test::readFile(lockFile), "      4242\n");
}

// Two copies started together: every round ends with the port held under a complete lock
// file that names its holder, or refused; never held without one.
TEST_F(PortLockTest, TwoCopiesStartedTogetherNeverHoldThePortWithoutACompleteLockFile) {
    PosixSerialPlatform rival{ports, locks};
    PosixSerialPlatform* copies[] = {&platform, &rival};
    for (int round = 0; round < 400; ++round) {
        std::barrier start(2);
        OpenResult opened[2];
        std::thread second([&] { start.arrive_and_wait(), opened[1] = rival.openPort(1); });
        start.arrive_and_wait();
        opened[0] = platform.openPort(1);
        second.join();
        for (int copy : {0, 1})
            if (opened[copy].handle != kInvalidHandle) {
                EXPECT_EQ(test::readFile(lockFile), ownLockContents()) << "round " << round;
                copies[copy]->closePort(opened[copy].handle);
            }
        ASSERT_FALSE(HasFailure());
        ASSERT_FALSE(fs::exists(lockFile)) << "round " << round;
    }
    EXPECT_TRUE(fs::is_empty(locks)) << "no temporary file is left behind";
}

TEST_F(PortLockTest, APortOpensWithoutALockFileWhereNoneCanBeMade) {
    PosixSerialPlatform noFolder(ports, root / "no-such-folder");
    OpenResult opened = noFolder.openPort(1);
    ASSERT_NE(opened.handle, kInvalidHandle);
    noFolder.closePort(opened.handle);

    fs::permissions(locks, fs::perms::owner_read | fs::perms::owner_exec);
    opened = test::withoutRootOverrides([&] { return platform.openPort(1); });
    ASSERT_NE(opened.handle, kInvalidHandle);
    EXPECT_FALSE(fs::exists(lockFile));
    platform.closePort(opened.handle);
}

} // namespace
} // namespace qv
