#include "app/win32/dialog_template_win32.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using qv::res::ControlKind;
using qv::res::ControlTemplate;
using qv::res::DialogTemplate;
namespace style = qv::res::style;

// Header with the shell font, a text control and an icon control, each item on its DWORD
// boundary: the bytes Windows reads, written out by hand.
TEST(DialogTemplateWin32, WritesHeaderFontAndItemsAsWindowsReadsThem) {
    const std::array controls{
        ControlTemplate{5, ControlKind::DefPushButton, "B", 3, 4, 10, 12, style::kTabStop},
        ControlTemplate{-1, ControlKind::StaticIcon, "", 0, 0, 20, 20, 0},
    };
    const DialogTemplate dialog{7,
                                "Ab",
                                1,
                                2,
                                30,
                                40,
                                style::kPopup | style::kSetFont | style::kFixedSys,
                                style::kExAppWindow,
                                "F",
                                8,
                                400,
                                controls};
    const std::vector<std::uint8_t> expected{
        1, 0, 0xFF, 0xFF, 0, 0, 0, 0,      // version 1, extended, help id
        0, 0, 4, 0, 0x48, 0, 0, 0x80,      // exStyle, style
        2, 0, 1, 0, 2, 0, 30, 0, 40, 0,    // two items, x, y, cx, cy
        0, 0, 0, 0, 'A', 0, 'b', 0, 0, 0,  // no menu, system class, "Ab"
        8, 0, 0x90, 1, 0, 1, 'F', 0, 0, 0, // 8 pt, weight 400, upright,
                                           // DEFAULT_CHARSET
        0, 0,                              // to the DWORD boundary
        0, 0, 0, 0, 0, 0, 0, 0,            // item 1: help id, exStyle
        1, 0, 1, 0x50, 3, 0, 4, 0, 10, 0, 12,
        0,                               // child|visible|tabstop|BS_DEFPUSHBUTTON
        5, 0, 0, 0, 0xFF, 0xFF, 0x80, 0, // id 5, button atom
        'B', 0, 0, 0, 0, 0, 0, 0,        // "B", no creation data, to the boundary
        0, 0, 0, 0, 0, 0, 0, 0,          // item 2
        3, 0, 0, 0x50, 0, 0, 0, 0, 20, 0, 20,
        0,                                           // child|visible|SS_ICON
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0, // id -1, static atom
        0xFF, 0xFF, 128, 0, 0, 0,                    // icon 128 by ordinal, no creation data
    };
    EXPECT_EQ(qv::win32::buildDialogTemplate(dialog), expected);
}

// Texts leave as UTF-16: the main window's "°C" is one code unit, not two bytes.
TEST(DialogTemplateWin32, WritesTextsAsUtf16) {
    const DialogTemplate dialog{1,
                                "\xC2\xB0"
                                "C\xF0\x9F\x98\x80",
                                0,
                                0,
                                1,
                                1,
                                0,
                                0,
                                "",
                                8,
                                0,
                                {}};
    const std::vector<std::uint8_t> bytes = qv::win32::buildDialogTemplate(dialog);
    const std::vector<std::uint8_t> caption(bytes.begin() + 30, bytes.end());
    EXPECT_EQ(caption, (std::vector<std::uint8_t>{0xB0, 0, 'C', 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
}

} // namespace
