// The three dialogs as built from their templates: every control with its id, kind,
// text and place, the tab order, caption, size, default button and window flags; the
// dialog-unit conversion; the about box's ways of closing.

#include "app/qt/dialog_builder.h"
#include "app/qt/qt_about_dialog.h"
#include "app/qt/qt_window_services.h"
#include "app/res/dialog_templates.h"

#include "tests/support/named_row.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using qv::qt::DialogUnits;
using qv::qt::dluToPixels;
using qv::qt::kControlIdProperty;
using qv::qt::QtAboutDialog;

// ---------------------------------------------------------------------------------------
// Dialog units to pixels

struct DluRow : qv::test::NamedRow {
    DialogUnits base;
    int x, y, w, h;
    QRect expected;
};

class DluToPixels : public testing::TestWithParam<DluRow> {};

TEST_P(DluToPixels, ScalesEachCoordinateByItsOwnUnitAndRounds) {
    const DluRow& row = GetParam();
    EXPECT_EQ(dluToPixels(row.base, row.x, row.y, row.w, row.h), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DluToPixels,
    testing::Values(
        // 6 px average width, 13 px height: 1.5 px across, 1.625 px down.
        DluRow{"ExitButtonAtSixByThirteen", {1.5, 1.625}, 108, 72, 36, 12, QRect(162, 117, 54, 20)},
        DluRow{"OriginStaysAtOrigin", {1.5, 1.625}, 0, 0, 0, 0, QRect(0, 0, 0, 0)},
        DluRow{"HalfPixelRoundsUp", {1.25, 1.75}, 2, 2, 6, 2, QRect(3, 4, 8, 4)},
        DluRow{"BelowHalfRoundsDown", {1.3, 1.1}, 1, 1, 1, 1, QRect(1, 1, 1, 1)},
        DluRow{
            "HorizontalAndVerticalNotSwapped", {2.0, 3.0}, 10, 10, 10, 10, QRect(20, 30, 20, 30)},
        DluRow{"WholeSetupDialog", {1.5, 1.625}, 0, 0, 298, 90, QRect(0, 0, 447, 146)}),
    qv::test::RowName{});

TEST(DialogUnitsOf, FollowsTheFontsAverageWidthAndHeight) {
    QFont font;
    font.setPointSize(10);
    const DialogUnits units = qv::qt::dialogUnitsOf(font);
    const QFontMetricsF metrics(font);
    // Four units per average character across, eight per character height down.
    EXPECT_NEAR(units.x * 4, metrics.averageCharWidth(), metrics.averageCharWidth() * 0.35);
    EXPECT_DOUBLE_EQ(units.y * 8, metrics.height());

    QFont larger = font;
    larger.setPointSize(20);
    EXPECT_GT(qv::qt::dialogUnitsOf(larger).x, units.x * 1.5);
    EXPECT_GT(qv::qt::dialogUnitsOf(larger).y, units.y * 1.5);
}

TEST(TemplateFont, FallsBackToTheSansSerifWithTheTemplatesSize) {
    static constexpr qv::res::ControlTemplate kNone[] = {
        {1, qv::res::ControlKind::PushButton, "OK", 0, 0, 10, 10, 0}};
    const qv::res::DialogTemplate tpl{1, "T", 0,    0, 10, 10, 0, 0, "No Such Family QV5300",
                                      9, 0,   kNone};
    const QFont font = qv::qt::templateFont(tpl);
    EXPECT_NE(font.family(), QStringLiteral("No Such Family QV5300"));
    EXPECT_FALSE(font.family().isEmpty());
    EXPECT_EQ(font.pointSize(), 9);
    EXPECT_EQ(font.weight(), QFont::Normal);
    EXPECT_FALSE(font.italic());
}

// ---------------------------------------------------------------------------------------
// The templates as built

struct Expected {
    int id;
    const char* widgetClass; // the Qt class standing for the control
    const char* text;
    int x, y, w, h;
};

struct ExpectedDialog : qv::test::NamedRow {
    int templateId;
    const char* caption;
    int w, h;
    int pointSize;
    bool taskbarEntry;
    std::vector<Expected> controls;
    std::vector<int> tabOrder;
};

// Written out from the dialog descriptions, not from the data under test.
const std::vector<ExpectedDialog>& expectedDialogs() {
    static const std::vector<ExpectedDialog> dialogs{
        {"About",
         100,
         "About QV-5300",
         235,
         55,
         8,
         false,
         {
             {-1, "QLabel", nullptr, 11, 17, 20, 20}, // the icon
             {-1, "QLabel", "QV-5300 Version 1.1.0.0", 48, 12, 108, 8},
             {-1, "QLabel", "RH and temperature logger", 48, 24, 108, 8},
             {1, "QPushButton", "OK", 178, 7, 50, 16},
             {-1, "QLabel", "Tavrin - Division of Orvex, Inc.", 48, 36, 108, 8},
         },
         {1}},
        {"Main",
         102,
         "Tavrin QV-5300",
         156,
         95,
         10,
         true,
         {
             {1, "QPushButton", "Exit", 108, 72, 36, 12},
             {-1, "QLabel", "Humidity", 12, 12, 42, 8},
             {1000, "QLineEdit", "", 60, 12, 24, 12},
             {-1, "QLabel", "% RH", 90, 12, 24, 8},
             {-1, "QLabel", "Temperature", 12, 30, 48, 8},
             {1001, "QLineEdit", "", 60, 30, 24, 12},
             {-1, "QLabel", "\u00B0C", 90, 30, 24, 8},
             {1002, "QPushButton", "Setup...", 12, 72, 36, 12},
             {1003, "QPushButton", "Start Log", 60, 72, 36, 12},
             {1004, "QLineEdit", "", 60, 48, 24, 12},
             {-1, "QLabel", "Log Events", 12, 48, 42, 8},
         },
         {1, 1000, 1001, 1002, 1003, 1004}},
        {"Setup",
         129,
         "Setup",
         298,
         90,
         8,
         false,
         {
             {1, "QPushButton", "OK", 240, 18, 50, 14},
             {2, "QPushButton", "Cancel", 240, 36, 50, 14},
             {-1, "QGroupBox", "Serial Port", 6, 12, 60, 30},
             {1012, "QComboBox", "", 12, 24, 48, 48},
             {-1, "QGroupBox", "Logging", 78, 12, 150, 66},
             {-1, "QLabel", "Interval:", 83, 26, 37, 8},
             {1007, "QLineEdit", "", 126, 24, 30, 12},
             {-1, "QLabel", "s", 159, 26, 8, 8},
             {-1, "QLabel", "File name:", 84, 44, 36, 8},
             {1008, "QLineEdit", "", 126, 42, 90, 12},
             {1009, "QCheckBox", "Append", 84, 60, 48, 12},
             {1010, "QPushButton", "Browse...", 174, 60, 42, 12},
         },
         {1, 2, 1012, 1007, 1008, 1009, 1010}},
    };
    return dialogs;
}

QString shownText(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    return QStringLiteral("<unknown widget>");
}

int idOf(const QWidget* w) {
    const QVariant v = w->property(qv::qt::kControlIdProperty);
    return v.isValid() ? v.toInt() : -1;
}

class BuiltTemplate : public testing::TestWithParam<ExpectedDialog> {
protected:
    void SetUp() override {
        qv::qt::buildDialog(qv::res::dialogTemplate(GetParam().templateId), dialog);
        base = qv::qt::dialogUnitsOf(dialog.font());
    }
    QDialog dialog;
    DialogUnits base{};
};

TEST_P(BuiltTemplate, HasEveryControlWithItsIdKindTextAndPlace) {
    const auto children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), static_cast<qsizetype>(GetParam().controls.size()));
    for (const Expected& e : GetParam().controls) {
        SCOPED_TRACE(std::string("control ") + std::to_string(e.id) + " " +
                     (e.text ? e.text : "icon"));
        const QRect rect = dluToPixels(base, e.x, e.y, e.w, e.h);
        QWidget* found = nullptr;
        for (QWidget* child : children)
            if (child->pos() == rect.topLeft() &&
                (child->width() == rect.width() || e.text == nullptr))
                found = child;
        ASSERT_NE(found, nullptr);
        EXPECT_STREQ(found->metaObject()->className(), e.widgetClass);
        EXPECT_EQ(idOf(found), e.id);
        if (e.id != -1) {
            EXPECT_EQ(qv::qt::controlById(&dialog, e.id), found);
        }
        if (e.text != nullptr) {
            EXPECT_EQ(shownText(found), QString::fromUtf8(e.text));
        } else {
            auto* icon = qobject_cast<QLabel*>(found);
            ASSERT_NE(icon, nullptr);
            EXPECT_FALSE(icon->pixmap().isNull());
        }
        if (e.text == nullptr) {
            // An icon control takes the icon's own size.
            EXPECT_EQ(found->size(), QSize(32, 32));
        } else if (qobject_cast<QComboBox*>(found) != nullptr) {
            // The closed box is one line tall; the template's height is the dropped list's.
            EXPECT_LT(found->height(), rect.height());
            EXPECT_GT(found->height(), found->fontMetrics().height());
        } else {
            EXPECT_EQ(found->height(), rect.height());
        }
    }
}

TEST_P(BuiltTemplate, EveryLabelShowsItsWholeTextOnOneLine) {
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
        EXPECT_LE(label->fontMetrics().height(), label->height() + 1);
    }
}

TEST_P(BuiltTemplate, TabsThroughTheControlsInTemplateOrder) {
    std::vector<int> order;
    for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->parentWidget() == &dialog)
            order.push_back(idOf(w));
    EXPECT_EQ(order, GetParam().tabOrder);
}

TEST_P(BuiltTemplate, HasCaptionFixedSizeFontAndFrameWithoutMinimiseOrMaximise) {
    const ExpectedDialog& e = GetParam();
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(e.caption));
    const QSize size = dluToPixels(base, 0, 0, e.w, e.h).size();
    EXPECT_EQ(dialog.minimumSize(), size);
    EXPECT_EQ(dialog.maximumSize(), size);
    EXPECT_EQ(dialog.font().pointSize(), e.pointSize);
    EXPECT_FALSE(dialog.windowIcon().isNull());

    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_EQ(dialog.windowType(), e.taskbarEntry ? Qt::Window : Qt::Dialog);
}

TEST_P(BuiltTemplate, ControlOneIsTheOnlyDefaultButton) {
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        EXPECT_EQ(b->isDefault(), idOf(b) == qv::kIdOk) << b->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Templates, BuiltTemplate, testing::ValuesIn(expectedDialogs()),
                         qv::test::RowName{});

TEST(BuiltFields, ReadingFieldsAreReadOnlyAndRightAlignedSetupFieldsEditable) {
    struct Row {
        int templateId;
        int id;
        bool readOnly;
        bool right;
    };
    for (const Row& r :
         {Row{102, 1000, true, true}, Row{102, 1001, true, true}, Row{102, 1004, true, true},
          Row{129, 1007, false, true}, Row{129, 1008, false, false}}) {
        SCOPED_TRACE(r.id);
        QDialog dialog;
        qv::qt::buildDialog(qv::res::dialogTemplate(r.templateId), dialog);
        auto* edit = qobject_cast<QLineEdit*>(qv::qt::controlById(&dialog, r.id));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->isReadOnly(), r.readOnly);
        EXPECT_EQ(edit->alignment().testFlag(Qt::AlignRight), r.right);
        EXPECT_TRUE(edit->hasFrame());
    }
}

TEST(BuiltFields, ComboBoxTakesNoTyping) {
    QDialog dialog;
    qv::qt::buildDialog(qv::res::dialogTemplate(129), dialog);
    auto* combo = qobject_cast<QComboBox*>(qv::qt::controlById(&dialog, 1012));
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
}

TEST(StringTable, HoldsTheMenuEntriesAndNothingUnknown) {
    EXPECT_STREQ(qv::res::loadString(101), "&About QV-5300...");
    EXPECT_STREQ(qv::res::loadString(102), "&Trend...");
    EXPECT_STREQ(qv::res::loadString(106), "Reconnect &automatically");
    EXPECT_STREQ(qv::res::loadString(107), "QV-5300 - COM port disconnected");
    EXPECT_STREQ(qv::res::loadString(111), "&Publish...");
    EXPECT_STREQ(qv::res::loadString(100), "");
    EXPECT_STREQ(qv::res::kVersion, "1.1.0.0");
}

// ---------------------------------------------------------------------------------------
// Builder behaviour beyond the three templates

TEST(Builder, GroupBoxStaysBehindTheControlsItSurrounds) {
    using K = qv::res::ControlKind;
    static constexpr qv::res::ControlTemplate kControls[] = {
        {-1, K::GroupBox, "Frame", 0, 0, 100, 60, 0},
        {7, K::PushButton, "Inside", 20, 20, 40, 14, qv::res::style::kTabStop},
    };
    const qv::res::DialogTemplate tpl{1, "T", 0, 0, 120, 80, 0, 0, "", 8, 0, kControls};
    QDialog dialog;
    qv::qt::buildDialog(tpl, dialog);
    QWidget* inside = qv::qt::controlById(&dialog, 7);
    ASSERT_NE(inside, nullptr);
    EXPECT_EQ(dialog.childAt(inside->geometry().center()), inside);
}

TEST(Builder, LabelMnemonicLeadsToTheNextTabStopUnlessPrefixIsOff) {
    using K = qv::res::ControlKind;
    namespace s = qv::res::style;
    static constexpr qv::res::ControlTemplate kControls[] = {
        {-1, K::StaticText, "&Port:", 0, 0, 30, 8, s::kGroup},
        {-1, K::StaticText, "unit", 0, 10, 30, 8, s::kGroup},
        {5, K::Edit, "", 40, 0, 30, 12, s::kTabStop},
        {-1, K::StaticText, "R&D", 0, 20, 30, 8, s::kGroup | s::kNoPrefix},
        {6, K::Edit, "", 40, 20, 30, 12, s::kTabStop},
    };
    const qv::res::DialogTemplate tpl{1, "T", 0, 0, 120, 80, 0, 0, "", 8, 0, kControls};
    QDialog dialog;
    qv::qt::buildDialog(tpl, dialog);
    std::vector<QLabel*> labels;
    for (QLabel* l : dialog.findChildren<QLabel*>())
        labels.push_back(l);
    ASSERT_EQ(labels.size(), 3u);
    for (QLabel* l : labels) {
        const QWidget* expected =
            l->text() == QStringLiteral("&Port:") ? qv::qt::controlById(&dialog, 5) : nullptr;
        EXPECT_EQ(l->buddy(), expected) << l->text().toStdString();
    }
}

// ---------------------------------------------------------------------------------------
// The about box

// Runs the about box with `close` applied once its loop runs; a second timer ends a loop
// that did not end, so a fault fails the test instead of blocking it.
int runAboutBox(const std::function<void(QtAboutDialog&)>& close) {
    QtAboutDialog about;
    QTimer::singleShot(0, &about, [&about, close] { close(about); });
    QTimer::singleShot(5000, &about, [&about] { about.done(-1); });
    return about.execModal();
}

void sendKey(QWidget& target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&target, &press);
}

TEST(AboutBox, OkAndEnterEndWithOne) {
    EXPECT_EQ(runAboutBox([](QtAboutDialog& d) {
                  qobject_cast<QPushButton*>(qv::qt::controlById(&d, qv::kIdOk))->click();
              }),
              qv::kIdOk);
    EXPECT_EQ(runAboutBox([](QtAboutDialog& d) { sendKey(d, Qt::Key_Return); }), qv::kIdOk);
}

TEST(AboutBox, EscapeAndCloseBoxEndWithTwo) {
    EXPECT_EQ(runAboutBox([](QtAboutDialog& d) { sendKey(d, Qt::Key_Escape); }), qv::kIdCancel);
    EXPECT_EQ(runAboutBox([](QtAboutDialog& d) { d.close(); }), qv::kIdCancel);
}

TEST(AboutBox, ShowsTheProgramIconAtTheTemplatesPlace) {
    QtAboutDialog about;
    const DialogUnits base = qv::qt::dialogUnitsOf(about.font());
    QWidget* icon = about.childAt(dluToPixels(base, 11, 17, 20, 20).center());
    auto* label = qobject_cast<QLabel*>(icon);
    ASSERT_NE(label, nullptr);
    EXPECT_FALSE(label->pixmap().isNull());
    EXPECT_FALSE(about.windowIcon().isNull());
}

} // namespace
