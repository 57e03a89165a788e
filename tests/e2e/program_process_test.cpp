// The built QV-5300 program as a user starts it: its own process (offscreen), a private
// HOME and settings folder whose port folder holds the simulator's COM1, a poll interval
// of 1 second. It comes up holding the port and ends cleanly on SIGTERM.

#include "serial/serial_platform_posix.h"
#include "settings/settings_store.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/ui_driver.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::e2e {
namespace {

using qv::test::waitUntil;

// A private HOME and XDG_CONFIG_HOME for this process too, so that the settings it
// writes for the program land in the program's private folder.
class PrivateHome : public testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        home = dir_.filePath(QStringLiteral("home")).toStdString();
        config = dir_.filePath(QStringLiteral("config")).toStdString();
        fs::create_directories(home);
        qputenv("HOME", QByteArray::fromStdString(home.string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
    }

    fs::path home;
    fs::path config;

private:
    QTemporaryDir dir_;
};
PrivateHome* const kPrivateHome = [] {
    auto* env = new PrivateHome;
    testing::AddGlobalTestEnvironment(env);
    return env;
}();

// Whether process `pid` has `device` open (one of its descriptors leads there).
bool holdsOpen(pid_t pid, const fs::path& device) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code linkError;
        if (fs::read_symlink(fd.path(), linkError) == device)
            return true;
    }
    return false;
}

TEST(E2eProgramProcess, ComesUpHoldingItsPortAndEndsCleanlyOnSigterm) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path work = dir.path().toStdString();
    QCoreApplication::setApplicationName(QStringLiteral("QV-5300")); // the program file's name
    qv::SettingsStore store(QStringLiteral("QV-5300"));
    store.SetRegistryKey(QString::fromLatin1(qv::kCompanyKey));
    const fs::path ports = kPrivateHome->config / qv::kCompanyKey / "ports";
    ASSERT_EQ(fs::path(store.portsDir().toStdString()), ports);
    fs::create_directories(ports);
    store.WriteProfileInt(nullptr, qv::kComPortEntry, 1);
    store.WriteProfileInt(nullptr, qv::kLogIntervalEntry, 1);
    store.WriteProfileString(nullptr, qv::kLogFileNameEntry,
                             QString::fromStdString((work / "tavrin.log").string()));
    const std::string settingsBefore = readFile(store.fileName().toStdString());
    ASSERT_NE(settingsBefore.find("LogInterval=1"), std::string::npos) << settingsBefore;

    Simulator sim(ports, 1, 200, work / "records.log", work / "sim");
    ASSERT_TRUE(sim.plugged()) << sim.out();
    const fs::path device = sim.slavePath();

    // Without its private port folder the program would open this machine's COM1.
    ASSERT_TRUE(fs::is_directory(kPrivateHome->config / "Tavrin QV-5300" / "ports"));
    ASSERT_TRUE(isSymlink(ports / "com1"));
    ChildProcess program({QV_PROGRAM_PATH},
                         {{"HOME", kPrivateHome->home.string()},
                          {"XDG_CONFIG_HOME", kPrivateHome->config.string()},
                          {"QT_QPA_PLATFORM", "offscreen"}},
                         work / "program");
    ASSERT_TRUE(program.started());

    // Up: it holds the simulator's line, and the simulator sees it and sends.
    ASSERT_TRUE(
        waitUntil([&] { return sim.said("a program opened COM1") || program.ended(); }, 10s))
        << sim.out() << program.err();
    ASSERT_FALSE(program.ended()) << program.describeEnd() << "\n" << program.err();
    EXPECT_TRUE(holdsOpen(program.pid(), device)) << device;
    EXPECT_EQ(qv::PosixSerialPlatform(ports).probePort(1), qv::kProbeBusy);

    program.signal(SIGTERM);
    EXPECT_EQ(program.waitForExit(10s), 0) << program.describeEnd() << "\n" << program.err();
    EXPECT_EQ(qv::PosixSerialPlatform(ports).probePort(1), qv::kProbeFree);
    EXPECT_TRUE(waitUntil([&] { return sim.said("COM1 was closed by the program"); })) << sim.out();
    // Nothing is saved at the end, and no log file appears while logging is off.
    EXPECT_EQ(readFile(store.fileName().toStdString()), settingsBefore);
    EXPECT_FALSE(fs::exists(work / "tavrin.log"));
}

} // namespace
} // namespace qv::e2e
