#pragma once

// The window services over Qt: timers 1 and 2 as QTimers, posted messages as custom
// events carrying wParam and lParam, message boxes modal to the window or to the
// dialog open over it and captioned with the application name.
//
// Thread contract: postMessage() may be called from any thread (it only posts a
// QEvent, which Qt queues thread-safely and delivers in the order posted by one
// thread); everything else runs on the thread that owns `window`, the user-interface
// thread. Delivery happens in whatever event loop runs there, nested modal loops
// included.

#include "app/services/window_services.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <map>

class QWidget;

namespace qv {

// The int property by which a control widget carries its control id.
inline constexpr char kControlIdProperty[] = "qvControlId";

class QtWindowServices : public QObject, public WindowServices {
    Q_OBJECT
public:
    // `window` (the main window) and `target` must outlive the services. `caption` is the
    // application name shown on every message box.
    QtWindowServices(QWidget* window, WindowMessageTarget& target, QString caption);
    ~QtWindowServices() override;

    void setControlText(int controlId, const std::string& text) override;
    void messageBox(const std::string& text, BoxIcon icon = BoxIcon::Exclamation) override;
    TimerId startTimer(int timerId, std::chrono::milliseconds period) override;
    void stopTimer(TimerId id) override;
    void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;
    int runModal(ModalDialog& dialog) override;

    // The control of `window` whose kControlIdProperty is controlId, or null. Found among
    // the window's children once and remembered; a control that has since been destroyed
    // (or moved to another parent) is looked up afresh, as is an id not found before.
    QWidget* control(int controlId) const;

protected:
    void customEvent(QEvent* event) override;

private:
    QWidget* window_;
    WindowMessageTarget& target_;
    QString caption_;
    std::map<int, QTimer*> timers_;
    mutable std::map<int, QPointer<QWidget>> controls_;
};

} // namespace qv
