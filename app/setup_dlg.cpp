#include "app/setup_dlg.h"

#include "app/dialog_builder.h"
#include "app/interval_scan.h"
#include "app/res/dialog_templates.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>

namespace {

constexpr char kNotAnInteger[] = "Enter an integer.";
constexpr char kOutOfRange[] = "Enter an integer between %1 and %2.";

constexpr char kLogSuffix[] = "log";
constexpr char kInitialLogName[] = "tavrin.log";

template <class T> T* control(const QWidget* dialog, int id) {
    return qobject_cast<T*>(qv::controlById(dialog, id));
}

} // namespace

QV53SetupDlg::QV53SetupDlg(qv::WindowServices& window, QWidget* parent)
    : QDialog(parent), window_(window) {
    qv::buildDialog(qv::res::dialogTemplate(qv::res::kSetupDialogId), *this);
    portCombo_ = control<QComboBox>(this, qv::ctl::kPortList);
    if (auto* ok = control<QAbstractButton>(this, qv::kIdOk))
        connect(ok, &QAbstractButton::clicked, this, &QV53SetupDlg::accept);
    if (auto* cancel = control<QAbstractButton>(this, qv::kIdCancel))
        connect(cancel, &QAbstractButton::clicked, this, &QV53SetupDlg::reject);
    if (auto* browse = control<QAbstractButton>(this, qv::ctl::kBrowse))
        connect(browse, &QAbstractButton::clicked, this, &QV53SetupDlg::browseForLogFile);
    // An ordinary check box: a stored 2 shows as undecided until the user's first click,
    // and clicks then give checked or unchecked only, never the undecided state again.
    if (auto* append = control<QCheckBox>(this, qv::ctl::kAppend))
        connect(append, &QCheckBox::stateChanged, append, [append](int state) {
            if (state != Qt::PartiallyChecked)
                append->setTristate(false);
        });
}

int QV53SetupDlg::execModal() {
    initDialog();
    return exec();
}

void QV53SetupDlg::initDialog() {
    control<QLineEdit>(this, qv::ctl::kInterval)->setText(QString::number(values_.interval));
    control<QLineEdit>(this, qv::ctl::kFileName)->setText(QString::fromStdString(values_.fileName));
    // A stored value outside the check box's three states shows as unchecked.
    if (values_.append < 0 || values_.append > 2)
        values_.append = 0;
    auto* append = control<QCheckBox>(this, qv::ctl::kAppend);
    append->setTristate(values_.append == 2);
    append->setCheckState(values_.append == 1   ? Qt::Checked
                          : values_.append == 2 ? Qt::PartiallyChecked
                                                : Qt::Unchecked);

    portCombo_->clear();
    int selected = -1;
    for (std::size_t i = 0; i < values_.portNames.size(); ++i) {
        portCombo_->addItem(QString::fromStdString(values_.portNames[i]));
        if (values_.portNames[i] == values_.selectedPort)
            selected = static_cast<int>(i);
    }
    // The combo box selects its first entry by itself; only the held port is preselected.
    portCombo_->setCurrentIndex(selected);

    if (auto* ok = control<QWidget>(this, qv::kIdOk))
        ok->setFocus();
}

void QV53SetupDlg::accept() {
    if (exchangeFromControls())
        done(qv::kIdOk);
}

// Cancel, Escape and the close box.
void QV53SetupDlg::reject() {
    done(qv::kIdCancel);
}

bool QV53SetupDlg::exchangeFromControls() {
    const QString intervalText = control<QLineEdit>(this, qv::ctl::kInterval)->text();
    const auto interval = qv::scanIntervalText(intervalText.toStdString());
    if (!interval) {
        refuseInterval(kNotAnInteger);
        return false;
    }
    if (*interval < kMinInterval || *interval > kMaxInterval) {
        const QString text = QString::fromLatin1(kOutOfRange).arg(kMinInterval).arg(kMaxInterval);
        refuseInterval(text.toStdString());
        return false;
    }
    values_.interval = *interval;
    values_.fileName = control<QLineEdit>(this, qv::ctl::kFileName)->text().toStdString();
    const Qt::CheckState append = control<QCheckBox>(this, qv::ctl::kAppend)->checkState();
    values_.append = append == Qt::Checked ? 1 : append == Qt::PartiallyChecked ? 2 : 0;
    values_.selectedPort =
        portCombo_->currentIndex() < 0 ? std::string() : portCombo_->currentText().toStdString();
    return true;
}

void QV53SetupDlg::refuseInterval(const std::string& message) {
    window_.messageBox(message, qv::BoxIcon::Exclamation);
    auto* edit = control<QLineEdit>(this, qv::ctl::kInterval);
    edit->setFocus();
    edit->selectAll();
}

// Only picks a name: the file is neither created nor opened here; the log opens it when
// logging starts.
void QV53SetupDlg::browseForLogFile() {
    QFileDialog browser(this);
    browser.setAcceptMode(QFileDialog::AcceptSave);
    browser.setFileMode(QFileDialog::AnyFile);
    browser.setDefaultSuffix(QString::fromLatin1(kLogSuffix));
    browser.selectFile(QString::fromLatin1(kInitialLogName));
    if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty())
        return;
    const QString path = browser.selectedFiles().constFirst();
    values_.fileName = path.toStdString();
    control<QLineEdit>(this, qv::ctl::kFileName)->setText(path);
}
