#include "app/qt/qt_front_end.h"

#include "app/qt/qt_about_dialog.h"
#include "app/qt/qt_setup_dialog.h"
#include "app/services/window_services.h"

#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>

namespace qv {

QtFrontEnd::QtFrontEnd(QWidget& mainWindow, WindowServices& window)
    : mainWindow_(mainWindow), window_(window) {}

int QtFrontEnd::runSetupDialog(QV53SetupDlg& dialog) {
    QtSetupDialog window(dialog, &mainWindow_);
    QWidget* const outer = openDialog_;
    openDialog_ = &window;
    const int result = window_.runModal(window);
    openDialog_ = outer;
    return result;
}

int QtFrontEnd::runAboutBox() {
    QtAboutDialog about(&mainWindow_);
    return window_.runModal(about);
}

void QtFrontEnd::setWaitCursor(bool on) {
    if (on)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

std::optional<std::string> QtFrontEnd::browseForSave(const std::string& extension,
                                                     const std::string& initialName) {
    QFileDialog browser(openDialog_ ? openDialog_ : &mainWindow_);
    browser.setAcceptMode(QFileDialog::AcceptSave);
    browser.setFileMode(QFileDialog::AnyFile);
    browser.setDefaultSuffix(QString::fromStdString(extension));
    browser.selectFile(QString::fromStdString(initialName));
    if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty())
        return std::nullopt;
    return browser.selectedFiles().constFirst().toStdString();
}

void QtFrontEnd::showTrendWindow(TrendWindow& /*window*/) {}

void QtFrontEnd::invalidateTrend() {}

std::optional<std::string> QtFrontEnd::browseForOpen(const std::string& /*extension*/,
                                                     const std::string& /*filterText*/) {
    return std::nullopt;
}

bool QtFrontEnd::saveImage(const std::string& /*path*/, int /*width*/, int /*height*/,
                           const std::function<void(trend::Painter&)>& /*paint*/) {
    return false;
}

} // namespace qv
