#pragma once

// The main window's Qt window (template 102): builds the template, owns the window
// services over itself and the front end, and hands everything the program decides to the
// logic (qv::CQV53Dlg): button presses, timer ticks and posted messages, the trend,
// reconnect and about entries (offered as a context menu, Qt having no system menu to
// extend) and the close path. It opens where the logic places it (centred on the primary
// screen at the first start, where the user left it afterwards) and reports its place when
// it ends; its dialogs are Qt's, centred over it by QDialog.
//
// Ends with kIdOk through Exit or Enter, with kIdCancel through Escape, the close box or
// a termination request. However it ends, the log file is closed and flushed before the
// object is gone, and the channel's reader thread is joined. User-interface thread only,
// except what the channel's reader posts through the window services.

#include "app/main_dialog.h"
#include "app/qt/modal_dialog.h"
#include "app/qt/qt_front_end.h"
#include "app/qt/qt_window_services.h"
#include "window/window_services.h"

#include <QDialog>

namespace qv {
class SerialPlatform;
class SettingsStore;
} // namespace qv

namespace qv::qt {

class QtMainDialog : public QDialog, public qv::WindowMessageTarget, public ModalDialog {
    Q_OBJECT
public:
    // All three must outlive the window.
    QtMainDialog(qv::SettingsStore& settings, qv::SerialPlatform& platform, const qv::Clock& clock,
                 QWidget* parent = nullptr);
    ~QtMainDialog() override;

    // Shows the window, initialises it as the first thing its modal loop does (so that a
    // "Failed to open COM port" box comes up over it), and runs until it ends.
    int execModal() override;

    // The start-up work, once: the icon, the logic's initialisation, the focus on Exit.
    // A second call does nothing.
    void initDialog();

    // A request to end the program from outside (SIGTERM, SIGINT): the dialogs open over
    // the window are cancelled, then the window closes as through its close box.
    void closeOnRequest();

    // qv::WindowMessageTarget: forwarded to the logic.
    void onTimer(int timerId) override;
    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    // For tests: the logic and the parts it owns.
    qv::CQV53Dlg& logic() { return logic_; }
    QtFrontEnd& frontEnd() { return frontEnd_; }
    const qv::MeasurementLog& log() const { return logic_.log(); }
    const qv::AcquisitionController& controller() const { return logic_.controller(); }
    int append() const { return logic_.append(); }

    // Stores where the window was left (not while minimised), then ends it.
    void done(int result) override;

public slots:
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Declared in this order so that the logic (log, channel and its reader) goes before
    // the services it posts through.
    QtWindowServices services_;
    QtFrontEnd frontEnd_;
    qv::CQV53Dlg logic_;
    bool initialised_ = false;
};

} // namespace qv::qt
