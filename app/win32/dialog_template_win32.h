#pragma once

// The in-memory dialog templates of the Win32 front end: a template of app/res turned into
// the DLGTEMPLATEEX bytes that DialogBoxIndirectParamW reads, so that Windows itself lays
// the dialog out in dialog units with the template's font. Plain C++, built and tested on
// every platform.

#include "app/res/dialog_templates.h"

#include <cstdint>
#include <vector>

namespace qv::win32 {

// Window-class atoms of the predefined control classes.
inline constexpr std::uint16_t kButtonAtom = 0x0080;
inline constexpr std::uint16_t kEditAtom = 0x0081;
inline constexpr std::uint16_t kStaticAtom = 0x0082;
inline constexpr std::uint16_t kComboBoxAtom = 0x0085;

// The window class and the class-specific style bits of a control kind: a predefined
// class by its atom, or a common control by its class name (its class registered by
// InitCommonControlsEx before the dialog is made).
struct ControlClass {
    std::uint16_t atom;
    std::uint32_t style;
    const char* name = nullptr; // when set, the class, rather than `atom`
};
inline constexpr char kProgressClass[] = "msctls_progress32"; // PROGRESS_CLASSW
ControlClass controlClassOf(res::ControlKind kind);

// The whole template: header, font, then one item per control in template order (which
// is the tab order); the default button carries BS_DEFPUSHBUTTON. Every control is a
// visible child; a static icon shows icon res::kIconId. The first byte is the start of
// the template; the vector's storage satisfies its DWORD alignment.
std::vector<std::uint8_t> buildDialogTemplate(const res::DialogTemplate& dialog);

} // namespace qv::win32
