#include "app/qt/qt_main_dialog.h"

#include "app/qt/dialog_builder.h"
#include "app/qt/program_icon.h"
#include "app/qt/qt_trend_window.h"
#include "app/res/dialog_templates.h"
#include "app/window_placement.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include <vector>

namespace qv::qt {

namespace {

// Each screen's available area, the primary screen's first.
std::vector<qv::ScreenRect> workAreas() {
    std::vector<qv::ScreenRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect r = screen->availableGeometry();
        const qv::ScreenRect area{r.x(), r.y(), r.width(), r.height()};
        areas.insert(screen == primary ? areas.begin() : areas.end(), area);
    }
    return areas;
}

QAbstractButton* button(const QWidget* dialog, int id) {
    return qobject_cast<QAbstractButton*>(controlById(dialog, id));
}

} // namespace

QtMainDialog::QtMainDialog(qv::SettingsStore& settings, qv::SerialPlatform& platform,
                           const qv::Clock& clock, QWidget* parent)
    : QDialog(parent), services_(this, *this, QCoreApplication::applicationName()),
      frontEnd_(*this, services_), logic_(services_, frontEnd_, settings, platform, clock) {
    buildDialog(qv::res::dialogTemplate(qv::res::kMainDialogId), *this);
    if (auto* exit = button(this, qv::ctl::kExit))
        connect(exit, &QAbstractButton::clicked, this, &QtMainDialog::accept);
    for (const int id : {qv::ctl::kSetup, qv::ctl::kStartStopLog})
        if (auto* command = button(this, id))
            connect(command, &QAbstractButton::clicked, this, [this, id] { logic_.OnCommand(id); });
}

// The trend window goes first: it refers to the logic's trend view.
QtMainDialog::~QtMainDialog() {
    frontEnd_.closeTrendWindow();
}

int QtMainDialog::execModal() {
    // Before it is shown, so that it does not jump; the frame's size is not known yet.
    // A window manager that places windows itself may still override.
    const QRect frame = frameGeometry();
    const qv::ScreenPoint at = logic_.openingPosition(frame.width(), frame.height(), workAreas());
    move(at.x, at.y);
    QTimer::singleShot(0, this, &QtMainDialog::initDialog);
    return exec();
}

void QtMainDialog::initDialog() {
    if (initialised_)
        return;
    initialised_ = true;
    setWindowIcon(programIcon());
    // The frame's size is known now that the window is shown: a frame that reaches past the
    // desktop's edge is brought in.
    const QRect frame = frameGeometry();
    const qv::ScreenPoint inside =
        qv::keptInside({frame.x(), frame.y()}, frame.width(), frame.height(), workAreas());
    if (inside.x != frame.x() || inside.y != frame.y())
        move(inside.x, inside.y);
    logic_.OnInitDialog();
    if (auto* exit = controlById(this, qv::ctl::kExit))
        exit->setFocus();
}

void QtMainDialog::closeOnRequest() {
    // Innermost first; a widget that refuses to go ends the unwinding rather than loop.
    QWidget* refused = nullptr;
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (popup == refused)
            break;
        refused = popup;
        popup->close();
    }
    while (QWidget* top = QApplication::activeModalWidget()) {
        if (top == this || top == refused)
            break;
        refused = top;
        if (auto* dialog = qobject_cast<QDialog*>(top))
            dialog->reject();
        else
            top->close();
    }
    close();
}

void QtMainDialog::onTimer(int timerId) {
    logic_.onTimer(timerId);
}

void QtMainDialog::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    // The outcome of the trend window's "Open log..." comes up over that window, as the
    // boxes of its commands do.
    QWidget* const outer = services_.boxOwner();
    if (message == qv::WM_TREND_LOG_READ && frontEnd_.trendWindow())
        services_.setBoxOwner(frontEnd_.trendWindow());
    logic_.onMessage(message, wParam, lParam);
    services_.setBoxOwner(outer);
}

// Every end passes here: Exit, Escape, the close box and a termination request.
void QtMainDialog::done(int result) {
    if (isVisible() && !isMinimized())
        logic_.storeWindowPosition({pos().x(), pos().y()});
    QDialog::done(result);
}

void QtMainDialog::accept() {
    done(qv::kIdOk);
}

// Escape arrives here directly, the close box through closeEvent.
void QtMainDialog::reject() {
    done(qv::kIdCancel);
}

void QtMainDialog::closeEvent(QCloseEvent* event) {
    logic_.OnClose();
    QDialog::closeEvent(event);
}

void QtMainDialog::contextMenuEvent(QContextMenuEvent* event) {
    const std::string entry = logic_.aboutMenuEntry();
    if (entry.empty()) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    QAction* trend = menu.addAction(QString::fromStdString(logic_.trendMenuEntry()));
    QAction* reconnect = menu.addAction(QString::fromStdString(logic_.reconnectMenuEntry()));
    reconnect->setCheckable(true);
    reconnect->setChecked(logic_.autoReconnect());
    QAction* publish = menu.addAction(QString::fromStdString(logic_.publishMenuEntry()));
    QAction* about = menu.addAction(QString::fromStdString(entry));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == trend)
        logic_.OnSysCommand(qv::res::kTrendCommandId, 0);
    else if (chosen == reconnect)
        logic_.OnSysCommand(qv::res::kReconnectCommandId, 0);
    else if (chosen == publish)
        logic_.OnSysCommand(qv::res::kPublishCommandId, 0);
    else if (chosen == about)
        logic_.OnSysCommand(qv::res::kAboutCommandId, 0);
}

} // namespace qv::qt
