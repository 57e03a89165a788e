#include "app/win32/win32_dialog.h"

#include "app/win32/dialog_template_win32.h"
#include "app/win32/dpi_scale.h"
#include "app/win32/dpi_win32.h"
#include "app/win32/win32_desktop.h"
#include "text/win32_text.h"
#include "window/window_services.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qv::win32 {
namespace {

// The modal dialogs of this thread that runTemplateDialog has open, in the order opened.
thread_local std::vector<HWND> openModals;

// Puts the dialog on openModals before its handler's initialisation (which may raise a box
// over it) and takes it off when its run ends.
class OpenModal : public DialogHandler {
public:
    explicit OpenModal(DialogHandler& handler) : handler_(handler) {}
    ~OpenModal() override {
        if (window_)
            openModals.erase(std::find(openModals.begin(), openModals.end(), window_));
    }
    OpenModal(const OpenModal&) = delete;
    OpenModal& operator=(const OpenModal&) = delete;

    void onInit(HWND dialog) override {
        window_ = dialog;
        openModals.push_back(dialog);
        handler_.onInit(dialog);
    }
    bool onCommand(HWND dialog, int id, int notification) override {
        return handler_.onCommand(dialog, id, notification);
    }
    bool onMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                   INT_PTR& result) override {
        return handler_.onMessage(dialog, message, wParam, lParam, result);
    }

private:
    DialogHandler& handler_;
    HWND window_ = nullptr;
};

std::wstring windowText(HWND control) {
    if (!control)
        return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Marks a dialog made by createTemplateDialog.
constexpr wchar_t kModelessProperty[] = L"qv.modeless";
// A dialog with a sizing frame: its size as the template made it (width in the low word,
// height in the high word), the smallest it can be dragged to, so that its controls
// always fit and its charts keep room; and the DPI it is in pixels of.
constexpr wchar_t kSmallestSizeProperty[] = L"qv.smallestSize";
constexpr wchar_t kSmallestSizeDpiProperty[] = L"qv.smallestSizeDpi";

void setSmallestSize(HWND dialog, int width, int height, unsigned dpi) {
    const auto packed = static_cast<std::uintptr_t>(MAKELONG(width, height));
    SetPropW(dialog, kSmallestSizeProperty, reinterpret_cast<HANDLE>(packed));
    SetPropW(dialog, kSmallestSizeDpiProperty,
             reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(dpi)));
}

void keepSmallestSize(HWND dialog) {
    if ((GetWindowLongW(dialog, GWL_STYLE) & WS_THICKFRAME) == 0)
        return;
    RECT made{};
    GetWindowRect(dialog, &made);
    setSmallestSize(dialog, made.right - made.left, made.bottom - made.top, windowDpi(dialog));
}

// The window has moved to a monitor of another scale (or the scale changed): it takes the
// rectangle Windows suggests, and its smallest size follows the scale. The dialog manager
// then scales its font and controls (per-monitor v2).
void followDpi(HWND dialog, unsigned dpi, const RECT& suggested) {
    if (HANDLE size = GetPropW(dialog, kSmallestSizeProperty)) {
        const auto packed = reinterpret_cast<std::uintptr_t>(size);
        const auto was = static_cast<unsigned>(
            reinterpret_cast<std::uintptr_t>(GetPropW(dialog, kSmallestSizeDpiProperty)));
        setSmallestSize(dialog, rescaledForDpi(LOWORD(packed), was, dpi),
                        rescaledForDpi(HIWORD(packed), was, dpi), dpi);
    }
    SetWindowPos(dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK templateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* handler = reinterpret_cast<DialogHandler*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        keepSmallestSize(dialog);
        // The template's place is relative to the owner's client corner.
        centreOverOwner(dialog);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<DialogHandler*>(lParam)->onInit(dialog);
        return TRUE;
    case WM_COMMAND:
        if (handler && handler->onCommand(dialog, LOWORD(wParam), HIWORD(wParam))) {
            // A non-modal dialog has no modal loop to end: it is destroyed instead.
            if (GetPropW(dialog, kModelessProperty))
                DestroyWindow(dialog);
            else
                EndDialog(dialog, LOWORD(wParam));
        }
        return TRUE;
    case WM_GETMINMAXINFO:
        if (HANDLE size = GetPropW(dialog, kSmallestSizeProperty)) {
            const auto packed = reinterpret_cast<std::uintptr_t>(size);
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = {LOWORD(packed), HIWORD(packed)};
            return TRUE;
        }
        break;
    case WM_DPICHANGED:
        // Not taken: the handler hears it too, and the dialog manager does its part.
        followDpi(dialog, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        break;
    case WM_NCDESTROY:
        RemovePropW(dialog, kModelessProperty);
        RemovePropW(dialog, kSmallestSizeProperty);
        RemovePropW(dialog, kSmallestSizeDpiProperty);
        break;
    default:
        break;
    }
    INT_PTR result = FALSE;
    if (handler && handler->onMessage(dialog, message, wParam, lParam, result))
        return result;
    return FALSE;
}

} // namespace

std::string Win32DialogControls::text(int id) const {
    return utf8(windowText(GetDlgItem(dialog_, id)));
}

void Win32DialogControls::setText(int id, const std::string& text) {
    SetDlgItemTextW(dialog_, id, wide(text).c_str());
}

void Win32DialogControls::setCueText(int id, const std::string& text) {
    // Shown also while the edit has the focus, as Qt's placeholder is (common controls 6).
    const std::wstring cue = wide(text);
    SendDlgItemMessageW(dialog_, id, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
}

int Win32DialogControls::checkState(int id) const {
    const UINT state = IsDlgButtonChecked(dialog_, id);
    return state == BST_CHECKED         ? kChecked
           : state == BST_INDETERMINATE ? kIndeterminate
                                        : kUnchecked;
}

void Win32DialogControls::setCheckState(int id, int state) {
    // An automatic check box has no undecided state: a three-state box shows it until the
    // first click (settleCheckBox).
    HWND box = GetDlgItem(dialog_, id);
    SendMessageW(box, BM_SETSTYLE, state == kIndeterminate ? BS_3STATE : BS_AUTOCHECKBOX, TRUE);
    SendMessageW(box, BM_SETCHECK,
                 state == kChecked         ? BST_CHECKED
                 : state == kIndeterminate ? BST_INDETERMINATE
                                           : BST_UNCHECKED,
                 0);
}

void Win32DialogControls::settleCheckBox(int id) {
    if (checkState(id) == kIndeterminate)
        setCheckState(id, kChecked);
}

void Win32DialogControls::clearList(int id) {
    SendDlgItemMessageW(dialog_, id, CB_RESETCONTENT, 0, 0);
}

void Win32DialogControls::addListItem(int id, const std::string& text) {
    const std::wstring item = wide(text);
    SendDlgItemMessageW(dialog_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int Win32DialogControls::listSelection(int id) const {
    const LRESULT index = SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void Win32DialogControls::setListSelection(int id, int index) {
    // -1 clears the selection and the field.
    SendDlgItemMessageW(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string Win32DialogControls::listItemText(int id, int index) const {
    const LRESULT length =
        SendDlgItemMessageW(dialog_, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (index < 0 || length == CB_ERR)
        return {};
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    SendDlgItemMessageW(dialog_, id, CB_GETLBTEXT, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(length));
    return utf8(item);
}

void Win32DialogControls::focus(int id, bool selectAllText) {
    HWND control = GetDlgItem(dialog_, id);
    // The dialog manager's own way, so that the default button follows the focus.
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    if (selectAllText)
        SendMessageW(control, EM_SETSEL, 0, -1);
}

void Win32DialogControls::enable(int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
}

void Win32DialogControls::show(int id, bool shown) {
    if (HWND control = GetDlgItem(dialog_, id))
        ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

void Win32DialogControls::setProgress(int id, int percent) {
    SendDlgItemMessageW(dialog_, id, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

HWND createTemplateDialog(HINSTANCE module, HWND owner, const res::DialogTemplate& dialogTemplate,
                          DialogHandler& handler) {
    const std::vector<std::uint8_t> bytes = buildDialogTemplate(dialogTemplate);
    HWND dialog =
        CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
                                   templateDialogProc, reinterpret_cast<LPARAM>(&handler));
    if (dialog)
        SetPropW(dialog, kModelessProperty, reinterpret_cast<HANDLE>(1));
    return dialog;
}

namespace {
thread_local DialogMessageRoute* currentRoute = nullptr;
} // namespace

DialogMessageRoute::DialogMessageRoute(HWND dialog, std::function<bool(const MSG&)> preview)
    : dialog_(dialog), preview_(std::move(preview)),
      hook_(SetWindowsHookExW(WH_MSGFILTER, filter, nullptr, GetCurrentThreadId())) {
    currentRoute = this;
}

DialogMessageRoute::~DialogMessageRoute() {
    if (hook_)
        UnhookWindowsHookEx(hook_);
    currentRoute = nullptr;
}

LRESULT CALLBACK DialogMessageRoute::filter(int code, WPARAM wParam, LPARAM lParam) {
    DialogMessageRoute* route = currentRoute;
    auto* msg = reinterpret_cast<MSG*>(lParam);
    // Dialog and message-box loops; a menu's loop keeps its keys.
    const bool dialogLoop = code == MSGF_DIALOGBOX || code == MSGF_MESSAGEBOX;
    if (dialogLoop && route && !route->inside_ && msg &&
        (msg->hwnd == route->dialog_ || IsChild(route->dialog_, msg->hwnd))) {
        route->inside_ = true;
        const bool taken = route->preview_(*msg) || IsDialogMessageW(route->dialog_, msg);
        route->inside_ = false;
        if (taken)
            return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int runTemplateDialog(HINSTANCE module, HWND owner, const res::DialogTemplate& dialogTemplate,
                      DialogHandler& handler) {
    const std::vector<std::uint8_t> bytes = buildDialogTemplate(dialogTemplate);
    OpenModal open(handler);
    const INT_PTR result =
        DialogBoxIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
                                templateDialogProc, reinterpret_cast<LPARAM>(&open));
    return result == kIdOk ? kIdOk : kIdCancel;
}

HWND topModalDialog() {
    const auto open = std::find_if(openModals.rbegin(), openModals.rend(),
                                   [](HWND dialog) { return IsWindow(dialog) != FALSE; });
    return open != openModals.rend() ? *open : nullptr;
}

} // namespace qv::win32
