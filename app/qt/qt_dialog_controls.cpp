#include "app/qt/qt_dialog_controls.h"

#include "app/qt/dialog_builder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

namespace qv::qt {
namespace {

template <class T> T* control(const QWidget& dialog, int id) {
    return qobject_cast<T*>(controlById(&dialog, id));
}

} // namespace

std::string QtDialogControls::text(int id) const {
    if (auto* edit = control<QLineEdit>(dialog_, id))
        return edit->text().toStdString();
    if (auto* button = control<QAbstractButton>(dialog_, id))
        return button->text().toStdString();
    if (auto* label = control<QLabel>(dialog_, id))
        return label->text().toStdString();
    return {};
}

void QtDialogControls::setText(int id, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (auto* edit = control<QLineEdit>(dialog_, id))
        edit->setText(value);
    else if (auto* button = control<QAbstractButton>(dialog_, id))
        button->setText(value);
    else if (auto* label = control<QLabel>(dialog_, id))
        label->setText(value);
}

void QtDialogControls::setCueText(int id, const std::string& text) {
    if (auto* edit = control<QLineEdit>(dialog_, id))
        edit->setPlaceholderText(QString::fromStdString(text));
}

int QtDialogControls::checkState(int id) const {
    auto* box = control<QCheckBox>(dialog_, id);
    if (box == nullptr)
        return kUnchecked;
    const Qt::CheckState state = box->checkState();
    return state == Qt::Checked            ? kChecked
           : state == Qt::PartiallyChecked ? kIndeterminate
                                           : kUnchecked;
}

// The undecided state is offered only while it is shown: the box turns into an ordinary
// two-state box at the user's first click (connected by the dialog that owns it).
void QtDialogControls::setCheckState(int id, int state) {
    auto* box = control<QCheckBox>(dialog_, id);
    if (box == nullptr)
        return;
    box->setTristate(state == kIndeterminate);
    box->setCheckState(state == kChecked         ? Qt::Checked
                       : state == kIndeterminate ? Qt::PartiallyChecked
                                                 : Qt::Unchecked);
}

void QtDialogControls::clearList(int id) {
    if (auto* list = control<QComboBox>(dialog_, id))
        list->clear();
}

void QtDialogControls::addListItem(int id, const std::string& text) {
    if (auto* list = control<QComboBox>(dialog_, id))
        list->addItem(QString::fromStdString(text));
}

int QtDialogControls::listSelection(int id) const {
    auto* list = control<QComboBox>(dialog_, id);
    return list ? list->currentIndex() : -1;
}

void QtDialogControls::setListSelection(int id, int index) {
    if (auto* list = control<QComboBox>(dialog_, id))
        list->setCurrentIndex(index);
}

std::string QtDialogControls::listItemText(int id, int index) const {
    auto* list = control<QComboBox>(dialog_, id);
    return list ? list->itemText(index).toStdString() : std::string();
}

void QtDialogControls::focus(int id, bool selectAllText) {
    QWidget* widget = controlById(&dialog_, id);
    if (widget == nullptr)
        return;
    widget->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(widget); edit && selectAllText)
        edit->selectAll();
}

void QtDialogControls::enable(int id, bool enabled) {
    if (QWidget* widget = controlById(&dialog_, id))
        widget->setEnabled(enabled);
}

void QtDialogControls::show(int id, bool shown) {
    if (QWidget* widget = controlById(&dialog_, id))
        widget->setVisible(shown);
}

void QtDialogControls::setProgress(int id, int percent) {
    if (auto* bar = control<QProgressBar>(dialog_, id))
        bar->setValue(percent);
}

} // namespace qv::qt
