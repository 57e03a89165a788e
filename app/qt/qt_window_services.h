#pragma once

// The window services over Qt: the main window's timers as QTimers, posted messages in a queue
// that a custom event has the user-interface thread empty, message boxes modal to the
// window or to the dialog open over it and captioned with the application name.
//
// Thread contract: postMessage() may be called from any thread; everything else runs on
// the thread that owns `window`, the user-interface thread. A posted message joins a
// queue guarded by a mutex and is handed over there, never during the poster's call:
// one onMessage per message, in the order of the postMessage calls. The event loop is
// woken by one event per burst rather than one per message: a wake event is posted only
// when none is queued. Delivery happens in whatever event loop runs there, nested modal
// loops included: before each message is handed over, a wake event is queued if more
// are waiting, so a message box opened while a message is handled still gets the rest.

#include "app/qt/modal_dialog.h"
#include "window/window_services.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <mutex>

class QWidget;

namespace qv::qt {

// The int property by which a control widget carries its control id.
inline constexpr char kControlIdProperty[] = "qvControlId";

// What a message box of the services shows, and the widget that owns it.
struct ShownBox {
    std::string text;
    BoxIcon icon;
    std::string detail;
    QWidget* owner;
};

class QtWindowServices : public QObject, public WindowServices {
    Q_OBJECT
public:
    // `window` (the main window) and `target` must outlive the services. `caption` is the
    // application name shown on every message box.
    QtWindowServices(QWidget* window, WindowMessageTarget& target, QString caption);
    ~QtWindowServices() override;

    void setControlText(int controlId, const std::string& text) override;
    void setCaption(const std::string& text) override;
    void messageBox(const std::string& text, BoxIcon icon = BoxIcon::Exclamation,
                    const std::string& detail = {}) override;
    TimerId startTimer(int timerId, std::chrono::milliseconds period) override;
    void stopTimer(TimerId id) override;
    void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    // Runs `dialog` modally over the main window; returns kIdOk or kIdCancel.
    int runModal(ModalDialog& dialog);

    // The control of `window` whose kControlIdProperty is controlId, or null. Found among
    // the window's children once and remembered; a control that has since been destroyed
    // (or moved to another parent) is looked up afresh, as is an id not found before.
    QWidget* control(int controlId) const;

    // A window beside the main one (the trend window) whose command runs now, or null:
    // boxes shown meanwhile come up over it unless a dialog is open over the main window.
    void setBoxOwner(QWidget* owner) { boxOwner_ = owner; }
    QWidget* boxOwner() const { return boxOwner_; }

    // For tests, standing in for the user: the next messageBox() of any instance hands
    // what it would show to `answer` instead of showing it, and returns when `answer`
    // does. `answer` may run the event loop as the box's own loop would, and may set the
    // next answer. One-shot: it is cleared before it is called; an empty function clears
    // a pending one. User-interface thread only.
    static void setNextAnswer(std::function<void(const ShownBox&)> answer);

protected:
    void customEvent(QEvent* event) override;

private:
    QWidget* window_;
    WindowMessageTarget& target_;
    QString caption_;
    std::map<int, QTimer*> timers_;
    mutable std::map<int, QPointer<QWidget>> controls_;
    QPointer<QWidget> boxOwner_;

    struct PostedMessage {
        std::uint32_t message;
        std::intptr_t wParam;
        std::intptr_t lParam;
    };
    // Shared with the posting threads; guarded by postedMutex_.
    std::mutex postedMutex_;
    std::deque<PostedMessage> posted_;
    bool wakeQueued_ = false; // a wake event is on its way and will see posted_
};

} // namespace qv::qt
