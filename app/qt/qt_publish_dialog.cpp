#include "app/qt/qt_publish_dialog.h"

#include "app/publish_dialog.h"
#include "app/qt/dialog_builder.h"
#include "app/res/dialog_templates.h"

#include <QAbstractButton>

namespace qv::qt {

QtPublishDialog::QtPublishDialog(qv::PublishDialog& logic, QWidget* parent)
    : QDialog(parent), logic_(logic), controls_(*this) {
    buildDialog(qv::res::dialogTemplate(qv::res::kPublishDialogId), *this);
    if (auto* ok = qobject_cast<QAbstractButton*>(controlById(this, qv::kIdOk)))
        connect(ok, &QAbstractButton::clicked, this, &QtPublishDialog::accept);
    if (auto* cancel = qobject_cast<QAbstractButton*>(controlById(this, qv::kIdCancel)))
        connect(cancel, &QAbstractButton::clicked, this, &QtPublishDialog::reject);
}

int QtPublishDialog::execModal() {
    logic_.OnInitDialog(controls_);
    // The first control with a tab stop.
    if (QWidget* broker = controlById(this, qv::ctl::kBroker))
        broker->setFocus();
    return exec();
}

void QtPublishDialog::accept() {
    if (logic_.OnOK(controls_))
        done(qv::kIdOk);
}

// Cancel, Escape and the close box.
void QtPublishDialog::reject() {
    done(qv::kIdCancel);
}

} // namespace qv::qt
