#include "app/qt/qt_window_services.h"
#include "tests/support/ui_driver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace qv {
namespace {

using namespace std::chrono_literals;

constexpr auto kWaitLimit = 5s;

using qt::kControlIdProperty;
using qt::ModalDialog;
using qt::QtWindowServices;
using test::waitUntil;

struct Recorder : WindowMessageTarget {
    struct Message {
        std::uint32_t message;
        std::intptr_t wParam, lParam;
    };
    std::vector<int> ticks;
    std::vector<Message> messages;
    bool boxOpen = false;
    int ticksWhileBoxOpen = 0;
    int messagesWhileBoxOpen = 0;

    void onTimer(int timerId) override {
        ticks.push_back(timerId);
        ticksWhileBoxOpen += boxOpen ? 1 : 0;
    }
    std::function<void()> afterMessage; // runs at the end of each onMessage when set

    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override {
        messages.push_back({message, wParam, lParam});
        messagesWhileBoxOpen += boxOpen ? 1 : 0;
        if (afterMessage)
            afterMessage();
    }
    long ticksOf(int timerId) const { return std::count(ticks.begin(), ticks.end(), timerId); }
};

// What a message box looked like while it was open.
struct SeenBox {
    bool seen = false;
    QString title, text, detail;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    int buttons = 0;
};

// Waits, from inside the box's own loop, until a message box is open and `ready` holds
// (or the wait limit passes), notes what the box looks like and closes it with its OK
// button. The driving timer is a child of `owner`.
void closeBoxWhen(QObject* owner, SeenBox& seen, std::function<bool()> ready) {
    auto* poll = new QTimer(owner);
    const QDeadlineTimer deadline(kWaitLimit);
    QObject::connect(poll, &QTimer::timeout, [poll, &seen, ready, deadline] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !(ready() || deadline.hasExpired()))
            return;
        poll->stop();
        seen.seen = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.detail = box->informativeText();
        seen.icon = box->icon();
        seen.parent = box->parentWidget();
        seen.buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
        poll->deleteLater();
    });
    poll->start(5ms);
}

class QtWindowServicesTest : public testing::Test {
protected:
    QtWindowServicesTest() : services(&window, recorder, "QV-5300") {}

    QWidget window;
    Recorder recorder;
    QtWindowServices services;
};

TEST_F(QtWindowServicesTest, TicksAndPostedMessagesGoOnWhileABoxIsOpen) {
    services.startTimer(kPollTimer, 10ms);
    services.postMessage(WM_SERIAL_BYTE, 'H', 0);
    // Never handled during the poster's call.
    EXPECT_TRUE(recorder.messages.empty());

    SeenBox seen;
    closeBoxWhen(&window, seen, [&] {
        return recorder.ticksWhileBoxOpen > 0 && recorder.messagesWhileBoxOpen > 0;
    });
    recorder.boxOpen = true;
    services.messageBox("Disk full while accessing /tmp/qv.txt.", BoxIcon::Stop);
    recorder.boxOpen = false;

    ASSERT_TRUE(seen.seen);
    EXPECT_GT(recorder.ticksWhileBoxOpen, 0);
    EXPECT_EQ(recorder.messagesWhileBoxOpen, 1);
    EXPECT_EQ(seen.title, "QV-5300");
    EXPECT_EQ(seen.text, "Disk full while accessing /tmp/qv.txt.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.parent, &window);
    EXPECT_EQ(seen.buttons, 1);
}

class DialogOverWindow : public ModalDialog {
public:
    explicit DialogOverWindow(QWidget* parent) : dialog(parent) {}
    int execModal() override { return dialog.exec() == QDialog::Accepted ? kIdOk : kIdCancel; }
    QDialog dialog;
};

TEST_F(QtWindowServicesTest, BoxShownFromADialogBelongsToTheDialog) {
    DialogOverWindow over(&window);
    SeenBox seen;
    QTimer::singleShot(0, &over.dialog, [&] {
        closeBoxWhen(&over.dialog, seen, [] { return true; });
        testing::internal::CaptureStderr();
        services.messageBox("Error opening file", BoxIcon::Exclamation,
                            "/logs/x.log: No such file or directory");
        over.dialog.accept();
    });
    EXPECT_EQ(services.runModal(over), kIdOk);
    const std::string reported = testing::internal::GetCapturedStderr();

    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.parent, &over.dialog);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.title, "QV-5300");
    EXPECT_EQ(seen.detail, "/logs/x.log: No such file or directory");
    // Qt may add its own lines while the box is open.
    EXPECT_TRUE(reported.starts_with(
        "QV-5300: Error opening file: /logs/x.log: No such file or directory\n"))
        << reported;
}

TEST_F(QtWindowServicesTest, MessagesFromEachThreadArriveInOrder) {
    constexpr int kPerThread = 1000;
    auto poster = [this](std::intptr_t thread) {
        return std::thread([this, thread] {
            for (int i = 0; i < kPerThread; ++i)
                services.postMessage(WM_SERIAL_BYTE, i, thread);
        });
    };
    std::thread first = poster(1);
    std::thread second = poster(2);
    const bool all = waitUntil([&] { return recorder.messages.size() >= 2 * kPerThread; });
    first.join();
    second.join();
    ASSERT_TRUE(all);

    std::intptr_t next[3] = {0, 0, 0};
    for (const auto& m : recorder.messages) {
        ASSERT_EQ(m.message, WM_SERIAL_BYTE);
        ASSERT_TRUE(m.lParam == 1 || m.lParam == 2);
        ASSERT_EQ(m.wParam, next[m.lParam]++) << "from thread " << m.lParam;
    }
    EXPECT_EQ(next[1], kPerThread);
    EXPECT_EQ(next[2], kPerThread);
}

TEST_F(QtWindowServicesTest, BoxOpenedWhileHandlingAMessageGetsTheQueuedAndTheNewOnesInOrder) {
    // The first message opens a box while the rest of its burst is still queued; once
    // the box has handed those over, another thread posts more. All reach the target
    // inside the box's loop, in order, each once.
    constexpr int kQueued = 50, kLater = 500;
    std::atomic<int> delivered{0};
    std::thread later;
    SeenBox seen;
    recorder.afterMessage = [&] {
        ++delivered;
        if (recorder.messages.size() != 1)
            return;
        later = std::thread([&] {
            if (!test::waitUntil([&] { return delivered >= kQueued; }, kWaitLimit,
                                 test::sleepBriefly))
                return; // the queued ones never came: the box closes at its limit
            for (int i = kQueued; i < kQueued + kLater; ++i)
                services.postMessage(WM_SERIAL_BYTE, i, 0);
        });
        closeBoxWhen(&window, seen, [&] { return delivered == kQueued + kLater; });
        recorder.boxOpen = true;
        services.messageBox("Error opening file");
        recorder.boxOpen = false;
    };
    for (int i = 0; i < kQueued; ++i)
        services.postMessage(WM_SERIAL_BYTE, i, 0);
    EXPECT_TRUE(recorder.messages.empty());
    ASSERT_TRUE(waitUntil([&] { return seen.seen; }));
    later.join();
    QCoreApplication::processEvents();

    ASSERT_EQ(recorder.messages.size(), std::size_t{kQueued + kLater});
    for (int i = 0; i < kQueued + kLater; ++i)
        ASSERT_EQ(recorder.messages[static_cast<std::size_t>(i)].wParam, i);
    EXPECT_EQ(recorder.messagesWhileBoxOpen, kQueued + kLater - 1);
}

TEST_F(QtWindowServicesTest, StoppedTimerTicksNoMoreAndTheOtherRunsOn) {
    // Each timer in turn measures the time that passes while the other is stopped.
    const TimerId poll = services.startTimer(kPollTimer, 5ms);
    EXPECT_EQ(poll, static_cast<TimerId>(kPollTimer));
    // Stopping a timer that never ran does nothing.
    services.stopTimer(static_cast<TimerId>(kTimeoutTimer));
    services.stopTimer(kNoTimer);
    ASSERT_TRUE(waitUntil([&] { return recorder.ticksOf(kPollTimer) >= 3; }));

    const TimerId timeout = services.startTimer(kTimeoutTimer, 5ms);
    EXPECT_NE(poll, timeout);
    services.stopTimer(poll);
    const long pollTicks = recorder.ticksOf(kPollTimer);
    const long timeoutTicks = recorder.ticksOf(kTimeoutTimer);
    ASSERT_TRUE(waitUntil([&] { return recorder.ticksOf(kTimeoutTimer) >= timeoutTicks + 10; }));
    EXPECT_EQ(recorder.ticksOf(kPollTimer), pollTicks);

    // Started again under the same id.
    EXPECT_EQ(services.startTimer(kPollTimer, 5ms), poll);
    services.stopTimer(timeout);
    const long stoppedAt = recorder.ticksOf(kTimeoutTimer);
    ASSERT_TRUE(waitUntil([&] { return recorder.ticksOf(kPollTimer) >= pollTicks + 10; }));
    EXPECT_EQ(recorder.ticksOf(kTimeoutTimer), stoppedAt);
}

TEST_F(QtWindowServicesTest, ControlTextReachesTheControlWithThatId) {
    auto* humidity = new QLineEdit(&window);
    auto* temperature = new QLineEdit(&window);
    auto* button = new QPushButton("Start Log", &window);
    auto* count = new QLabel(&window);
    // A dialog open over the window is its child too; its OK button shares id 1 with the
    // window's Exit button and must not be taken for it.
    auto* exitButton = new QPushButton("Exit", &window);
    auto* setupDialog = new QWidget(&window);
    auto* dialogOk = new QPushButton("OK", setupDialog);
    exitButton->setProperty(kControlIdProperty, ctl::kExit);
    dialogOk->setProperty(kControlIdProperty, ctl::kExit);
    humidity->setProperty(kControlIdProperty, ctl::kHumidity);
    temperature->setProperty(kControlIdProperty, ctl::kTemperature);
    button->setProperty(kControlIdProperty, ctl::kStartStopLog);
    count->setProperty(kControlIdProperty, ctl::kRecordCount);

    services.setControlText(ctl::kHumidity, "45.3");
    services.setControlText(ctl::kTemperature, "23.1\xc2\xb0"); // UTF-8 degree sign
    services.setControlText(ctl::kStartStopLog, "Stop Log");
    services.setControlText(ctl::kRecordCount, "12");
    services.setControlText(4711, "nobody"); // no such control: ignored
    EXPECT_EQ(humidity->text(), "45.3");
    EXPECT_EQ(temperature->text(), QStringLiteral(u"23.1\u00b0"));
    EXPECT_EQ(button->text(), "Stop Log");
    EXPECT_EQ(count->text(), "12");

    services.setControlText(ctl::kHumidity, "");
    EXPECT_TRUE(humidity->text().isEmpty());
    EXPECT_EQ(temperature->text(), QStringLiteral(u"23.1\u00b0"));
    EXPECT_EQ(services.control(ctl::kRecordCount), count);
    EXPECT_EQ(services.control(ctl::kExit), exitButton);
    services.setControlText(ctl::kExit, "Quit");
    EXPECT_EQ(dialogOk->text(), "OK");
}

TEST_F(QtWindowServicesTest, ControlReplacedMovedOrAddedLaterIsTheOneThatGetsTheText) {
    auto* count = new QLabel(&window);
    count->setProperty(kControlIdProperty, ctl::kRecordCount);
    services.setControlText(ctl::kRecordCount, "1");
    services.setControlText(ctl::kHumidity, "45.3"); // none yet
    EXPECT_EQ(count->text(), "1");

    delete count;
    auto* newCount = new QLabel(&window);
    newCount->setProperty(kControlIdProperty, ctl::kRecordCount);
    auto* humidity = new QLineEdit(&window);
    humidity->setProperty(kControlIdProperty, ctl::kHumidity);
    services.setControlText(ctl::kRecordCount, "2");
    services.setControlText(ctl::kHumidity, "46.0");
    EXPECT_EQ(newCount->text(), "2");
    EXPECT_EQ(humidity->text(), "46.0");

    // A control handed to a dialog is no longer the window's.
    QWidget elsewhere;
    newCount->setParent(&elsewhere);
    auto* thirdCount = new QLabel(&window);
    thirdCount->setProperty(kControlIdProperty, ctl::kRecordCount);
    services.setControlText(ctl::kRecordCount, "3");
    EXPECT_EQ(thirdCount->text(), "3");
    EXPECT_EQ(newCount->text(), "2");
}

} // namespace
} // namespace qv
