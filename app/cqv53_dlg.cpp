#include "app/cqv53_dlg.h"

#include "acquisition/reading_parser.h"
#include "app/about_dlg.h"
#include "app/dialog_builder.h"
#include "app/res/dialog_templates.h"
#include "app/res/program_icon.h"
#include "app/setup_command.h"
#include "app/setup_dlg.h"
#include "settings/settings_store.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>

namespace {

QAbstractButton* button(const QWidget* dialog, int id) {
    return qobject_cast<QAbstractButton*>(qv::controlById(dialog, id));
}

} // namespace

CQV53Dlg::CQV53Dlg(qv::SettingsStore& settings, qv::SerialPlatform& platform,
                   const qv::Clock& clock, QWidget* parent)
    : QDialog(parent), settings_(settings),
      services_(this, *this, QCoreApplication::applicationName()), channel_(platform),
      log_(services_, clock), controller_(channel_, services_, log_) {
    qv::buildDialog(qv::res::dialogTemplate(qv::res::kMainDialogId), *this);
    if (auto* exit = button(this, qv::ctl::kExit))
        connect(exit, &QAbstractButton::clicked, this, &CQV53Dlg::accept);
    if (auto* setup = button(this, qv::ctl::kSetup))
        connect(setup, &QAbstractButton::clicked, this, &CQV53Dlg::runSetup);
    if (auto* startStop = button(this, qv::ctl::kStartStopLog))
        connect(startStop, &QAbstractButton::clicked, this, [this] { log_.toggle(); });

    qv::ReadingParser::processInstance().setSink(
        [this](const qv::Reading& reading) { controller_.readingComplete(reading); });
}

CQV53Dlg::~CQV53Dlg() {
    qv::ReadingParser::processInstance().setSink(nullptr);
    // Closed here, while every member still exists: closing the log may report a file
    // error in a message box, whose nested loop could otherwise deliver a tick to a
    // controller already gone. The reader is joined before the services go.
    log_.closeOnExit();
    channel_.Close();
}

int CQV53Dlg::execModal() {
    QTimer::singleShot(0, this, &CQV53Dlg::initDialog);
    return exec();
}

void CQV53Dlg::initDialog() {
    if (initialised_)
        return;
    initialised_ = true;

    aboutEntry_ = QString::fromUtf8(qv::res::loadString(qv::res::kAboutMenuStringId));
    setWindowIcon(qv::res::programIcon());

    const qv::AppSettings loaded = qv::loadAppSettings(settings_);
    controller_.setPort(loaded.port);
    controller_.setInterval(loaded.interval);
    log_.setFileName(loaded.fileName);
    append_ = loaded.append;
    log_.setAppend(append_ != 0);
    // The run-time state (flags, values, record count) is in its reset state from the
    // construction of the controller and the log; nothing has run since.

    controller_.start();
    if (auto* exit = qv::controlById(this, qv::ctl::kExit))
        exit->setFocus();
}

bool CQV53Dlg::showAboutBox(unsigned id, std::intptr_t /*lParam*/) {
    if ((id & 0xFFF0u) != qv::res::kAboutCommandId)
        return false;
    CAboutDlg about(this);
    services_.runModal(about);
    return true;
}

void CQV53Dlg::runSetup() {
    QV53SetupDlg dialog(services_, this);
    qv::SetupTargets targets{channel_, controller_, log_, settings_, append_};
    qv::runSetup(targets, dialog.values(), [&] { return services_.runModal(dialog); });
}

void CQV53Dlg::closeOnRequest() {
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

void CQV53Dlg::onTimer(int timerId) {
    controller_.onTimer(timerId);
}

void CQV53Dlg::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t /*lParam*/) {
    if (message == qv::WM_LOG_LINE_DONE)
        log_.lineDone();
    if (message != qv::WM_SERIAL_BYTE)
        return;
    const auto byte = static_cast<std::uint8_t>(wParam & 0xFF);
    qv::ReadingParser::processInstance().feed(&byte, 1);
}

void CQV53Dlg::accept() {
    done(qv::kIdOk);
}

// Escape arrives here directly, the close box through closeEvent.
void CQV53Dlg::reject() {
    done(qv::kIdCancel);
}

void CQV53Dlg::closeEvent(QCloseEvent* event) {
    log_.closeOnExit();
    QDialog::closeEvent(event);
}

void CQV53Dlg::contextMenuEvent(QContextMenuEvent* event) {
    if (aboutEntry_.isEmpty()) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    QAction* about = menu.addAction(aboutEntry_);
    if (menu.exec(event->globalPos()) == about)
        showAboutBox(qv::res::kAboutCommandId, 0);
}
