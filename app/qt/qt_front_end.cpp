#include "app/qt/qt_front_end.h"

#include "app/qt/qt_about_dialog.h"
#include "app/qt/qt_painter.h"
#include "app/qt/qt_publish_dialog.h"
#include "app/qt/qt_setup_dialog.h"
#include "app/qt/qt_trend_window.h"
#include "app/qt/qt_window_services.h"
#include "text/texts.h"

#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

namespace qv::qt {

QtFrontEnd::QtFrontEnd(QWidget& mainWindow, QtWindowServices& window)
    : mainWindow_(mainWindow), window_(window) {}

QtFrontEnd::~QtFrontEnd() {
    closeTrendWindow();
}

int QtFrontEnd::runSetupDialog(QV53SetupDlg& dialog) {
    QtSetupDialog window(dialog, &mainWindow_);
    QWidget* const outer = openDialog_;
    openDialog_ = &window;
    const int result = window_.runModal(window);
    openDialog_ = outer;
    return result;
}

int QtFrontEnd::runPublishDialog(PublishDialog& dialog) {
    QtPublishDialog window(dialog, &mainWindow_);
    return window_.runModal(window);
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
    QFileDialog browser(dialogOwner());
    browser.setAcceptMode(QFileDialog::AcceptSave);
    browser.setFileMode(QFileDialog::AnyFile);
    browser.setDefaultSuffix(QString::fromStdString(extension));
    browser.selectFile(QString::fromStdString(initialName));
    if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty())
        return std::nullopt;
    return browser.selectedFiles().constFirst().toStdString();
}

void QtFrontEnd::showTrendWindow(TrendWindow& window) {
    if (!trend_) {
        trend_ = new QtTrendWindow(window, window_, &mainWindow_);
        trend_->show();
    } else if (trend_->isMinimized()) {
        trend_->showNormal();
    }
    trend_->raise();
    trend_->activateWindow();
}

void QtFrontEnd::invalidateTrend() {
    if (trend_)
        trend_->chartArea()->update();
}

QWidget* QtFrontEnd::dialogOwner() const {
    if (openDialog_)
        return openDialog_;
    return window_.boxOwner() ? window_.boxOwner() : &mainWindow_;
}

QtTrendWindow* QtFrontEnd::trendWindow() const {
    return trend_;
}

void QtFrontEnd::closeTrendWindow() {
    delete trend_.data();
}

std::optional<std::string> QtFrontEnd::browseForOpen(const std::string& extension,
                                                     const std::string& filterText) {
    QFileDialog browser(dialogOwner());
    browser.setAcceptMode(QFileDialog::AcceptOpen);
    browser.setFileMode(QFileDialog::ExistingFile);
    const QString pattern = QStringLiteral("*.") + QString::fromStdString(extension);
    browser.setNameFilters(
        {QString::fromStdString(filterText) + QStringLiteral(" (") + pattern + QLatin1Char(')'),
         QString::fromUtf8(text::kAllFiles) + QStringLiteral(" (*)")});
    if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty())
        return std::nullopt;
    return browser.selectedFiles().constFirst().toStdString();
}

bool QtFrontEnd::saveImage(const std::string& path, int width, int height,
                           const std::function<void(trend::Painter&)>& paint) {
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(trend_ ? trend_->font() : mainWindow_.font());
        QtPainter seam(painter);
        paint(seam);
    }
    return image.save(QString::fromStdString(path), "PNG");
}

} // namespace qv::qt
