#pragma once

// What the logic asks of the toolkit, over Qt: the setup dialog and the about box run
// modally over the main window through its window services (so timers and posted
// messages keep flowing), the application's override cursor, and Qt's save-file dialog
// over the dialog open now. User-interface thread only.

#include "app/front_end.h"

class QWidget;

namespace qv {

class WindowServices;

class QtFrontEnd : public FrontEnd {
public:
    // `mainWindow` and `window` (its services) must outlive the object.
    QtFrontEnd(QWidget& mainWindow, WindowServices& window);

    int runSetupDialog(QV53SetupDlg& dialog) override;
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

private:
    QWidget& mainWindow_;
    WindowServices& window_;
    QWidget* openDialog_ = nullptr; // the setup dialog while it runs: the browser's owner
};

} // namespace qv
