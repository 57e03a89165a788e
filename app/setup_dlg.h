#pragma once

// The setup dialog (template 129): port, interval, log file name and append mode. It
// only shows and exchanges values; the setup command (app/setup_command.h) fills it,
// runs it and applies the result. OK (or Enter) ends it with kIdOk once the values pass
// the exchange; Cancel, Escape and the close box end it with kIdCancel and exchange
// nothing.

#include "app/services/window_services.h"
#include "app/setup_command.h"

#include <QDialog>

#include <string>

class QComboBox;

class QV53SetupDlg : public QDialog, public qv::ModalDialog {
    Q_OBJECT
public:
    // `window` shows the validation messages (over this dialog) and must outlive it.
    explicit QV53SetupDlg(qv::WindowServices& window, QWidget* parent = nullptr);

    // Fills the controls from values(), then runs the modal loop.
    int execModal() override;

    qv::SetupValues& values() { return values_; }

    // Valid interval range, in seconds.
    static constexpr int kMinInterval = 1;
    static constexpr int kMaxInterval = 1000;

public slots:
    void accept() override;
    void reject() override;

private:
    void initDialog();
    // Controls to values (OK). False, with the message shown and the field's text selected,
    // when the interval is refused; values() then keeps what it had.
    bool exchangeFromControls();
    void refuseInterval(const std::string& message);
    void browseForLogFile();

    qv::WindowServices& window_;
    qv::SetupValues values_;
    QComboBox* portCombo_ = nullptr;
};
