#pragma once

// The publish dialog's Qt window (template 131): builds the template and hands its
// controls to the logic (qv::PublishDialog) through the control-access seam. OK (or Enter)
// ends it with kIdOk once the logic takes the values; Cancel, Escape and the close box end
// it with kIdCancel and exchange nothing.

#include "app/qt/modal_dialog.h"
#include "app/qt/qt_dialog_controls.h"

#include <QDialog>

namespace qv {
class PublishDialog;
}

namespace qv::qt {

class QtPublishDialog : public QDialog, public ModalDialog {
    Q_OBJECT
public:
    // `logic` must outlive the window.
    explicit QtPublishDialog(qv::PublishDialog& logic, QWidget* parent = nullptr);

    // Fills the controls through the logic, then runs the modal loop.
    int execModal() override;

public slots:
    void accept() override;
    void reject() override;

private:
    qv::PublishDialog& logic_;
    QtDialogControls controls_;
};

} // namespace qv::qt
