// Faults met by the whole program: the real main window with its own log, controller
// and channel, offscreen, over an in-memory serial line or a port folder of
// pseudo-terminals, with a real settings file and real log files. Each fault must leave
// the program running, without a busy loop, with a clear message, and with every line
// it counted in the file.
//
// Some faults need a file system of their own (a full one, a read-only one): the test
// mounts one when it may (root in a private mount namespace or a container) and is
// skipped, saying why, otherwise.

#include "app/qt/dialog_builder.h"
#include "app/qt/qt_main_dialog.h"
#include "app/qt/qt_setup_dialog.h"
#include "serial/serial_platform_posix.h"
#include "settings/settings_store.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/named_row.h"
#include "tests/support/private_home.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/ui_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

using qv::qt::QtMainDialog;
using qv::qt::QtSetupDialog;
using qv::test::kRecord;
const QRegularExpression
    kLogLine(QStringLiteral(R"(^\d\d/\d\d/\d{4}\t\d\d:\d\d:\d\d\t[ \d]\d\.\d\t[ \d-]\d\.\d$)"));

[[maybe_unused]] testing::Environment* const kPrivateHome =
    testing::AddGlobalTestEnvironment(new qv::test::PrivateHome);

using qv::test::child;
using qv::test::click;
using qv::test::NamedRow;
using qv::test::RowName;
using qv::test::waitUntil;

// Lets the program run for a bounded time while the test watches.
void runFor(std::chrono::milliseconds span) {
    waitUntil([] { return false; }, span);
}

// Process CPU time (all threads) against wall time over a stretch of the run: a busy
// loop anywhere in the program shows as a share near one.
class CpuMeter {
public:
    CpuMeter() {
        wall_.start();
        cpu0_ = cpuMs();
    }
    double share() const {
        const double wall = std::max<double>(1, static_cast<double>(wall_.elapsed()));
        return (cpuMs() - cpu0_) / wall;
    }
    qint64 wallMs() const { return wall_.elapsed(); }

private:
    static double cpuMs() {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
               (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
    }
    QElapsedTimer wall_;
    double cpu0_ = 0;
};
// Far above what a program waiting on timers uses, far below a spinning thread.
constexpr double kMaxCpuShare = 0.5;

// Answers every message box of the window services, keeping what each showed.
class BoxAnswerer {
public:
    struct Seen {
        QString text;
        qv::BoxIcon icon;
    };
    BoxAnswerer() { answerNext(); }
    ~BoxAnswerer() { qv::test::clearBoxAnswer(); }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    int count(const QString& text) const {
        return static_cast<int>(
            std::count_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.text == text; }));
    }
    QStringList texts() const {
        QStringList all;
        for (const Seen& s : seen)
            all << s.text;
        return all;
    }
    std::vector<Seen> seen;
    // The user is away: the next box stays open while this runs, in the box's place, and
    // may run the event loop as the box's own loop would. Boxes shown meanwhile are
    // answered at once.
    std::function<void()> awayDuringNextBox;

private:
    void answerNext() {
        qv::qt::QtWindowServices::setNextAnswer([this](const qv::qt::ShownBox& box) {
            seen.push_back({QString::fromStdString(box.text), box.icon});
            answerNext();
            if (auto away = std::exchange(awayDuringNextBox, {}))
                away();
        });
    }
};

// Drives the next setup dialog: `edit` works on it, then OK.
void setupOk(QtMainDialog* window, std::function<void(QtSetupDialog*)> edit) {
    qv::test::whenModal<QtSetupDialog>([=](QtSetupDialog* dialog) {
        edit(dialog);
        click(dialog, qv::kIdOk);
    });
    qv::test::pressSetup(window);
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // after the last line's end
    return lines;
}

// Every line whole and well-formed: no torn or doubled line after a failed write.
void expectWellFormed(const QStringList& lines) {
    for (const QString& line : lines)
        EXPECT_TRUE(kLogLine.match(line).hasMatch()) << '"' << line.toStdString() << '"';
}

// A file system mounted over a folder for one test, detached again at the end.
class Mount {
public:
    // A tmpfs of `options` (e.g. "size=64k") over `folder`.
    static std::unique_ptr<Mount> tmpfs(const QString& folder, const char* options, QString& why) {
        return make(folder, why, [&](const char* at) {
            return ::mount("qv-faults", at, "tmpfs", MS_NOSUID | MS_NODEV, options);
        });
    }
    // `folder` itself, read-only.
    static std::unique_ptr<Mount> readOnly(const QString& folder, QString& why) {
        return make(folder, why, [](const char* at) {
            if (::mount(at, at, nullptr, MS_BIND, nullptr) != 0)
                return -1;
            if (::mount(nullptr, at, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
                const int error = errno;
                ::umount2(at, MNT_DETACH);
                errno = error;
                return -1;
            }
            return 0;
        });
    }
    ~Mount() { ::umount2(at_.constData(), MNT_DETACH); }

private:
    static std::unique_ptr<Mount> make(const QString& folder, QString& why,
                                       const std::function<int(const char*)>& mountAt) {
        const QByteArray at = folder.toLocal8Bit();
        if (mountAt(at.constData()) != 0) {
            why = QStringLiteral("cannot mount over %1 here (%2); needs root in a mount "
                                 "namespace of its own")
                      .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
            return nullptr;
        }
        return std::unique_ptr<Mount>(new Mount(at));
    }
    explicit Mount(QByteArray at) : at_(std::move(at)) {}
    QByteArray at_;
};

class WindowFaults : public qv::test::MainWindowFixture {
protected:
    WindowFaults() : MainWindowFixture(QStringLiteral("QV-5300-faults-")) {}
    void TearDown() override {
        dlg_.reset();
        MainWindowFixture::TearDown();
    }

    int linesOn() const {
        const auto calls = fake_.calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), "dtr 1"));
    }
    QString diskFull(const QString& path) const {
        return QStringLiteral("Disk full while accessing %1.").arg(path);
    }

    BoxAnswerer boxes_;
};

// A pseudo-terminal standing in for the sensor's adapter, reached through a comN link;
// its sends never block.
struct Pty : qv::test::PseudoTerminal {
    Pty() : PseudoTerminal(/*nonBlocking=*/true) {}
    // What the sensor sends; whatever the logger wrote is read away first.
    void send(const char* bytes) {
        drain();
        PseudoTerminal::send(bytes);
    }
    void unplug() { closeMaster(); }
};

// The sensor's adapter is pulled out half-way through a record and plugged in again.
// The window reports the loss once, does not spin while the port is gone, and after the
// port is chosen again in the setup dialog the sensor's next good record is shown and
// logged.
TEST_F(WindowFaults, PortVanishingMidRecordIsReportedOnceAndTheNextGoodRecordIsLogged) {
    QDir ports(dir_.filePath(QStringLiteral("ports")));
    ASSERT_TRUE(ports.mkpath(QStringLiteral(".")));
    const QByteArray link = ports.filePath(QStringLiteral("com1")).toLocal8Bit();
    auto sensor = std::make_unique<Pty>();
    ASSERT_FALSE(sensor->slave().empty());
    ASSERT_EQ(::symlink(sensor->slave().c_str(), link.constData()), 0);
    // The reply timeout (2 s) only fires when the poll interval is longer.
    store_->WriteProfileInt(nullptr, qv::kLogIntervalEntry, 3);
    qv::PosixSerialPlatform platform(ports.path().toStdString(), {});
    open(&platform);
    click(dlg_.get(), qv::ctl::kStartStopLog);

    // The sensor answers every 100 ms while plugged in; a pty has no lines to poll it.
    const char* record = kRecord;
    QTimer sensorClock;
    QObject::connect(&sensorClock, &QTimer::timeout, [&] { sensor->send(record); });
    sensorClock.start(100);
    ASSERT_TRUE(waitUntil([&] { return dlg_->log().recordCount() >= 1; }));

    sensorClock.stop();
    sensor->send("H 45");
    sensor->unplug();
    ASSERT_EQ(::unlink(link.constData()), 0);
    const int loggedBefore = dlg_->log().recordCount();
    const CpuMeter unplugged;
    ASSERT_TRUE(waitUntil([&] { return boxes_.count("COM port disconnected") > 0; }));
    runFor(1500ms); // nothing more may happen while the port is gone
    EXPECT_LT(unplugged.share(), kMaxCpuShare) << "over " << unplugged.wallMs() << " ms";
    EXPECT_EQ(boxes_.texts(), QStringList{"COM port disconnected"});
    EXPECT_EQ(text(qv::ctl::kHumidity), "");
    EXPECT_TRUE(dlg_->log().fileOpen());

    sensor = std::make_unique<Pty>();
    ASSERT_EQ(::symlink(sensor->slave().c_str(), link.constData()), 0);
    setupOk(dlg_.get(), [](QtSetupDialog*) {}); // the same port, free again: reopened
    record = "H 50.2 T 19.8\r";
    sensorClock.start(100);
    ASSERT_TRUE(waitUntil([&] { return dlg_->log().recordCount() > loggedBefore; }));
    EXPECT_EQ(text(qv::ctl::kHumidity), " 50.2");
    EXPECT_EQ(text(qv::ctl::kTemperature), " 19.8");
    click(dlg_.get(), qv::ctl::kStartStopLog);
    const QStringList lines = fileLines(logPath_);
    ASSERT_EQ(lines.size(), dlg_->log().recordCount());
    expectWellFormed(lines);
    EXPECT_TRUE(lines.last().endsWith("\t50.2\t19.8"));
    EXPECT_EQ(boxes_.texts(), QStringList{"COM port disconnected"});
    dlg_.reset(); // the channel lets go of the pty before it closes
}

// The disk fills while logging: the failure is shown with the file's path, the program
// goes on (and logs again by itself once there is room), and every line it counted is
// in the file, whole.
TEST_F(WindowFaults, DiskFillingUpIsShownAndEveryCountedLineIsInTheFile) {
    const QString folder = dir_.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QString why;
    const auto mount = Mount::tmpfs(folder, "size=64k", why);
    if (!mount)
        GTEST_SKIP() << why.toStdString();
    // Room for about a hundred lines: a filler takes all but the last page.
    const QString filler = folder + QStringLiteral("/filler");
    {
        std::ofstream out(filler.toStdString(), std::ios::binary);
        out << std::string(60 * 1024, 'x');
    }
    const QString logPath = folder + QStringLiteral("/tavrin.log");
    store_->WriteProfileString(nullptr, qv::kLogFileNameEntry, logPath.toStdString());
    store_->WriteProfileInt(nullptr, qv::kLogIntervalEntry, 0); // polls every 10 ms
    open();
    click(dlg_.get(), qv::ctl::kStartStopLog);

    ASSERT_TRUE(waitUntil([&] { return !boxes_.seen.empty(); }, 30s));
    EXPECT_EQ(boxes_.seen.front().text, diskFull(logPath));
    EXPECT_EQ(boxes_.seen.front().icon, qv::BoxIcon::Stop);
    const int countWhenFull = dlg_->log().recordCount();
    EXPECT_GT(countWhenFull, 0);
    // A line the writer thread tries meanwhile may show part-way until it is cut back.
    QFile written(logPath);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().count("\r\n"), countWhenFull);
    EXPECT_TRUE(dlg_->log().logging()); // still on: it goes on once there is room

    // The user is away and the next box stays open for a second; Readings go on failing
    // in its loop meanwhile.
    std::optional<double> share;
    qint64 wall = 0;
    boxes_.awayDuringNextBox = [&] {
        const CpuMeter meter;
        runFor(1000ms);
        share = meter.share();
        wall = meter.wallMs();
    };
    ASSERT_TRUE(waitUntil([&] { return share.has_value(); }));
    EXPECT_LT(*share, kMaxCpuShare) << "over " << wall << " ms";
    EXPECT_EQ(dlg_->log().recordCount(), countWhenFull);

    ASSERT_TRUE(QFile::remove(filler));
    ASSERT_TRUE(waitUntil([&] { return dlg_->log().recordCount() >= countWhenFull + 10; }));
    click(dlg_.get(), qv::ctl::kStartStopLog);
    for (const auto& box : boxes_.seen)
        EXPECT_EQ(box.text, diskFull(logPath));
    const QStringList lines = fileLines(logPath);
    EXPECT_EQ(lines.size(), dlg_->log().recordCount());
    expectWellFormed(lines);
    EXPECT_EQ(text(qv::ctl::kRecordCount), QString::number(dlg_->log().recordCount()));
    dlg_.reset(); // closes the file before the file system goes
}

// The log's path stops naming the open file. Lines written on would go where nobody
// finds them, so writing fails, is shown, and is not counted; Stop and Start again
// opens what the path names now (or says it cannot).
struct PathLoss : NamedRow {
    std::function<void(const QString& logPath)> lose;
    bool restartOpens;
    bool oldFileKept; // as <path>.1
};

class LogPathLost : public WindowFaults, public testing::WithParamInterface<PathLoss> {};

TEST_P(LogPathLost, WritingStopsCountingAndSaysSo) {
    const QString folder = dir_.filePath(QStringLiteral("logs"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString logPath = folder + QStringLiteral("/tavrin.log");
    store_->WriteProfileString(nullptr, qv::kLogFileNameEntry, logPath.toStdString());
    store_->WriteProfileInt(nullptr, qv::kLogIntervalEntry, 0);
    open();
    click(dlg_.get(), qv::ctl::kStartStopLog);
    ASSERT_TRUE(waitUntil([&] { return dlg_->log().recordCount() >= 5; }));

    GetParam().lose(logPath);
    ASSERT_TRUE(waitUntil([&] { return !boxes_.seen.empty(); }));
    // A line already on its way when the path went may still have made it; outcomes
    // arrive in order, so the count is final once the first failure is shown.
    const int countBefore = dlg_->log().recordCount();
    EXPECT_EQ(boxes_.seen.front().text, diskFull(logPath));
    EXPECT_EQ(boxes_.seen.front().icon, qv::BoxIcon::Stop);
    runFor(300ms);
    EXPECT_EQ(dlg_->log().recordCount(), countBefore);
    if (GetParam().oldFileKept) {
        const QStringList old = fileLines(logPath + QStringLiteral(".1"));
        EXPECT_EQ(old.size(), countBefore);
        expectWellFormed(old);
    }

    click(dlg_.get(), qv::ctl::kStartStopLog); // stop
    boxes_.seen.clear();
    click(dlg_.get(), qv::ctl::kStartStopLog); // start again
    if (!GetParam().restartOpens) {
        EXPECT_EQ(boxes_.texts(), QStringList{"Error opening file"});
        EXPECT_FALSE(dlg_->log().logging());
        EXPECT_EQ(text(qv::ctl::kStartStopLog), "Start Log");
        return;
    }
    ASSERT_TRUE(waitUntil([&] { return dlg_->log().recordCount() >= countBefore + 5; }));
    click(dlg_.get(), qv::ctl::kStartStopLog);
    EXPECT_TRUE(boxes_.seen.empty());
    const QStringList fresh = fileLines(logPath);
    EXPECT_EQ(fresh.size(), dlg_->log().recordCount() - countBefore);
    expectWellFormed(fresh);
}

const PathLoss kPathLosses[] = {
    {"FileDeleted", [](const QString& p) { ASSERT_TRUE(QFile::remove(p)); }, true, false},
    {"FolderRemoved", [](const QString& p) { ASSERT_TRUE(QFileInfo(p).dir().removeRecursively()); },
     false, false},
    {"FileMovedAside", // as a log rotation does
     [](const QString& p) { ASSERT_TRUE(QFile::rename(p, p + ".1")); }, true, true},
    {"FileReplaced",
     [](const QString& p) {
         ASSERT_TRUE(QFile::rename(p, p + ".1"));
         QFile fresh(p);
         ASSERT_TRUE(fresh.open(QIODevice::WriteOnly));
     },
     true, true},
};
INSTANTIATE_TEST_SUITE_P(Ways, LogPathLost, testing::ValuesIn(kPathLosses), RowName{});

// A second copy of the program (same user, same log file, append off) cannot open the
// file the first is writing, and does not empty it; the first logs on undisturbed.
TEST_F(WindowFaults, LogFileHeldBySecondInstanceIsNeitherOpenedNorEmptied) {
    store_->WriteProfileInt(nullptr, qv::kLogIntervalEntry, 0);
    store_->WriteProfileInt(nullptr, qv::kAppendEntry, 0);
    // Both windows feed the one parser of the process: only the first one's sensor talks.
    fake_.setSensorRecord(1, "");
    fake_.addPort(2);
    fake_.setSensorRecord(2, kRecord);
    open(); // the second copy, on COM1: it only tries to start logging
    auto firstStore = makeStore();
    firstStore->WriteProfileInt(nullptr, qv::kComPortEntry, 2);
    // Made last, the first copy receives the Readings (the parser's sink is per process).
    QtMainDialog first(*firstStore, fake_, clock_);
    first.show();
    first.initDialog();
    click(&first, qv::ctl::kStartStopLog);
    ASSERT_TRUE(waitUntil([&] { return first.log().recordCount() >= 5; }));

    click(dlg_.get(), qv::ctl::kStartStopLog);
    EXPECT_EQ(boxes_.texts(), QStringList{"Error opening file"});
    EXPECT_FALSE(dlg_->log().logging());
    EXPECT_EQ(text(qv::ctl::kStartStopLog), "Start Log");

    const int countThen = first.log().recordCount();
    ASSERT_TRUE(waitUntil([&] { return first.log().recordCount() >= countThen + 5; }));
    click(&first, qv::ctl::kStartStopLog);
    const QStringList lines = fileLines(logPath_);
    EXPECT_EQ(lines.size(), first.log().recordCount());
    expectWellFormed(lines);
    EXPECT_EQ(boxes_.texts(), QStringList{"Error opening file"});
}

// The settings cannot be trusted or cannot be written: the window starts from what it
// can read, OK in the setup dialog applies the new interval to the run all the same,
// and nothing is shown (a failed write is not reported to the user).
struct SettingsFault : NamedRow {
    // Damages the store; may return a mount to keep for the test, or say why it cannot.
    std::function<std::unique_ptr<Mount>(qv::SettingsStore&, QString& skip)> damage;
    int intervalAtStart;
    int storedAfterOk; // "LogInterval" as stored after OK with 7; 0: file left as it was
};

class SettingsDamaged : public WindowFaults, public testing::WithParamInterface<SettingsFault> {};

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST_P(SettingsDamaged, WindowRunsOnTheLiveValues) {
    store_->WriteProfileInt(nullptr, qv::kComPortEntry, 1);
    QString skip;
    const std::unique_ptr<Mount> mount = GetParam().damage(*store_, skip);
    if (!skip.isEmpty())
        GTEST_SKIP() << skip.toStdString();
    const QByteArray before = contentsOf(settingsFileName());
    open();
    EXPECT_EQ(dlg_->controller().interval(), GetParam().intervalAtStart);
    ASSERT_TRUE(waitUntil([&] { return text(qv::ctl::kHumidity) == " 45.3"; }));

    setupOk(dlg_.get(), [](QtSetupDialog* d) {
        child<QLineEdit>(d, qv::ctl::kInterval)->setText(QStringLiteral("7"));
    });
    EXPECT_EQ(dlg_->controller().interval(), 7);
    if (GetParam().storedAfterOk == 0)
        EXPECT_EQ(contentsOf(settingsFileName()), before);
    else
        EXPECT_EQ(storedInt(qv::kLogIntervalEntry), GetParam().storedAfterOk);
    click(dlg_.get(), qv::ctl::kStartStopLog);
    EXPECT_TRUE(dlg_->log().logging());
    EXPECT_TRUE(boxes_.seen.empty()) << boxes_.texts().join(" | ").toStdString();
}

const SettingsFault kSettingsFaults[] = {
    {"FolderReadOnly",
     [](qv::SettingsStore& store, QString& skip) {
         const QString folder = QString::fromStdString(qv::userFolder(store.company()).string());
         auto mount = Mount::readOnly(folder, skip);
         // Checked without the store: a failed write stays pending in the process.
         if (mount && QFile(folder + QStringLiteral("/probe")).open(QIODevice::WriteOnly))
             skip = QStringLiteral("the read-only mount still takes new files");
         return mount;
     },
     1, 0},
    {"FileCorrupt",
     [](qv::SettingsStore& store, QString&) {
         static constexpr char kGarbage[] = "\x7f"
                                            "ELF\x02\x01\0[\xff\xfe=\nLogInterval=9\n[\0\n\xc3(";
         std::ofstream out(qv::settingsFilePath(store.company(), store.applicationName()),
                           std::ios::binary | std::ios::trunc);
         out << std::string(kGarbage, sizeof kGarbage - 1);
         return std::unique_ptr<Mount>();
     },
     5, 7},
};
INSTANTIATE_TEST_SUITE_P(Ways, SettingsDamaged, testing::ValuesIn(kSettingsFaults), RowName{});

// Values stored out of the ranges the setup dialog allows are used as loaded: the
// program starts, polls no faster than its smallest timer period allows, and does not
// spin whatever the value.
struct StoredValue : NamedRow {
    const char* entry;
    int value;
    std::chrono::milliseconds pollPeriod; // what the window must honour
    bool opens;                           // the port opens (else "Failed to open COM port")
};

class OutOfRange : public WindowFaults, public testing::WithParamInterface<StoredValue> {};

TEST_P(OutOfRange, StartsAndRunsWithoutABusyLoop) {
    const StoredValue row = GetParam();
    store_->WriteProfileInt(nullptr, row.entry, row.value);
    open();
    const int atStart = linesOn();
    const CpuMeter meter;
    runFor(1500ms);
    const qint64 wall = meter.wallMs();
    const double share = meter.share();
    const int ticks = linesOn() - atStart;

    EXPECT_LT(share, kMaxCpuShare) << "over " << wall << " ms";
    // Timers never fire early; allow a fifth for coarse timer slack.
    EXPECT_LE(ticks, 2 + wall * 6 / 5 / row.pollPeriod.count()) << "polls in " << wall << " ms";
    if (row.opens && row.pollPeriod <= 1s) {
        EXPECT_GE(ticks, 1) << "the poll timer runs";
    }
    EXPECT_EQ(boxes_.count("Failed to open COM port"), row.opens ? 0 : 1);
    EXPECT_EQ(boxes_.seen.size(), row.opens ? 0u : 1u) << boxes_.texts().join(" | ").toStdString();

    // Still answering: logging starts and stops.
    click(dlg_.get(), qv::ctl::kStartStopLog);
    EXPECT_EQ(text(qv::ctl::kStartStopLog), "Stop Log");
    click(dlg_.get(), qv::ctl::kStartStopLog);
    EXPECT_EQ(text(qv::ctl::kStartStopLog), "Start Log");
}

const StoredValue kStoredValues[] = {
    {"IntervalZero", qv::kLogIntervalEntry, 0, 10ms, true},
    {"IntervalNegative", qv::kLogIntervalEntry, -5, 10ms, true},
    {"Interval5000", qv::kLogIntervalEntry, 5000, 5'000'000ms, true},
    {"IntervalIntMax", qv::kLogIntervalEntry, INT_MAX, std::chrono::milliseconds{INT_MAX}, true},
    // A port number of zero or less leaves the channel on its default port, COM1.
    {"PortZero", qv::kComPortEntry, 0, 1000ms, true},
    {"Port300", qv::kComPortEntry, 300, 1000ms, false},
    {"PortNegative", qv::kComPortEntry, -1, 1000ms, true},
    {"Append7", qv::kAppendEntry, 7, 1000ms, true},
};
INSTANTIATE_TEST_SUITE_P(Stored, OutOfRange, testing::ValuesIn(kStoredValues), RowName{});

} // namespace
