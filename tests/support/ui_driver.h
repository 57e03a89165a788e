#pragma once

// Driving the program's real Qt windows from a test: bounded waits that keep the event
// loop running, and modal windows (dialogs, message boxes, menus) answered by a timer
// that polls for them from whatever loop runs, so no test ever blocks on one.
// User-interface thread only.

#include "app/dialog_builder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace qv::test {

// Runs the event loop until `done` holds; false when `timeout` passed first.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds{10}) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.hasExpired(timeout.count()))
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
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
    return qobject_cast<T*>(qv::controlById(dialog, id));
}

inline void click(const QWidget* dialog, int id) {
    QAbstractButton* button = child<QAbstractButton>(dialog, id);
    ASSERT_NE(button, nullptr) << "control " << id;
    button->click();
}

// What a message box showed.
struct Box {
    bool seen = false;
    QString text;
    QString title;
    QWidget* owner = nullptr;
    QString ownerClass; // the owner may be gone when the test looks
};

// Closes the next message box with OK, keeping what it showed in `seen` (which must
// outlive the box).
inline void answerNextBox(Box& seen, std::chrono::milliseconds timeout = std::chrono::seconds{10}) {
    whenModal<QMessageBox>(
        [&seen](QMessageBox* box) {
            QWidget* owner = box->parentWidget();
            seen = {true, box->text(), box->windowTitle(), owner,
                    owner ? QString::fromLatin1(owner->metaObject()->className()) : QString()};
            box->accept();
        },
        timeout);
}

} // namespace qv::test
