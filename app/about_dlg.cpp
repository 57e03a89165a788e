#include "app/about_dlg.h"

#include "app/dialog_builder.h"
#include "app/res/dialog_templates.h"

#include <QAbstractButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    qv::buildDialog(qv::res::dialogTemplate(qv::res::kAboutDialogId), *this);
    if (auto* ok = qobject_cast<QAbstractButton*>(qv::controlById(this, qv::kIdOk)))
        connect(ok, &QAbstractButton::clicked, this, &CAboutDlg::accept);
}

void CAboutDlg::accept() {
    done(qv::kIdOk);
}

// Escape and the close box both arrive here.
void CAboutDlg::reject() {
    done(qv::kIdCancel);
}
