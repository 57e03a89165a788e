#include "app/qt/qt_setup_dialog.h"

#include "app/qt/dialog_builder.h"
#include "app/res/dialog_templates.h"
#include "app/setup_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>

namespace qv::qt {

namespace {

template <class T> T* control(const QWidget* dialog, int id) {
    return qobject_cast<T*>(controlById(dialog, id));
}

} // namespace

QtSetupDialog::QtSetupDialog(qv::QV53SetupDlg& logic, QWidget* parent)
    : QDialog(parent), logic_(logic), controls_(*this) {
    buildDialog(qv::res::dialogTemplate(qv::res::kSetupDialogId), *this);
    if (auto* ok = control<QAbstractButton>(this, qv::kIdOk))
        connect(ok, &QAbstractButton::clicked, this, &QtSetupDialog::accept);
    if (auto* cancel = control<QAbstractButton>(this, qv::kIdCancel))
        connect(cancel, &QAbstractButton::clicked, this, &QtSetupDialog::reject);
    if (auto* browse = control<QAbstractButton>(this, qv::ctl::kBrowse))
        connect(browse, &QAbstractButton::clicked, this,
                [this] { logic_.browseForLogFile(controls_); });
    // An ordinary check box: a stored 2 shows as undecided until the user's first click,
    // and clicks then give checked or unchecked only, never the undecided state again.
    if (auto* append = control<QCheckBox>(this, qv::ctl::kAppend))
        connect(append, &QCheckBox::stateChanged, append, [append](int state) {
            if (state != Qt::PartiallyChecked)
                append->setTristate(false);
        });
}

int QtSetupDialog::execModal() {
    logic_.OnInitDialog(controls_);
    // The first control with a tab stop.
    if (auto* ok = control<QWidget>(this, qv::kIdOk))
        ok->setFocus();
    return exec();
}

void QtSetupDialog::accept() {
    if (logic_.OnOK(controls_))
        done(qv::kIdOk);
}

// Cancel, Escape and the close box.
void QtSetupDialog::reject() {
    done(qv::kIdCancel);
}

} // namespace qv::qt
