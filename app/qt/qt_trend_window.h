#pragma once

// The trend window's Qt window (template 130), non-modal beside the main window: builds
// the template, draws the charts in the area below the buttons through QtPainter, and
// hands button presses, wheel turns and the Left and Right keys to the logic
// (qv::TrendWindow). Escape stops a reading under way, or else closes it; closing it
// (close box, Escape) deletes it; the logic keeps the view for the next opening.
// User-interface thread only.

#include "app/qt/qt_dialog_controls.h"

#include <QDialog>

namespace qv {
class TrendWindow;
} // namespace qv

namespace qv::qt {

class QtWindowServices;

class QtTrendWindow : public QDialog {
    Q_OBJECT
public:
    // `logic` and `services` (the main window's) must outlive the window. Calls
    // logic.OnInitDialog with the window's controls.
    QtTrendWindow(qv::TrendWindow& logic, QtWindowServices& services, QWidget* parent);
    ~QtTrendWindow() override;

    // The area the charts are drawn in.
    QWidget* chartArea() const { return chartArea_; }

public slots:
    // Every way of closing (close box, Escape) ends here: the window goes.
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    qv::TrendWindow& logic_;
    QtWindowServices& services_;
    QtDialogControls controls_;
    QWidget* chartArea_ = nullptr;
    int chartTop_ = 0; // pixels
};

} // namespace qv::qt
