#pragma once

// What the logic asks of the toolkit, over Qt: the setup and publish dialogs and the about
// box run modally over the main window through its window services (so timers and posted
// messages keep flowing), the application's override cursor, Qt's file dialogs over the
// dialog open now, the trend window (a child of the main window, so that the main
// window's modal loop leaves it usable), and PNG images made with QImage. User-interface
// thread only.

#include "app/front_end.h"

#include <QPointer>

class QWidget;

namespace qv::qt {

class QtTrendWindow;
class QtWindowServices;

class QtFrontEnd : public FrontEnd {
public:
    // `mainWindow` and `window` (its services) must outlive the object.
    QtFrontEnd(QWidget& mainWindow, QtWindowServices& window);
    ~QtFrontEnd() override;

    int runSetupDialog(QV53SetupDlg& dialog) override;
    int runPublishDialog(PublishDialog& dialog) override;
    int runAboutBox() override;
    void setWaitCursor(bool on) override;
    std::optional<std::string> browseForSave(const std::string& extension,
                                             const std::string& initialName) override;
    void showTrendWindow(TrendWindow& window) override;
    void invalidateTrend() override;
    std::optional<std::string> browseForOpen(const std::string& extension,
                                             const std::string& filterText) override;
    bool saveImage(const std::string& path, int width, int height,
                   const std::function<void(trend::Painter&)>& paint) override;

    // Closes the trend window, if open; the main window calls it before its logic goes.
    void closeTrendWindow();
    // The open trend window, or null.
    QtTrendWindow* trendWindow() const;

private:
    // The setup dialog while it runs, else the window whose command runs now (the trend
    // window's), else the main window: the owner of the file dialogs.
    QWidget* dialogOwner() const;

    QWidget& mainWindow_;
    QtWindowServices& window_;
    QWidget* openDialog_ = nullptr; // the setup dialog while it runs: the browser's owner
    QPointer<QtTrendWindow> trend_; // deleted when closed
};

} // namespace qv::qt
