#pragma once

// The about box: template 100 with the program's icon, name and version, a line about
// the program and the maker's line. OK or Enter ends it with kIdOk; Escape or the close
// box with kIdCancel. No behaviour beyond closing.

#include "app/qt/modal_dialog.h"

#include <QDialog>

namespace qv::qt {

class QtAboutDialog : public QDialog, public ModalDialog {
    Q_OBJECT
public:
    explicit QtAboutDialog(QWidget* parent = nullptr);

    int execModal() override { return exec(); }

public slots:
    void accept() override;
    void reject() override;
};

} // namespace qv::qt
