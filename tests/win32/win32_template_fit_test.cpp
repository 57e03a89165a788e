// Every label and check box text of every dialog template fits the control Windows lays
// out for it, in the template's font at the display's DPI: nothing is cut off. scripts/test-windows
// runs it at 96 and again at 144 DPI (150 %).

#include "app/res/dialog_templates.h"
#include "app/win32/dialog_template_win32.h"
#include "text/win32_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>

namespace {

INT_PTR CALLBACK keepDefaults(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The size `text` takes in `control`'s font: wrapped at the control's width the way a
// static control wraps it (wider than the control when a single word does not fit), or
// on one line (`format` DT_SINGLELINE, a check box).
SIZE drawnSize(HWND control, const std::wstring& text, int width, UINT format) {
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT box{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), -1, &box, DT_CALCRECT | DT_EXPANDTABS | format);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {box.right - box.left, box.bottom - box.top};
}

class TemplateTextFits : public testing::TestWithParam<int> {};

TEST_P(TemplateTextFits, AtTheDisplaysDpi) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "Wine makes windows only on a display: scripts/wine-run --display";
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    const qv::res::DialogTemplate& dialog = qv::res::dialogTemplate(GetParam());
    const auto bytes = qv::win32::buildDialogTemplate(dialog);
    HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                             nullptr, keepDefaults, 0);
    ASSERT_NE(window, nullptr);

    // A check box's text starts after its box and the gap beside it.
    HDC screen = GetDC(window);
    const int checkBox = MulDiv(16, GetDeviceCaps(screen, LOGPIXELSX), 96);
    ReleaseDC(window, screen);
    for (const qv::res::ControlTemplate& item : dialog.controls) {
        const bool label = item.kind == qv::res::ControlKind::StaticText;
        if ((!label && item.kind != qv::res::ControlKind::CheckBox) || !*item.text)
            continue;
        // Labels have no id of their own: the control made from an item is found by its text.
        const std::wstring text = qv::win32::wide(item.text);
        HWND control = nullptr;
        while ((control = FindWindowExW(window, control, label ? L"Static" : L"Button",
                                        text.c_str())) != nullptr) {
            RECT client{};
            GetClientRect(control, &client);
            const SIZE drawn = drawnSize(control, text, client.right,
                                         label ? DT_WORDBREAK | DT_NOPREFIX : DT_SINGLELINE);
            EXPECT_LE(drawn.cx + (label ? 0 : checkBox), client.right)
                << item.text << " is cut off at the right";
            EXPECT_LE(drawn.cy, client.bottom) << item.text << " is cut off at the bottom";
        }
    }
    DestroyWindow(window);
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateTextFits,
                         testing::Values(qv::res::kAboutDialogId, qv::res::kMainDialogId,
                                         qv::res::kSetupDialogId, qv::res::kTrendDialogId,
                                         qv::res::kPublishDialogId));

} // namespace
