// The built QV-5300 program as a user starts it: its own process (offscreen), a private
// HOME and settings folder whose port folder holds the simulator's COM1, a poll interval
// of 1 second. It comes up holding the port and ends cleanly on SIGTERM.

#include "serial/serial_platform_posix.h"
#include "settings/settings_store.h"
#include "settings/user_folder.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/private_home.h"
#include "tests/support/ui_driver.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::e2e {
namespace {

using qv::test::waitUntil;

// A private HOME and XDG_CONFIG_HOME for this process too, so that the settings it
// writes for the program land in the program's private folder.
test::PrivateHome* const kPrivateHome = [] {
    auto* env = new test::PrivateHome;
    testing::AddGlobalTestEnvironment(env);
    return env;
}();

// The pseudo-terminals that process `pid` has open, as their descriptors lead there
// ("/dev/pts/N", with " (deleted)" once the far end has gone).
std::vector<std::string> openPtys(pid_t pid) {
    std::vector<std::string> ptys;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code linkError;
        const std::string target = fs::read_symlink(fd.path(), linkError).string();
        if (target.starts_with("/dev/pts/"))
            ptys.push_back(target);
    }
    return ptys;
}

// The program in its own process, with a private settings folder whose port folder holds
// the simulator's COM1.
class E2eProgramProcess : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QCoreApplication::setApplicationName(QStringLiteral("QV-5300")); // the program's name
        store_.SetRegistryKey(qv::kCompanyKey);
        ASSERT_EQ(qv::portsFolder(), ports_);
        fs::create_directories(ports_);
    }

    // Writes the settings, plugs the simulator in and starts the program with `options`;
    // returns once the simulator has seen the program open its port.
    void start(int intervalSeconds, const std::vector<std::string>& options = {}) {
        store_.WriteProfileInt(nullptr, qv::kComPortEntry, 1);
        store_.WriteProfileInt(nullptr, qv::kLogIntervalEntry, intervalSeconds);
        store_.WriteProfileString(nullptr, qv::kLogFileNameEntry, logPath_.string());
        settingsBefore_ = readFile(settingsPath());
        ASSERT_NE(settingsBefore_.find("LogInterval=" + std::to_string(intervalSeconds)),
                  std::string::npos)
            << settingsBefore_;

        sim_.emplace(ports_, 1, 200, work() / "records.log", work() / "sim");
        ASSERT_TRUE(sim_->plugged()) << sim_->out();
        device_ = sim_->slavePath();

        // Without its private port folder the program would open this machine's COM1.
        ASSERT_TRUE(fs::is_directory(kPrivateHome->config / "Tavrin QV-5300" / "ports"));
        ASSERT_TRUE(isSymlink(ports_ / "com1"));
        std::vector<std::string> command{QV_PROGRAM_PATH};
        command.insert(command.end(), options.begin(), options.end());
        program_.emplace(command,
                         std::vector<std::pair<std::string, std::string>>{
                             {"HOME", kPrivateHome->home.string()},
                             {"XDG_CONFIG_HOME", kPrivateHome->config.string()},
                             {"XDG_RUNTIME_DIR", kPrivateHome->runtime.string()},
                             {"QT_QPA_PLATFORM", "offscreen"}},
                         work() / "program");
        ASSERT_TRUE(program_->started());
        ASSERT_TRUE(waitUntil(
            [&] { return sim_->said("a program opened COM1") || program_->ended(); }, 10s))
            << sim_->out() << program_->err();
        ASSERT_FALSE(program_->ended()) << program_->describeEnd() << "\n" << program_->err();
    }

    // SIGTERM ends the program with status 0, within a bounded wait.
    void terminate() {
        program_->signal(SIGTERM);
        EXPECT_EQ(program_->waitForExit(10s), 0) << program_->describeEnd() << "\n"
                                                 << program_->err();
    }

    fs::path work() const { return dir_.path().toStdString(); }
    std::string settingsPath() const {
        return qv::settingsFilePath(store_.company(), store_.applicationName()).string();
    }

    QTemporaryDir dir_;
    qv::SettingsStore store_{"QV-5300"};
    const fs::path ports_ = kPrivateHome->config / qv::kCompanyKey / "ports";
    const fs::path logPath_ = work() / "tavrin.log";
    std::string settingsBefore_;
    std::optional<Simulator> sim_;
    std::string device_; // the simulator's pseudo-terminal
    std::optional<ChildProcess> program_;
};

TEST_F(E2eProgramProcess, ComesUpHoldingItsPortAndEndsCleanlyOnSigterm) {
    start(1);
    EXPECT_EQ(openPtys(program_->pid()), std::vector<std::string>{device_});
    EXPECT_EQ(qv::PosixSerialPlatform(ports_, qv::systemLockFolder()).probePort(1), qv::kProbeBusy);

    terminate();
    EXPECT_EQ(qv::PosixSerialPlatform(ports_, qv::systemLockFolder()).probePort(1), qv::kProbeFree);
    EXPECT_TRUE(waitUntil([&] { return sim_->said("COM1 was closed by the program"); }))
        << sim_->out();
    // Nothing but the window's place is saved at the end, and no log file appears while
    // logging is off.
    std::string after = readFile(settingsPath());
    for (const char* entry : {"WindowLeft=", "WindowTop="}) {
        const std::size_t at = after.find(entry);
        ASSERT_NE(at, std::string::npos) << entry;
        after.erase(at, after.find('\n', at) + 1 - at);
    }
    EXPECT_EQ(after, settingsBefore_);
    EXPECT_FALSE(fs::exists(logPath_));
}

// Unplugged at a 3-second interval: the unanswered poll finds the port gone and the
// program lets go of the dead line (its "COM port disconnected" box is then up). SIGTERM
// still ends it cleanly, box and all.
TEST_F(E2eProgramProcess, LetsGoOfALostPortAndEndsOnSigtermWithItsBoxOpen) {
    start(3);
    ASSERT_TRUE(sim_->unplug()) << sim_->out();
    EXPECT_TRUE(waitUntil([&] { return openPtys(program_->pid()).empty(); }, 15s))
        << testing::PrintToString(openPtys(program_->pid()));
    terminate();
}

// Unattended: started with --start-log and "AutoReconnect" on, it logs at once, lets go of
// the unplugged sensor without a box, takes the replugged one back by itself and logs on
// into the same file, which it never empties (Append is off).
TEST_F(E2eProgramProcess, LogsFromTheStartAndResumesByItselfAfterAnUnplugAndReplug) {
    store_.WriteProfileInt(nullptr, qv::kAutoReconnectEntry, 1);
    store_.WriteProfileInt(nullptr, qv::kAppendEntry, 0);
    start(1, {"--start-log"});
    ASSERT_TRUE(waitUntil([&] { return !readFile(logPath_).empty(); }, 15s)) << program_->err();
    ASSERT_TRUE(sim_->unplug()) << sim_->out();
    ASSERT_TRUE(waitUntil([&] { return openPtys(program_->pid()).empty(); }, 15s));
    const std::string atUnplug = readFile(logPath_);

    sim_.emplace(ports_, 1, 200, work() / "records-replugged.log", work() / "sim-replugged");
    ASSERT_TRUE(sim_->plugged()) << sim_->out();
    EXPECT_TRUE(waitUntil(
        [&] {
            const std::string now = readFile(logPath_);
            return now.size() > atUnplug.size() && now.starts_with(atUnplug);
        },
        15s))
        << program_->err();
    EXPECT_EQ(program_->err().find("COM port disconnected"), std::string::npos) << program_->err();
    terminate();
}

} // namespace
} // namespace qv::e2e
