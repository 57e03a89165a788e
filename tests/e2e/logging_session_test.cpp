// One logging session end to end, in this process: the real main window (offscreen),
// the real serial channel on the simulator's pseudo-terminal through the user's port
// folder, a real settings file and a real log file, all in a private HOME. The sensor
// is unplugged while logging and plugged in again; the user then confirms Setup with OK.

#include "acquisition/clock.h"
#include "app/qt/qt_main_dialog.h"
#include "app/qt/qt_setup_dialog.h"
#include "serial/serial_platform_posix.h"
#include "settings/settings_store.h"
#include "settings/user_folder.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/private_home.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/ui_driver.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace qv::e2e {
namespace {

using qv::qt::QtMainDialog;
using qv::qt::QtSetupDialog;
using qv::test::answerNextBox;
using qv::test::Box;
using qv::test::child;
using qv::test::click;
using qv::test::waitUntil;

constexpr int kSimPeriodMs = 200;
// Long enough for the reply timeout (2 s) to fire between two poll ticks, so that the
// lost port is noticed; at 1 s each tick restarts the timeout before it fires.
constexpr int kIntervalSeconds = 3;
// Bound of a wait that spans poll ticks: two intervals and the reply timeout, and slack
// for a loaded machine.
constexpr auto kTickWait = 20s;

[[maybe_unused]] testing::Environment* const kPrivateHome =
    testing::AddGlobalTestEnvironment(new test::PrivateHome);

class E2eLoggingSession : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QCoreApplication::setApplicationName(QStringLiteral("QV-5300"));
        store_.SetRegistryKey(qv::kCompanyKey);
        ports_ = qv::portsFolder();
        fs::create_directories(ports_);
        fs::create_directories(locks_);
        store_.WriteProfileInt(nullptr, qv::kComPortEntry, 1);
        store_.WriteProfileInt(nullptr, qv::kLogIntervalEntry, kIntervalSeconds);
        store_.WriteProfileString(nullptr, qv::kLogFileNameEntry, logPath_);
    }

    // A box answer that no box took must not answer the next test's.
    void TearDown() override { qv::test::clearBoxAnswer(); }

    void plugIn(const char* name, const std::vector<std::string>& simArgs = {}) {
        sim_.reset(); // a simulator that ended is reaped before the next one starts
        sim_ = std::make_unique<Simulator>(ports_, 1, kSimPeriodMs, recordsPath_, dir() / name,
                                           simArgs);
        ASSERT_TRUE(sim_->plugged()) << sim_->out();
    }
    void openWindow() {
        platform_ = std::make_unique<qv::PosixSerialPlatform>(ports_, locks_);
        window_ = std::make_unique<QtMainDialog>(store_, *platform_, clock_);
        window_->show();
        window_->initDialog();
    }

    fs::path dir() const { return dir_.path().toStdString(); }
    QString text(int id) const {
        if (auto* edit = child<QLineEdit>(window_.get(), id))
            return edit->text();
        return child<QAbstractButton>(window_.get(), id)->text();
    }
    // The two values the window shows, or nullopt when either is not a number.
    std::optional<Pair> shown() const {
        bool okH = false, okT = false;
        const double h = text(qv::ctl::kHumidity).toDouble(&okH);
        const double t = text(qv::ctl::kTemperature).toDouble(&okT);
        if (!okH || !okT)
            return std::nullopt;
        return Pair{tenths(h), tenths(t)};
    }

    // Whether the simulator sent these values, in this order. It lists a record just
    // after sending it, so the program may have it first: waits a little.
    bool sentInThisOrder(const std::vector<Pair>& pairs) const {
        return waitUntil([&] { return isSubsequence(pairs, recordsLogPairs(recordsPath_)); });
    }

    QTemporaryDir dir_;
    qv::SettingsStore store_{"QV-5300"};
    fs::path ports_;
    fs::path locks_ = dir() / "locks";
    std::string logPath_ = (dir() / "tavrin.log").string();
    fs::path recordsPath_ = dir() / "records.log";
    std::unique_ptr<Simulator> sim_;
    // After the simulator: the window lets go of the line before the line goes.
    std::unique_ptr<qv::PosixSerialPlatform> platform_;
    qv::SystemClock clock_;
    std::unique_ptr<QtMainDialog> window_;
};

TEST_F(E2eLoggingSession, LinesArriveSurviveAnUnplugAndGoOnAfterReplugAndSetup) {
    plugIn("sim-first");
    openWindow();
    ASSERT_TRUE(waitUntil([&] { return sim_->said("a program opened COM1"); })) << sim_->out();
    ASSERT_EQ(window_->controller().interval(), kIntervalSeconds);

    // Logging: lines arrive with the simulator's values, shown as received.
    click(window_.get(), qv::ctl::kStartStopLog);
    ASSERT_EQ(text(qv::ctl::kStartStopLog), "Stop Log");
    ASSERT_TRUE(waitUntil([&] { return window_->log().recordCount() >= 1; }, kTickWait));
    EXPECT_EQ(text(qv::ctl::kHumidity).size(), 5) << text(qv::ctl::kHumidity).toStdString();
    EXPECT_EQ(text(qv::ctl::kTemperature).size(), 5);
    ASSERT_TRUE(shown().has_value()) << text(qv::ctl::kHumidity).toStdString();
    EXPECT_TRUE(sentInThisOrder({*shown()})) << testing::PrintToString(*shown());
    EXPECT_EQ(text(qv::ctl::kRecordCount), QString::number(window_->log().recordCount()));

    // Unplugged: the next poll gets no answer, the timeout finds the port gone.
    Box lost;
    answerNextBox(lost);
    ASSERT_TRUE(sim_->unplug()) << sim_->out();
    ASSERT_TRUE(waitUntil([&] { return lost.seen; }, kTickWait + 1s));
    EXPECT_EQ(lost.text, "COM port disconnected");
    EXPECT_EQ(lost.owner, window_.get());
    EXPECT_EQ(text(qv::ctl::kHumidity), "");
    EXPECT_EQ(text(qv::ctl::kTemperature), "");
    // The log is left as it was: still on, its file open and whole on disk.
    EXPECT_TRUE(window_->log().logging());
    EXPECT_TRUE(window_->log().fileOpen());
    EXPECT_EQ(text(qv::ctl::kStartStopLog), "Stop Log");
    const int countAtUnplug = window_->log().recordCount();
    std::string textAtUnplug;
    const std::vector<Pair> beforeUnplug = programLogPairs(logPath_, &textAtUnplug);
    EXPECT_EQ(static_cast<int>(beforeUnplug.size()), countAtUnplug);
    EXPECT_TRUE(sentInThisOrder(beforeUnplug));

    // Plugged in again (a new pseudo-terminal under the same link): Setup with OK finds
    // the port free, reopens it and writes "ComPort".
    plugIn("sim-second");
    QString selected = "<not run>";
    qv::test::whenModal<QtSetupDialog>([&](QtSetupDialog* setup) {
        selected = child<QComboBox>(setup, qv::ctl::kPortList)->currentText();
        click(setup, qv::kIdOk);
    });
    qv::test::pressSetup(window_.get());
    EXPECT_EQ(selected, "") << "a free port is listed, not preselected";
    ASSERT_TRUE(waitUntil([&] { return sim_->said("a program opened COM1"); })) << sim_->out();
    EXPECT_EQ(qv::PosixSerialPlatform(ports_, locks_).probePort(1), qv::kProbeBusy);
    EXPECT_EQ(store_.GetProfileInt(nullptr, qv::kComPortEntry, -1), 1);

    // Logging goes on into the same file, after the lines already there. The poll that
    // went unanswered is still pending, so the first record after the reopen is logged at
    // once; the second needs a tick of the restarted poll timer.
    ASSERT_TRUE(
        waitUntil([&] { return window_->log().recordCount() >= countAtUnplug + 2; }, kTickWait));
    click(window_.get(), qv::ctl::kStartStopLog);
    EXPECT_EQ(text(qv::ctl::kStartStopLog), "Start Log");
    std::string finalText;
    const std::vector<Pair> logged = programLogPairs(logPath_, &finalText);
    EXPECT_EQ(static_cast<int>(logged.size()), window_->log().recordCount());
    EXPECT_TRUE(finalText.starts_with(textAtUnplug)) << finalText;
    EXPECT_TRUE(sentInThisOrder(logged)) << "logged values in the order the simulator sent them";
    EXPECT_EQ(text(qv::ctl::kRecordCount), QString::number(window_->log().recordCount()));

    window_.reset();
    EXPECT_EQ(qv::PosixSerialPlatform(ports_, locks_).probePort(1), qv::kProbeFree);
}

// Junk before every record (random bytes, broken records) is read and dropped on the way:
// every line logged is a record the simulator sent, whole.
TEST_F(E2eLoggingSession, JunkOnTheLineNeverReachesTheLog) {
    store_.WriteProfileInt(nullptr, qv::kLogIntervalEntry, 1);
    plugIn("sim-noisy", {"--noise", "1"});
    openWindow();
    click(window_.get(), qv::ctl::kStartStopLog);
    ASSERT_TRUE(waitUntil([&] { return window_->log().recordCount() >= 3; }, kTickWait));
    click(window_.get(), qv::ctl::kStartStopLog);
    const std::vector<Pair> logged = programLogPairs(logPath_);
    EXPECT_EQ(static_cast<int>(logged.size()), window_->log().recordCount());
    EXPECT_TRUE(sentInThisOrder(logged));
    ASSERT_TRUE(sim_->unplug()); // its summary counts the junk sent
    EXPECT_TRUE(sim_->said(", junk ")) << sim_->out();
}

// A port whose lock file names a live process belongs to another program (minicom takes
// no other lock), so Setup does not offer it; the program's own port carries its lock.
TEST_F(E2eLoggingSession, SetupOffersNoPortThatALiveProgramHasLocked) {
    plugIn("sim-locks");
    openWindow();
    qv::test::PseudoTerminal locked, free;
    ASSERT_TRUE(locked.ok() && free.ok());
    fs::create_symlink(locked.slave(), ports_ / "com2");
    fs::create_symlink(free.slave(), ports_ / "com3");
    // minicom's lock, naming init, which lives as long as the machine.
    std::ofstream(locks_ / qv::lockFileName(locked.slave())) << "         1\n";

    QStringList offered;
    qv::test::whenModal<QtSetupDialog>([&](QtSetupDialog* setup) {
        const auto* list = child<QComboBox>(setup, qv::ctl::kPortList);
        for (int i = 0; i < list->count(); ++i)
            offered << list->itemText(i);
        click(setup, qv::kIdCancel);
    });
    qv::test::pressSetup(window_.get());
    EXPECT_EQ(offered, QStringList({"COM1", "COM3"}));
    EXPECT_TRUE(readFile(locks_ / qv::lockFileName(sim_->slavePath()))
                    .starts_with(std::to_string(::getpid()) + "\n"));
    fs::remove(ports_ / "com2");
    fs::remove(ports_ / "com3");
}

} // namespace
} // namespace qv::e2e
