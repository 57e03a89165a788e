#include "app/qt/dialog_builder.h"

#include "app/qt/program_icon.h"
#include "app/qt/qt_window_services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <vector>

namespace qv::qt {
namespace {

using res::ControlKind;
using res::ControlTemplate;
namespace style = res::style;

bool has(std::uint32_t styleBits, std::uint32_t flag) {
    return (styleBits & flag) == flag;
}

// The size at which the icon control draws icon 128, as the system draws a static icon.
constexpr int kIconPixels = 32;

QWidget* makeControl(const ControlTemplate& c, QDialog& dialog) {
    const QString text = QString::fromUtf8(c.text);
    const bool tabStop = has(c.style, style::kTabStop);
    // Controls without a tab stop are skipped by Tab but still take the focus on a click.
    const Qt::FocusPolicy focus = tabStop ? Qt::StrongFocus : Qt::ClickFocus;

    switch (c.kind) {
    case ControlKind::DefPushButton:
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, &dialog);
        // A focused push button takes Enter while it has the focus, as dialog buttons do;
        // otherwise Enter goes to the one default button of the template.
        button->setAutoDefault(true);
        button->setDefault(c.kind == ControlKind::DefPushButton);
        button->setFocusPolicy(focus);
        return button;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(text, &dialog);
        box->setFocusPolicy(focus);
        return box;
    }
    case ControlKind::StaticText: {
        auto* label = new QLabel(&dialog);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setText(text);
        return label;
    }
    case ControlKind::StaticIcon: {
        auto* label = new QLabel(&dialog);
        label->setPixmap(programIcon().pixmap(kIconPixels, kIconPixels));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(text, &dialog);
        edit->setReadOnly(has(c.style, style::kEditReadOnly));
        if (has(c.style, style::kEditPassword))
            edit->setEchoMode(QLineEdit::Password);
        edit->setAlignment((has(c.style, style::kEditRight) ? Qt::AlignRight : Qt::AlignLeft) |
                           Qt::AlignVCenter);
        edit->setFrame(has(c.style, style::kBorder));
        edit->setFocusPolicy(focus);
        return edit;
    }
    case ControlKind::GroupBox:
        // A frame drawn behind the controls it surrounds, not their parent: the template's
        // geometry stays flat and the controls keep the dialog as parent.
        return new QGroupBox(text, &dialog);
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(&dialog);
        bar->setRange(0, 100);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::DropDownList: {
        auto* combo = new QComboBox(&dialog);
        combo->setEditable(false);
        combo->setFocusPolicy(focus);
        return combo;
    }
    }
    return nullptr;
}

// The closed drop-down list is as tall as its font makes it; the template's height only
// bounds the dropped-down list.
void placeComboBox(QComboBox& combo, const QRect& rect, const DialogUnits& base) {
    const int rowHeight = std::max(1, combo.fontMetrics().height());
    const int listRows = static_cast<int>(rect.height() / rowHeight);
    combo.setMaxVisibleItems(std::max(1, listRows - 1));
    const QRect closed(
        rect.x(), rect.y(), rect.width(),
        std::max(combo.sizeHint().height(), static_cast<int>(std::lround(12 * base.y))));
    combo.setGeometry(closed);
}

} // namespace

DialogUnits dialogUnitsOf(const QFont& font) {
    const QFontMetricsF metrics(font);
    // The average width over the 52 Latin letters, as the dialog manager measures it.
    const double average = metrics.horizontalAdvance(QStringLiteral(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                           52.0;
    return {average / 4.0, metrics.height() / 8.0};
}

QRect dluToPixels(const DialogUnits& base, int x, int y, int w, int h) {
    const auto px = [](double units, double unit) {
        return static_cast<int>(std::lround(units * unit));
    };
    return {px(x, base.x), px(y, base.y), px(w, base.x), px(h, base.y)};
}

QFont templateFont(const res::DialogTemplate& tpl) {
    const QString family = QString::fromUtf8(tpl.fontName);
    QFont font;
    if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
        font.setFamily(family);
    } else {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPointSize(tpl.pointSize);
    font.setWeight(tpl.weight > 0 ? static_cast<QFont::Weight>(tpl.weight) : QFont::Normal);
    font.setItalic(false);
    return font;
}

void buildDialog(const res::DialogTemplate& tpl, QDialog& dialog) {
    dialog.setWindowTitle(QString::fromUtf8(tpl.caption));
    dialog.setWindowIcon(programIcon());
    dialog.setFont(templateFont(tpl));

    // A close box, and the minimise and maximise boxes the template asks for. A window with
    // its own taskbar entry is a top-level window; the others are dialogs over their owner.
    // Fixed size unless the template has a sizing frame; then the template's size is the
    // smallest, so that its controls always fit.
    Qt::WindowFlags frame = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (has(tpl.style, style::kMinimizeBox))
        frame |= Qt::WindowMinimizeButtonHint;
    if (has(tpl.style, style::kMaximizeBox))
        frame |= Qt::WindowMaximizeButtonHint;
    const bool appWindow = has(tpl.exStyle, res::style::kExAppWindow);
    dialog.setWindowFlags((appWindow ? Qt::Window : Qt::Dialog) | frame);
    dialog.setSizeGripEnabled(false);

    const DialogUnits base = dialogUnitsOf(dialog.font());
    const QSize size = dluToPixels(base, 0, 0, tpl.w, tpl.h).size();
    if (has(tpl.style, style::kThickFrame)) {
        dialog.setMinimumSize(size);
        dialog.resize(size);
    } else {
        dialog.setFixedSize(size);
    }

    std::vector<QWidget*> tabChain;
    std::vector<QWidget*> groupBoxes;
    QLabel* labelAwaitingBuddy = nullptr;
    for (const ControlTemplate& c : tpl.controls) {
        QWidget* widget = makeControl(c, dialog);
        const QRect rect = dluToPixels(base, c.x, c.y, c.w, c.h);
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            placeComboBox(*combo, rect, base);
        else if (c.kind == ControlKind::StaticIcon)
            // An icon control takes the icon's own size at the template's position.
            widget->setGeometry(QRect(rect.topLeft(), QSize(kIconPixels, kIconPixels)));
        else
            widget->setGeometry(rect);

        if (c.id != -1) {
            widget->setProperty(kControlIdProperty, c.id);
            widget->setObjectName(QStringLiteral("ctl%1").arg(c.id));
        }
        if (c.kind == ControlKind::GroupBox)
            groupBoxes.push_back(widget);
        if (widget->focusPolicy() != Qt::NoFocus)
            tabChain.push_back(widget);

        // A label's mnemonic moves the focus to the next control that takes Tab.
        if (labelAwaitingBuddy != nullptr && has(c.style, style::kTabStop)) {
            labelAwaitingBuddy->setBuddy(widget);
            labelAwaitingBuddy = nullptr;
        }
        if (c.kind == ControlKind::StaticText && !has(c.style, style::kNoPrefix) &&
            QString::fromUtf8(c.text).contains(QLatin1Char('&')))
            labelAwaitingBuddy = static_cast<QLabel*>(widget);
    }

    // Group boxes stay behind the controls over them so those keep their clicks.
    for (QWidget* box : groupBoxes)
        box->lower();
    for (std::size_t i = 1; i < tabChain.size(); ++i)
        QWidget::setTabOrder(tabChain[i - 1], tabChain[i]);
}

QWidget* controlById(const QWidget* dialog, int id) {
    if (dialog == nullptr)
        return nullptr;
    // The builder places every control directly on the dialog; a dialog opened over this
    // one is a child too, and its ids (1 and 2 above all) must not be mistaken for ours.
    const auto children = dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        const QVariant value = child->property(kControlIdProperty);
        if (value.isValid() && value.toInt() == id)
            return child;
    }
    return nullptr;
}

} // namespace qv::qt
