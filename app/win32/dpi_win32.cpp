#include "app/win32/dpi_win32.h"

#include "app/win32/dpi_scale.h"

#include <commctrl.h>

namespace qv::win32 {
namespace {

// Looked up at run time: older Windows, and Wine, may lack them (and LoadIconWithScaleDown
// exists only in version 6 of the common controls, which a program without the manifest
// does not get).
template <typename Function> Function systemFunction(const wchar_t* module, const char* name) {
    HMODULE loaded = GetModuleHandleW(module);
    return loaded
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name)))
               : nullptr;
}

} // namespace

unsigned windowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        systemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow && window)
        if (const UINT dpi = getDpiForWindow(window))
            return dpi;
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
    if (dc)
        ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<unsigned>(dpi) : kDesignDpi;
}

HICON loadIconForDpi(HINSTANCE module, int id, bool small, unsigned dpi) {
    const int size = scaledToDpi(small ? 16 : 32, dpi);
    using LoadIconWithScaleDownFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const auto loadIconWithScaleDown =
        systemFunction<LoadIconWithScaleDownFunction>(L"comctl32.dll", "LoadIconWithScaleDown");
    HICON icon = nullptr;
    if (loadIconWithScaleDown &&
        SUCCEEDED(loadIconWithScaleDown(module, MAKEINTRESOURCEW(id), size, size, &icon)))
        return icon;
    return static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

} // namespace qv::win32
