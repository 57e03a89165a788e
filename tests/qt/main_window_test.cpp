// The program's windows driven for real: the main window over an in-memory serial line
// (or a port folder of pseudo-terminals), a real settings file and a real log file in
// temporary folders. Message boxes are answered through the window services' hook;
// dialogs, the file browser and menus by watchers that poll for them.

#include "app/qt/cqv53_app.h"
#include "app/qt/dialog_builder.h"
#include "app/qt/qt_about_dialog.h"
#include "app/qt/qt_main_dialog.h"
#include "app/qt/qt_publish_dialog.h"
#include "app/qt/qt_setup_dialog.h"
#include "app/qt/qt_trend_window.h"
#include "app/qt/signal_bridge.h"
#include "publish/topics.h"
#include "serial/serial_platform_posix.h"
#include "settings/publish_settings.h"
#include "settings/settings_store.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/named_row.h"
#include "tests/support/private_home.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/ui_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

using qv::test::kRecord;
using namespace qv::ctl;
using qv::qt::CQV53App;
using qv::qt::QtAboutDialog;
using qv::qt::QtMainDialog;
using qv::qt::QtPublishDialog;
using qv::qt::QtSetupDialog;
using qv::qt::QtTrendWindow;
using qv::qt::SignalBridge;

[[maybe_unused]] testing::Environment* const kPrivateHome =
    testing::AddGlobalTestEnvironment(new qv::test::PrivateHome);

using qv::test::answerNextBox;
using qv::test::Box;
using qv::test::child;
using qv::test::click;
using qv::test::waitUntil;
using qv::test::whenModal;
using qv::test::whenShown;

class MainWindowTest : public qv::test::MainWindowFixture {
protected:
    MainWindowTest() : MainWindowFixture(QStringLiteral("QV-5300-")) {}

    QByteArray settingsFile() const {
        QFile file(settingsFileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Presses Setup..., lets `edit` work on the dialog, then ends it with OK or Cancel.
    void setup(std::function<void(QtSetupDialog*)> edit, int endWith = qv::kIdOk) {
        whenModal<QtSetupDialog>([=](QtSetupDialog* d) {
            edit(d);
            click(d, endWith);
        });
        qv::test::pressSetup(dlg_.get());
    }
};

TEST_F(MainWindowTest, StartStopLogWritesLinesToTheLogFile) {
    open();
    click(dlg_.get(), qv::ctl::kStartStopLog);
    EXPECT_EQ(text(qv::ctl::kStartStopLog), "Stop Log");
    ASSERT_TRUE(waitUntil([&] { return dlg_->log().recordCount() >= 2; }));
    click(dlg_.get(), qv::ctl::kStartStopLog);
    EXPECT_EQ(text(qv::ctl::kStartStopLog), "Start Log");
    EXPECT_EQ(text(qv::ctl::kHumidity), " 45.3");
    EXPECT_EQ(text(qv::ctl::kTemperature), " 23.1");
    EXPECT_EQ(text(qv::ctl::kRecordCount), QString::number(dlg_->log().recordCount()));

    QFile file(logPath_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), dlg_->log().recordCount() + 1); // the last line ends too
    const QRegularExpression line(
        QStringLiteral(R"(^\d\d/\d\d/\d{4}\t\d\d:\d\d:\d\d\t45\.3\t23\.1$)"));
    for (int i = 0; i < dlg_->log().recordCount(); ++i)
        EXPECT_TRUE(line.match(lines[i]).hasMatch()) << lines[i].toStdString();
}

TEST_F(MainWindowTest, OpenFailureIsReportedOverTheMainWindow) {
    store_->WriteProfileInt(nullptr, qv::kComPortEntry, 3); // no such port
    Box box;
    answerNextBox(box);
    open();
    EXPECT_EQ(box.text, "Failed to open COM port");
    EXPECT_EQ(box.owner, dlg_.get());
    EXPECT_TRUE(text(qv::ctl::kHumidity).isEmpty());
}

// How the window ends, and what becomes of a log that is being written.
struct Ending : qv::test::NamedRow {
    int result;
    bool logClosedByTheWindow; // before destruction; otherwise by it
    std::function<void(QtMainDialog*)> end;
};

class MainWindowEnding : public MainWindowTest, public testing::WithParamInterface<Ending> {};

TEST_P(MainWindowEnding, EndsWithItsResultAndReleasesTheLog) {
    dlg_ = std::make_unique<QtMainDialog>(*store_, fake_, clock_);
    SignalBridge bridge;
    ASSERT_TRUE(bridge.isActive());
    QObject::connect(&bridge, &SignalBridge::terminationRequested, dlg_.get(),
                     &QtMainDialog::closeOnRequest);
    whenModal<QtMainDialog>([](QtMainDialog* d) {
        d->initDialog();
        click(d, qv::ctl::kStartStopLog);
        GetParam().end(d);
    });
    EXPECT_EQ(dlg_->execModal(), GetParam().result);
    EXPECT_EQ(dlg_->log().fileOpen(), !GetParam().logClosedByTheWindow);
    dlg_.reset();

    // Released: another holder can take the exclusive lock at once.
    const int fd = ::open(logPath_.toLocal8Bit().constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

const Ending kEndings[] = {
    {"ExitButton", qv::kIdOk, false, [](QtMainDialog* d) { click(d, qv::ctl::kExit); }},
    {"Enter", qv::kIdOk, false,
     [](QtMainDialog* d) {
         QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
         QApplication::sendEvent(d, &enter);
     }},
    {"Escape", qv::kIdCancel, false,
     [](QtMainDialog* d) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(d, &escape);
     }},
    {"CloseBox", qv::kIdCancel, true, [](QtMainDialog* d) { d->close(); }},
    {"Sigterm", qv::kIdCancel, true, [](QtMainDialog*) { std::raise(SIGTERM); }},
    {"SighupFromAClosedTerminal", qv::kIdCancel, true, [](QtMainDialog*) { std::raise(SIGHUP); }},
    {"SigintWhileSetupIsOpen", qv::kIdCancel, true,
     [](QtMainDialog* d) {
         whenModal<QtSetupDialog>([](QtSetupDialog*) { std::raise(SIGINT); });
         click(d, qv::ctl::kSetup);
     }},
};
INSTANTIATE_TEST_SUITE_P(Ways, MainWindowEnding, testing::ValuesIn(kEndings), qv::test::RowName{});

// Under nohup the terminal's hang-up is ignored, and a logger must outlive the terminal.
TEST(SignalBridgeTest, LeavesAHangUpIgnoredAtStartIgnored) {
    struct sigaction ignore = {}, before = {}, during = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGHUP, &ignore, &before), 0);
    {
        SignalBridge bridge;
        ASSERT_TRUE(bridge.isActive());
        sigaction(SIGHUP, nullptr, &during);
    }
    sigaction(SIGHUP, &before, nullptr);
    EXPECT_EQ(during.sa_handler, SIG_IGN);
}

// The file browser's wiring: "log" and "tavrin.log" handed to Qt's save dialog, the chosen
// path in the field, no file made.
TEST_F(MainWindowTest, BrowseFillsTheFieldWithAPickedNameAndCreatesNothing) {
    open();
    const QString picked = dir_.filePath(QStringLiteral("picked"));
    QString browsed;
    setup(
        [&](QtSetupDialog* d) {
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                EXPECT_EQ(browser->defaultSuffix(), "log");
                EXPECT_TRUE(browser->selectedFiles().value(0).endsWith("/tavrin.log"));
                // Typed, as a user would: selectFile() leaves the name field alone once
                // that field has the focus, which the shown dialog gives it at some point.
                auto* name = browser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                ASSERT_NE(name, nullptr);
                name->setText(picked);
                static_cast<QDialog*>(browser)->accept(); // its own accept: suffix, checks
            });
            click(d, kBrowse);
            browsed = child<QLineEdit>(d, kFileName)->text();
        },
        qv::kIdCancel);
    EXPECT_EQ(browsed, picked + ".log");  // the default suffix was added
    EXPECT_FALSE(QFile::exists(browsed)); // picking a name creates nothing
}

// A stored 2 shows as undecided and stays stored while untouched; clicks give checked or
// unchecked only, as an ordinary check box, and OK writes what they gave.
class AppendStoredAsTwo : public MainWindowTest, public testing::WithParamInterface<int> {};

TEST_P(AppendStoredAsTwo, ClicksGiveCheckedOrUncheckedOnly) {
    store_->WriteProfileInt(nullptr, qv::kAppendEntry, 2);
    open();
    Qt::CheckState shown = Qt::Unchecked;
    std::vector<Qt::CheckState> afterClicks;
    setup([&](QtSetupDialog* d) {
        auto* box = child<QCheckBox>(d, kAppend);
        shown = box->checkState();
        for (int i = 0; i < GetParam(); ++i) {
            box->click();
            afterClicks.push_back(box->checkState());
        }
    });
    EXPECT_EQ(shown, Qt::PartiallyChecked);
    for (const Qt::CheckState state : afterClicks)
        EXPECT_NE(state, Qt::PartiallyChecked);
    const int stored = afterClicks.empty() ? 2 : afterClicks.back() == Qt::Checked ? 1 : 0;
    EXPECT_EQ(storedInt(qv::kAppendEntry), stored);
    EXPECT_EQ(dlg_->append(), stored);
}
INSTANTIATE_TEST_SUITE_P(Clicks, AppendStoredAsTwo, testing::Values(0, 1, 2, 3));

// The refusal's wiring: the box over the setup dialog, which stays open with the field's
// text selected.
TEST_F(MainWindowTest, RefusedIntervalKeepsTheDialogOpenUnderItsBox) {
    open();
    Box box;
    bool stayedOpen = false;
    QString selectedAfterBox;
    whenModal<QtSetupDialog>([&](QtSetupDialog* d) {
        auto* edit = child<QLineEdit>(d, kInterval);
        edit->setText(QStringLiteral("0"));
        answerNextBox(box);
        click(d, qv::kIdOk);
        stayedOpen = d->isVisible();
        selectedAfterBox = edit->selectedText();
        click(d, qv::kIdCancel);
    });
    qv::test::pressSetup(dlg_.get());
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(box.text, "Enter an integer between 1 and 1000.");
    EXPECT_EQ(box.ownerClass, "qv::qt::QtSetupDialog");
    EXPECT_EQ(selectedAfterBox, "0");
}

using Pty = qv::test::PseudoTerminal;

TEST_F(MainWindowTest, PortListComesFromThePortFolder) {
    Pty held, other;
    ASSERT_FALSE(held.slave().empty());
    ASSERT_FALSE(other.slave().empty());
    QDir ports(dir_.filePath(QStringLiteral("ports")));
    ASSERT_TRUE(ports.mkpath(QStringLiteral(".")));
    ASSERT_EQ(::symlink(held.slave().c_str(), ports.filePath("com2").toLocal8Bit()), 0);
    ASSERT_EQ(::symlink(other.slave().c_str(), ports.filePath("com5").toLocal8Bit()), 0);
    ASSERT_EQ(::symlink("/nonexistent/device", ports.filePath("com9").toLocal8Bit()), 0);
    store_->WriteProfileInt(nullptr, qv::kComPortEntry, 2);
    qv::PosixSerialPlatform platform(ports.path().toStdString(), {});
    open(&platform);

    QStringList offered;
    QString selected;
    setup([&](QtSetupDialog* d) {
        auto* combo = child<QComboBox>(d, kPortList);
        for (int i = 0; i < combo->count(); ++i)
            offered << combo->itemText(i);
        selected = combo->currentText();
        combo->setCurrentIndex(combo->findText("COM5"));
    });
    EXPECT_EQ(offered, (QStringList{"COM2", "COM5"}));
    EXPECT_EQ(selected, "COM2");
    EXPECT_EQ(dlg_->controller().port(), 5);
    EXPECT_EQ(storedInt(qv::kComPortEntry), 5);
    dlg_.reset(); // the channel lets go of the pty before it closes
}

// Opens the main window's context menu, keeps its entries' texts (a checked entry's with
// " [x]" after it) and chooses entry `index`.
void chooseFromContextMenu(QWidget* window, int index, QStringList& entries) {
    whenShown<QMenu>([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                     [&entries, index](QMenu* menu) {
                         entries.clear();
                         for (QAction* action : menu->actions())
                             entries << action->text() + (action->isChecked() ? " [x]" : "");
                         menu->setActiveAction(menu->actions().value(index));
                         QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                         QApplication::sendEvent(menu, &enter);
                     });
    const QPoint where(10, 10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, where, window->mapToGlobal(where));
    QApplication::sendEvent(window, &event);
}

TEST_F(MainWindowTest, ContextMenuOpensTheAboutBox) {
    open();
    QStringList entries;
    QString aboutTitle;
    whenModal<QtAboutDialog>([&](QtAboutDialog* about) {
        aboutTitle = about->windowTitle();
        about->reject();
    });
    chooseFromContextMenu(dlg_.get(), 3, entries);
    ASSERT_TRUE(waitUntil([&] { return !aboutTitle.isEmpty(); }));
    EXPECT_EQ(entries, (QStringList{"&Trend...", "Reconnect &automatically", "&Publish...",
                                    "&About QV-5300..."}));
    EXPECT_EQ(aboutTitle, "About QV-5300");
}

// The publish entry's wiring: the dialog with the port's default prefix as the cue, the
// password as dots and every text whole; OK stores the six values typed, Cancel nothing.
TEST_F(MainWindowTest, PublishEntryOpensTheDialogAndOkStoresItsSixValues) {
    open();
    const QByteArray before = settingsFile();
    QString cue;
    bool dots = false;
    const auto type = [&](int endWith) {
        whenModal<QtPublishDialog>([&, endWith](QtPublishDialog* d) {
            cue = child<QLineEdit>(d, kTopicPrefix)->placeholderText();
            dots = child<QLineEdit>(d, kMqttPassword)->echoMode() == QLineEdit::Password;
            for (QWidget* w : d->findChildren<QWidget*>()) {
                if (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w)) {
                    EXPECT_LE(w->sizeHint().width(), w->width()) << w->objectName().toStdString();
                }
            }
            child<QLineEdit>(d, kBroker)->setText("mqtt://127.0.0.1:1884");
            child<QLineEdit>(d, kMqttUser)->setText("ann");
            child<QLineEdit>(d, kMqttPassword)->setText("pa ss");
            child<QLineEdit>(d, kTopicPrefix)->setText("lab/qv");
            child<QCheckBox>(d, kDiscovery)->click();
            child<QCheckBox>(d, kPublishOn)->click();
            click(d, endWith);
        });
        QStringList entries;
        chooseFromContextMenu(dlg_.get(), 2, entries);
    };
    type(qv::kIdCancel);
    EXPECT_EQ(cue.toStdString(), qv::publish::defaultTopicPrefix(qv::publish::localHostName(), 1));
    EXPECT_TRUE(dots);
    EXPECT_EQ(settingsFile(), before);
    type(qv::kIdOk);
    const qv::PublishSettings typed{true, "mqtt://127.0.0.1:1884", "ann", "pa ss", "lab/qv", false};
    EXPECT_EQ(qv::loadPublishSettings(*makeStore()), typed);
}

// Setup... with a port whose probe hangs: the press returns at once, the wait cursor is
// up and the window polls on; the dialog shows when every port has its result, without
// the wait cursor.
TEST_F(MainWindowTest, SetupProbesOffTheWindowThreadAndShowsTheDialogWhenDone) {
    fake_.holdProbes(2);
    open();
    int dialogs = 0;
    bool waitCursorWhileShown = true;
    whenModal<QtSetupDialog>([&](QtSetupDialog* d) {
        ++dialogs;
        waitCursorWhileShown = QGuiApplication::overrideCursor() != nullptr;
        click(d, qv::kIdCancel);
    });
    click(dlg_.get(), qv::ctl::kSetup);
    ASSERT_TRUE(dlg_->logic().probingPorts());
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    fake_.clearCalls();
    EXPECT_TRUE(waitUntil([&] {
        const auto calls = fake_.calls();
        return std::find(calls.begin(), calls.end(), "rts 1") != calls.end();
    })) << "polls go on while the ports are probed";
    EXPECT_EQ(dialogs, 0);

    fake_.releaseProbes();
    ASSERT_TRUE(waitUntil([&] { return dialogs == 1 && !dlg_->logic().probingPorts(); }));
    EXPECT_FALSE(waitCursorWhileShown);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Where the window opens: centred on the screen at the first start, where the user left it
// afterwards and on the screen when that place is off it; the setup dialog centred over it.
TEST_F(MainWindowTest, OpensCentredThenWhereItWasLeftWithSetupCentredOverIt) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Runs the window; its frame as it opened.
    const auto run = [&](const std::function<void(QtMainDialog*)>& act) {
        QRect opened;
        dlg_ = std::make_unique<QtMainDialog>(*store_, fake_, clock_);
        whenModal<QtMainDialog>([&](QtMainDialog* d) {
            d->initDialog();
            opened = d->frameGeometry();
            act(d);
            click(d, qv::ctl::kExit);
        });
        dlg_->execModal();
        return opened;
    };
    QRect setupFrame, ownerFrame;
    const QRect first = run([&](QtMainDialog* d) {
        whenModal<QtSetupDialog>([&](QtSetupDialog* setup) {
            setupFrame = setup->frameGeometry();
            ownerFrame = d->frameGeometry();
            click(setup, qv::kIdCancel);
        });
        qv::test::pressSetup(d);
        d->move(40, 30);
    });
    // Centred by the size known before the first show, without the frame's margins.
    const QSize margins = first.size() - dlg_->size();
    EXPECT_LE((first.center() - screen.center()).manhattanLength(),
              margins.width() / 2 + margins.height() / 2 + 1);
    EXPECT_LE((setupFrame.center() - ownerFrame.center()).manhattanLength(), 2);
    EXPECT_EQ(storedInt(qv::kWindowLeftEntry), 40);
    EXPECT_EQ(storedInt(qv::kWindowTopEntry), 30);
    EXPECT_EQ(run([](QtMainDialog*) {}).topLeft(), QPoint(40, 30));

    store_->WriteProfileInt(nullptr, qv::kWindowLeftEntry, 100000); // a monitor since gone
    const QRect moved = run([](QtMainDialog*) {});
    EXPECT_TRUE(screen.contains(moved)) << moved.x() << "," << moved.y();
}

// The reconnect entry's wiring: checked, it is stored and starts the wait for the port that
// failed to open, and the caption follows.
TEST_F(MainWindowTest, ReconnectEntryIsCheckedAndTheCaptionFollowsThePort) {
    fake_.removePort(1);
    Box box;
    answerNextBox(box);
    open();
    QStringList entries;
    chooseFromContextMenu(dlg_.get(), 1, entries);
    EXPECT_EQ(storedInt(qv::kAutoReconnectEntry), 1);
    EXPECT_EQ(dlg_->windowTitle(), "QV-5300 - COM port disconnected");
    fake_.addPort(1);
    EXPECT_TRUE(waitUntil([&] { return dlg_->windowTitle() == "Tavrin QV-5300"; }, 10s));
    chooseFromContextMenu(dlg_.get(), 1, entries);
    EXPECT_EQ(entries.value(1), "Reconnect &automatically [x]");
}

// Answers the next file browser with `path`, typed as a user would.
void answerBrowser(const QString& path) {
    whenModal<QFileDialog>([path](QFileDialog* browser) {
        auto* name = browser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog*>(browser)->accept();
    });
}

TEST_F(MainWindowTest, TrendEntryShowsOneWindowThatOpensLogsAndSavesImages) {
    open();
    QStringList entries;
    chooseFromContextMenu(dlg_.get(), 0, entries);
    QtTrendWindow* trend = dlg_->frontEnd().trendWindow();
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(child<QLabel>(trend, kTrendSource)->text(), "Live readings");
    ASSERT_TRUE(waitUntil([&] { return dlg_->logic().history().size() >= 1; }));
    chooseFromContextMenu(dlg_.get(), 0, entries);
    EXPECT_EQ(dlg_->frontEnd().trendWindow(), trend); // raised, not a second one

    const QString image = dir_.filePath(QStringLiteral("trend.png"));
    answerBrowser(image);
    click(trend, kSaveImage);
    const QImage saved(image);
    EXPECT_EQ(saved.size(), trend->chartArea()->size());
    QImage blank(saved.size(), saved.format());
    blank.fill(Qt::white);
    EXPECT_NE(saved, blank);

    const QString log = dir_.filePath(QStringLiteral("old.log"));
    std::ofstream(log.toStdString()) << "12/06/2010\t17:50:50\t45.3\t21.7\r\n";
    answerBrowser(log);
    click(trend, kOpenLog); // read on the reader's thread, shown when its message arrives
    EXPECT_TRUE(waitUntil([&] { return child<QLabel>(trend, kTrendSource)->text() == "old.log"; }));
    std::ofstream(log.toStdString(), std::ios::trunc).flush();
    Box box;
    answerNextBox(box);
    answerBrowser(log);
    click(trend, kOpenLog);
    EXPECT_TRUE(waitUntil([&] { return box.seen; }));
    EXPECT_EQ(box.text, "The file is empty.");
    EXPECT_EQ(box.owner, trend); // over the window whose command failed

    trend->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // no outer loop runs
    EXPECT_EQ(dlg_->frontEnd().trendWindow(), nullptr);
    EXPECT_FALSE(dlg_->logic().trendWindow().isOpen());
}

// The log being written joins the live view; a long read shows its progress and Cancel,
// and Escape stops it without closing the window.
TEST_F(MainWindowTest, TrendWindowTakesInTheLoggedFileAndEscapeStopsALongRead) {
    std::ofstream(logPath_.toStdString(), std::ios::binary)
        << "12/06/2010\t17:50:50\t45.3\t21.7\r\n12/06/2010\t17:50:55\t45.4\t21.6\r\n";
    store_->WriteProfileInt(nullptr, qv::kAppendEntry, 1);
    open();
    click(dlg_.get(), kStartStopLog);
    QStringList entries;
    chooseFromContextMenu(dlg_.get(), 0, entries);
    QtTrendWindow* trend = dlg_->frontEnd().trendWindow();
    ASSERT_NE(trend, nullptr);
    auto* progress = child<QWidget>(trend, kTrendProgress);
    auto* cancel = child<QWidget>(trend, kTrendCancel);
    ASSERT_TRUE(progress && cancel);
    const qv::TrendWindow& logic = dlg_->logic().trendWindow();
    EXPECT_TRUE(waitUntil([&] { return logic.summary().count() >= 2 && !progress->isVisible(); }));
    EXPECT_EQ(child<QLabel>(trend, kTrendSource)->text(), "Live readings and tavrin.log");

    const QString big = dir_.filePath(QStringLiteral("big.log"));
    std::ofstream(big.toStdString()).flush();
    std::filesystem::resize_file(big.toStdString(), std::uintmax_t{1} << 40); // sparse zeros
    answerBrowser(big);
    click(trend, kOpenLog);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(cancel->isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(trend, &escape);
    EXPECT_TRUE(trend->isVisible());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(logic.showingLog());
    trend->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(ApplicationTest, RunsTheMainWindowFromTheUsersSettingsAndPortFolderUntilTerminated) {
    QCoreApplication::setApplicationName(QStringLiteral("QV-5300"));
    qv::SettingsStore store("QV-5300");
    store.SetRegistryKey(qv::kCompanyKey);
    Pty sensor;
    ASSERT_FALSE(sensor.slave().empty());
    QDir ports(QString::fromStdString(qv::portsFolder().string()));
    ASSERT_TRUE(ports.mkpath(QStringLiteral(".")));
    QFile::remove(ports.filePath("com4"));
    ASSERT_EQ(::symlink(sensor.slave().c_str(), ports.filePath("com4").toLocal8Bit()), 0);
    store.WriteProfileInt(nullptr, qv::kComPortEntry, 4);

    int port = 0;
    qv::ProbeResult probe = -1;
    whenModal<QtMainDialog>([&](QtMainDialog* d) {
        d->initDialog();
        port = d->controller().port();
        probe = qv::PosixSerialPlatform(ports.path().toStdString(), {}).probePort(4);
        std::raise(SIGTERM);
    });
    EXPECT_EQ(CQV53App().run(), 0);
    EXPECT_EQ(port, 4);
    EXPECT_EQ(probe, qv::kProbeBusy); // the window holds the port named in the folder
}

} // namespace
