#include "app/win32/win32_front_end.h"

#include "app/error_report.h"
#include "app/publish_dialog.h"
#include "app/res/dialog_templates.h"
#include "app/setup_dialog.h"
#include "app/win32/gdi_painter.h"
#include "app/win32/png_writer.h"
#include "app/win32/win32_dialog.h"
#include "app/win32/win32_trend_window.h"
#include "app/win32/win32_window_services.h"
#include "text/texts.h"
#include "text/win32_text.h"
#include "window/window_services.h"

#include <commdlg.h>

#include <cmath>
#include <vector>

namespace qv::win32 {
namespace {

// Template 129 over the toolkit-free setup dialog.
class SetupHandler : public DialogHandler {
public:
    explicit SetupHandler(QV53SetupDlg& dialog) : dialog_(dialog) {}

    void onInit(HWND window) override {
        Win32DialogControls controls(window);
        dialog_.OnInitDialog(controls);
    }

    bool onCommand(HWND window, int id, int notification) override {
        Win32DialogControls controls(window);
        switch (id) {
        case kIdOk:
            return dialog_.OnOK(controls);
        case kIdCancel:
            return true;
        case ctl::kBrowse:
            if (notification == BN_CLICKED)
                dialog_.browseForLogFile(controls);
            return false;
        case ctl::kAppend:
            if (notification == BN_CLICKED)
                controls.settleCheckBox(ctl::kAppend);
            return false;
        default:
            return false;
        }
    }

private:
    QV53SetupDlg& dialog_;
};

// Template 131 over the toolkit-free publish dialog.
class PublishHandler : public DialogHandler {
public:
    explicit PublishHandler(PublishDialog& dialog) : dialog_(dialog) {}

    void onInit(HWND window) override {
        Win32DialogControls controls(window);
        dialog_.OnInitDialog(controls);
    }

    bool onCommand(HWND window, int id, int) override {
        Win32DialogControls controls(window);
        return id == kIdCancel || (id == kIdOk && dialog_.OnOK(controls));
    }

private:
    PublishDialog& dialog_;
};

// Template 100: nothing but closing.
class AboutHandler : public DialogHandler {
public:
    void onInit(HWND) override {}
    bool onCommand(HWND, int id, int) override { return id == kIdOk || id == kIdCancel; }
};

} // namespace

Win32FrontEnd::Win32FrontEnd(HINSTANCE module, Win32WindowServices& window)
    : module_(module), window_(window) {}

Win32FrontEnd::~Win32FrontEnd() = default;

int Win32FrontEnd::runSetupDialog(QV53SetupDlg& dialog) {
    SetupHandler handler(dialog);
    return runTemplateDialog(module_, window_.ownerForModal(),
                             res::dialogTemplate(res::kSetupDialogId), handler);
}

int Win32FrontEnd::runPublishDialog(PublishDialog& dialog) {
    PublishHandler handler(dialog);
    return runTemplateDialog(module_, window_.ownerForModal(),
                             res::dialogTemplate(res::kPublishDialogId), handler);
}

int Win32FrontEnd::runAboutBox() {
    AboutHandler handler;
    return runTemplateDialog(module_, window_.ownerForModal(),
                             res::dialogTemplate(res::kAboutDialogId), handler);
}

HWND Win32FrontEnd::fileDialogOwner() const {
    // Only a click opens one: over the window clicked in (the setup dialog, the trend window).
    HWND active = GetActiveWindow();
    return active ? active : window_.ownerForModal();
}

void Win32FrontEnd::setWaitCursor(bool on) {
    waitCursor_ = on;
    SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

std::optional<std::string> Win32FrontEnd::browseForSave(const std::string& extension,
                                                        const std::string& initialName) {
    // Room for long paths; the initial name is what the field shows first.
    std::vector<wchar_t> path(32768, L'\0');
    const std::wstring initial = wide(initialName);
    initial.copy(path.data(), std::min(initial.size(), path.size() - 1));
    const std::wstring defaultExtension = wide(extension);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = fileDialogOwner();
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrDefExt = defaultExtension.c_str();
    // Ask before an existing file is chosen; never create one to test the name.
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOTESTFILECREATE | OFN_EXPLORER;
    if (!GetSaveFileNameW(&ofn))
        return std::nullopt;
    return utf8(path.data());
}

void Win32FrontEnd::showTrendWindow(TrendWindow& window) {
    if (!trend_)
        trend_ = std::make_unique<Win32TrendWindow>(module_, window);
    trend_->show(window_.window());
}

void Win32FrontEnd::invalidateTrend() {
    if (trend_)
        trend_->invalidateCharts();
}

std::optional<std::string> Win32FrontEnd::browseForOpen(const std::string& extension,
                                                        const std::string& filterText) {
    // Pairs of description and pattern, each ended by a null, the list by another.
    const std::wstring pattern = L"*." + wide(extension);
    std::wstring filter = wide(filterText) + L" (" + pattern + L")" + L'\0' + pattern + L'\0' +
                          wide(text::kAllFiles) + L" (*.*)" + L'\0' + L"*.*" + L'\0';
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = fileDialogOwner();
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn))
        return std::nullopt;
    return utf8(path.data());
}

bool Win32FrontEnd::saveImage(const std::string& path, int width, int height,
                              const std::function<void(trend::Painter&)>& paint) {
    // The image as the window shows it: `width` x `height` chart units at its DPI.
    const float scale = trend_ ? trend_->chartScale() : 1.0f;
    OffscreenBitmap image(static_cast<int>(std::lround(static_cast<float>(width) * scale)),
                          static_cast<int>(std::lround(static_cast<float>(height) * scale)));
    if (!image.dc())
        return false;
    PatBlt(image.dc(), 0, 0, image.width(), image.height(), WHITENESS);
    {
        GdiPainter painter(image.dc(), trend_ ? trend_->font() : nullptr, scale);
        paint(painter);
    }
    const HRESULT written =
        writePng(wide(path), image.width(), image.height(), image.stride(), image.bits());
    if (FAILED(written))
        reportToStandardError(window_.application(), "writing " + path, systemMessage(written));
    return SUCCEEDED(written);
}

} // namespace qv::win32
