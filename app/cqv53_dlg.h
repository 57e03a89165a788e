#pragma once

// The main window (template 102): the two values, the record count and the Setup...,
// Start/Stop Log and Exit buttons. It owns all run-time state of the program (channel,
// log, acquisition cycle, the loaded settings) and routes the window's messages to the
// parts that do the work; it holds no logic of theirs.
//
// Ends with kIdOk through Exit or Enter, with kIdCancel through Escape, the close box or
// a termination request. However it ends, the log file is closed and flushed before the
// object is gone, and the channel's reader thread is joined. User-interface thread only,
// except what the channel's reader posts through the window services.

#include "acquisition/acquisition_controller.h"
#include "acquisition/clock.h"
#include "acquisition/measurement_log.h"
#include "app/qt_window_services.h"
#include "app/services/window_services.h"
#include "serial/serial_comm.h"

#include <QDialog>

namespace qv {
class SerialPlatform;
class SettingsStore;
} // namespace qv

class CQV53Dlg : public QDialog, public qv::WindowMessageTarget, public qv::ModalDialog {
    Q_OBJECT
public:
    // All three must outlive the window.
    CQV53Dlg(qv::SettingsStore& settings, qv::SerialPlatform& platform, const qv::Clock& clock,
             QWidget* parent = nullptr);
    ~CQV53Dlg() override;

    // Shows the window, initialises it as the first thing its modal loop does (so that a
    // "Failed to open COM port" box comes up over it), and runs until it ends.
    int execModal() override;

    // The start-up work, once: the about entry, the icon, the settings loaded, the
    // acquisition started. A second call does nothing.
    void initDialog();

    // The system-command handler: an id whose value with the low four bits cleared is
    // 0x10 opens the about box. False for any other id, which is left to the platform.
    bool showAboutBox(unsigned id, std::intptr_t lParam);

    // Setup... (control 1002).
    void runSetup();

    // A request to end the program from outside (SIGTERM, SIGINT): the dialogs open over
    // the window are cancelled, then the window closes as through its close box.
    void closeOnRequest();

    // qv::WindowMessageTarget
    void onTimer(int timerId) override;
    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    // For tests: the parts the window owns.
    const qv::MeasurementLog& log() const { return log_; }
    const qv::AcquisitionController& controller() const { return controller_; }
    int append() const { return append_; }

public slots:
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    qv::SettingsStore& settings_;
    // Declared in this order so that destruction runs: controller, log (closes and
    // flushes its file), channel (joins its reader, which posts through the services),
    // services.
    qv::QtWindowServices services_;
    qv::CSerialComm channel_;
    qv::MeasurementLog log_;
    qv::AcquisitionController controller_;
    int append_ = 1;     // "Append" as loaded; the log only needs whether it is non-zero
    QString aboutEntry_; // text of the about entry; empty: no entry
    bool initialised_ = false;
};
