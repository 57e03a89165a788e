#include "app/qt/qt_about_dialog.h"

#include "app/qt/dialog_builder.h"
#include "app/res/dialog_templates.h"

#include <QAbstractButton>

namespace qv::qt {

QtAboutDialog::QtAboutDialog(QWidget* parent) : QDialog(parent) {
    buildDialog(qv::res::dialogTemplate(qv::res::kAboutDialogId), *this);
    if (auto* ok = qobject_cast<QAbstractButton*>(controlById(this, qv::kIdOk)))
        connect(ok, &QAbstractButton::clicked, this, &QtAboutDialog::accept);
}

void QtAboutDialog::accept() {
    done(qv::kIdOk);
}

// Escape and the close box both arrive here.
void QtAboutDialog::reject() {
    done(qv::kIdCancel);
}

} // namespace qv::qt
