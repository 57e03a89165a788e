#pragma once

// Driving the program's real Qt windows from a test: bounded waits that keep the event
// loop running; the message boxes of the window services answered through their
// one-shot hook; the windows the services do not show (dialogs, the file browser, menus)
// answered by a timer that polls for them from whatever loop runs. No test ever blocks
// on a modal window. User-interface thread only.

#include "app/qt/dialog_builder.h"
#include "app/qt/qt_window_services.h"
#include "tests/support/wait_until.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace qv::test {

// The pump of Qt tests: one short turn of a nested event loop, as a modal loop would run.
inline void runEventsBriefly() {
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds; false when `timeout` passed first.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds{10}) {
    return waitUntil(done, timeout, runEventsBriefly);
}

// Runs `action` once on the first widget for which `find` gives non-null, polling from
// whatever event loop runs. After `timeout` without one it records a failure and
// cancels every modal dialog then open, so that the test ends instead of hanging.
template <class T>
void whenShown(std::function<T*()> find, std::function<void(T*)> action,
               std::chrono::milliseconds timeout = std::chrono::seconds{10}) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        T* widget = find();
        if (widget == nullptr && !clock->hasExpired(timeout.count()))
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (widget != nullptr) {
            action(widget);
            return;
        }
        ADD_FAILURE() << "expected window never appeared";
        for (int i = 0; i < 8; ++i)
            if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                open->reject();
    });
    timer->start(10);
}

// As whenShown, for the next modal widget of type T.
template <class T>
void whenModal(std::function<void(T*)> action,
               std::chrono::milliseconds timeout = std::chrono::seconds{10}) {
    whenShown<T>([] { return qobject_cast<T*>(QApplication::activeModalWidget()); },
                 std::move(action), timeout);
}

template <class T> T* child(const QWidget* dialog, int id) {
    return qobject_cast<T*>(qv::qt::controlById(dialog, id));
}

// Presses Setup... of the main window `window` (a QtMainDialog) and returns when the setup
// command has run its dialog, or ended without one: the ports are probed off the window's
// thread, and the dialog runs in whatever loop the wait turns.
template <class MainWindow> void pressSetup(MainWindow* window) {
    auto* setup = qobject_cast<QAbstractButton*>(qv::qt::controlById(window, qv::ctl::kSetup));
    ASSERT_NE(setup, nullptr);
    setup->click();
    ASSERT_TRUE(waitUntil([&] { return !window->logic().probingPorts(); }));
}

inline void click(const QWidget* dialog, int id) {
    QAbstractButton* button = child<QAbstractButton>(dialog, id);
    ASSERT_NE(button, nullptr) << "control " << id;
    button->click();
}

// What a message box of the window services showed.
struct Box {
    bool seen = false;
    QString text;
    qv::BoxIcon icon = qv::BoxIcon::Exclamation;
    QString detail;
    QWidget* owner = nullptr;
    QString ownerClass; // the owner may be gone when the test looks
};

inline Box boxFrom(const qv::qt::ShownBox& shown) {
    QWidget* owner = shown.owner;
    return {true,       QString::fromStdString(shown.text),
            shown.icon, QString::fromStdString(shown.detail),
            owner,      owner ? QString::fromLatin1(owner->metaObject()->className()) : QString()};
}

// The next message box of the window services is answered with OK at once, what it
// showed kept in `seen` (which must outlive the box, or the answer be cleared with
// clearBoxAnswer()). Set it before the action that shows the box.
inline void answerNextBox(Box& seen) {
    qv::qt::QtWindowServices::setNextAnswer(
        [&seen](const qv::qt::ShownBox& box) { seen = boxFrom(box); });
}
inline void clearBoxAnswer() {
    qv::qt::QtWindowServices::setNextAnswer({});
}

} // namespace qv::test
