// The resources linked into the program, read back through the calls Windows uses.

#include "app/res/dialog_templates.h"
#include "text/win32_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// String 101 is app/res's string table entry, which the Win32 main window shows.
TEST(Win32Resources, String101IsTheStringTableEntry) {
    wchar_t buffer[128] = {};
    const int n = LoadStringW(GetModuleHandleW(nullptr), qv::res::kAboutMenuStringId, buffer, 128);
    EXPECT_EQ(qv::win32::utf8(std::wstring(buffer, static_cast<std::size_t>(n))),
              qv::res::loadString(qv::res::kAboutMenuStringId));
}

// Icon 128 offers each drawn size itself rather than a scaled neighbour.
TEST(Win32Resources, Icon128HoldsEachDrawnSize) {
    for (int size : {16, 32, 48, 256}) {
        HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(qv::res::kIconId), RT_GROUP_ICON);
        ASSERT_NE(group, nullptr);
        auto* dir = static_cast<BYTE*>(LockResource(LoadResource(nullptr, group)));
        const int id = LookupIconIdFromDirectoryEx(dir, TRUE, size, size, LR_DEFAULTCOLOR);
        HRSRC image = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_ICON);
        ASSERT_NE(image, nullptr) << size;
        // A PNG image: its width is at byte 16 of the IHDR, big-endian.
        auto* png = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, image)));
        EXPECT_EQ((png[18] << 8) | png[19], size);
    }
}

// What the version resource says, as Explorer shows it.
TEST(Win32Resources, VersionResourceNamesMakerProductAndVersion) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::string data(GetFileVersionInfoSizeW(path, nullptr), '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);
    const struct {
        const wchar_t* name;
        const char* value;
    } rows[] = {{L"CompanyName", "Tavrin"},
                {L"ProductName", "QV-5300"},
                {L"FileVersion", qv::res::kVersion},
                {L"ProductVersion", qv::res::kVersion}};
    for (const auto& row : rows) {
        wchar_t* value = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + row.name;
        ASSERT_TRUE(
            VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(qv::win32::utf8(value), row.value) << qv::win32::utf8(row.name);
    }
}

// The manifest asks for the common controls 6, the user's own rights, and per-monitor DPI
// awareness (version 2, per monitor where that is unknown).
TEST(Win32Resources, ManifestAsksForCommonControls6AsInvoker) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                               SizeofResource(nullptr, found));
    for (const char* needed : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                               "level=\"asInvoker\"", "uiAccess=\"false\"", ">true/pm</dpiAware>",
                               ">PerMonitorV2, PerMonitor</dpiAwareness>"})
        EXPECT_NE(manifest.find(needed), std::string::npos) << needed;
}

} // namespace
