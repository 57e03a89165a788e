#include "app/qt/qt_trend_window.h"

#include "app/qt/dialog_builder.h"
#include "app/qt/qt_painter.h"
#include "app/qt/qt_window_services.h"
#include "app/res/dialog_templates.h"
#include "app/trend_window.h"
#include "window/window_services.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>
#include <QShortcut>
#include <QWheelEvent>

namespace qv::qt {

namespace {

// Paints the charts; everything else about it belongs to the window.
class ChartArea : public QWidget {
public:
    ChartArea(qv::TrendWindow& logic, QWidget* parent) : QWidget(parent), logic_(logic) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QtPainter seam(painter);
        logic_.paint(seam, width(), height());
    }

private:
    qv::TrendWindow& logic_;
};

} // namespace

QtTrendWindow::QtTrendWindow(qv::TrendWindow& logic, QtWindowServices& services, QWidget* parent)
    : QDialog(parent), logic_(logic), services_(services), controls_(*this) {
    const qv::res::DialogTemplate& tpl = qv::res::dialogTemplate(qv::res::kTrendDialogId);
    buildDialog(tpl, *this);
    for (const qv::res::ControlTemplate& c : tpl.controls) {
        if (auto* button = qobject_cast<QAbstractButton*>(controlById(this, c.id)))
            connect(button, &QAbstractButton::clicked, this, [this, id = c.id] {
                // The boxes of Open log... and Save image... come up over this window.
                QWidget* const outer = services_.boxOwner();
                services_.setBoxOwner(this);
                logic_.OnCommand(id);
                services_.setBoxOwner(outer);
            });
    }
    // Shortcuts, so that the arrows pan whichever button has the focus.
    connect(new QShortcut(Qt::Key_Left, this), &QShortcut::activated, this,
            [this] { logic_.OnKey(qv::TrendKey::Left); });
    connect(new QShortcut(Qt::Key_Right, this), &QShortcut::activated, this,
            [this] { logic_.OnKey(qv::TrendKey::Right); });

    chartTop_ = dluToPixels(dialogUnitsOf(font()), 0, 0, 0, qv::res::kTrendChartTop).height();
    chartArea_ = new ChartArea(logic_, this);
    chartArea_->setGeometry(0, chartTop_, width(), height() - chartTop_);
    logic_.OnInitDialog(controls_);
}

QtTrendWindow::~QtTrendWindow() {
    logic_.OnDestroy();
}

void QtTrendWindow::done(int result) {
    QDialog::done(result);
    deleteLater();
}

void QtTrendWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    chartArea_->setGeometry(0, chartTop_, width(), std::max(1, height() - chartTop_));
}

void QtTrendWindow::wheelEvent(QWheelEvent* event) {
    logic_.OnMouseWheel(event->angleDelta().y());
    event->accept();
}

void QtTrendWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        logic_.OnEscape()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace qv::qt
