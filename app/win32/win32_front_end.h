#pragma once

// The front end's calls over Win32: the setup dialog (template 129), the publish dialog
// (template 131) and the about box (template 100) built in memory and run modally over
// the dialog open now, the wait cursor, the file dialogs (GetSaveFileNameW,
// GetOpenFileNameW), the non-modal trend window (template 130) and its images: GDI into a DIB
// section, written as PNG by WIC's encoder. User-interface thread only.

#include "app/front_end.h"

#include <windows.h>

#include <memory>

namespace qv::win32 {

class Win32TrendWindow;
class Win32WindowServices;

class Win32FrontEnd : public FrontEnd {
public:
    // `module` holds icon 128; `window` gives the owner of each dialog. Both outlive this.
    Win32FrontEnd(HINSTANCE module, Win32WindowServices& window);
    ~Win32FrontEnd() override;

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

    // The wait cursor is on: the main window keeps it over itself (WM_SETCURSOR).
    bool waitCursorOn() const { return waitCursor_; }

private:
    HWND fileDialogOwner() const;

    HINSTANCE module_;
    Win32WindowServices& window_;
    // Made at the first showTrendWindow; its window is owned by the main window and
    // destroyed with it.
    std::unique_ptr<Win32TrendWindow> trend_;
    bool waitCursor_ = false;
};

} // namespace qv::win32
