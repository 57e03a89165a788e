#include "app/win32/dialog_template_win32.h"

#include <string_view>

namespace qv::win32 {
namespace {

// Window and control styles as Windows defines them (this file does not see windows.h).
constexpr std::uint32_t kChild = 0x40000000;   // WS_CHILD
constexpr std::uint32_t kVisible = 0x10000000; // WS_VISIBLE
constexpr std::uint32_t kShellFontFlags = res::style::kSetFont | res::style::kFixedSys;
constexpr std::uint8_t kAnsiCharset = 0;
constexpr std::uint8_t kDefaultCharset = 1;

// Little-endian, as Windows reads the template.
class TemplateWriter {
public:
    void word(std::uint16_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void dword(std::uint32_t v) {
        word(static_cast<std::uint16_t>(v & 0xFFFF));
        word(static_cast<std::uint16_t>(v >> 16));
    }
    void byte(std::uint8_t v) { bytes_.push_back(v); }
    // Zero-terminated UTF-16 of a UTF-8 text. The templates hold well-formed UTF-8; a
    // stray byte becomes U+FFFD rather than ending the text.
    void text(std::string_view utf8) {
        for (std::size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            const int length = lead < 0x80         ? 1
                               : lead >> 5 == 0x6  ? 2
                               : lead >> 4 == 0xE  ? 3
                               : lead >> 3 == 0x1E ? 4
                                                   : 0;
            if (length == 0 || i + static_cast<std::size_t>(length) > utf8.size()) {
                word(0xFFFD);
                ++i;
                continue;
            }
            std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
            for (int k = 1; k < length; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            if (cp >= 0x10000) {
                cp -= 0x10000;
                word(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
                word(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                word(static_cast<std::uint16_t>(cp));
            }
            i += static_cast<std::size_t>(length);
        }
        word(0);
    }
    // sz_Or_Ord given as an ordinal.
    void ordinal(std::uint16_t v) {
        word(0xFFFF);
        word(v);
    }
    void alignToDword() {
        while (bytes_.size() % 4 != 0)
            bytes_.push_back(0);
    }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

std::uint16_t unit(int dialogUnits) {
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(dialogUnits));
}

} // namespace

ControlClass controlClassOf(res::ControlKind kind) {
    using K = res::ControlKind;
    switch (kind) {
    case K::DefPushButton:
        return {kButtonAtom, 0x0001}; // BS_DEFPUSHBUTTON
    case K::PushButton:
        return {kButtonAtom, 0x0000}; // BS_PUSHBUTTON
    case K::CheckBox:
        return {kButtonAtom, 0x0003}; // BS_AUTOCHECKBOX
    case K::GroupBox:
        return {kButtonAtom, 0x0007}; // BS_GROUPBOX
    case K::StaticText:
        return {kStaticAtom, 0x0000}; // SS_LEFT
    case K::StaticIcon:
        return {kStaticAtom, 0x0003}; // SS_ICON
    case K::Edit:
        return {kEditAtom, 0x0000}; // ES_LEFT
    case K::DropDownList:
        return {kComboBoxAtom, 0x0003}; // CBS_DROPDOWNLIST
    case K::ProgressBar:
        return {0, 0x0000, kProgressClass};
    }
    return {kStaticAtom, 0};
}

std::vector<std::uint8_t> buildDialogTemplate(const res::DialogTemplate& dialog) {
    TemplateWriter out;
    out.word(1);      // dlgVer
    out.word(0xFFFF); // signature: extended template
    out.dword(0);     // helpID
    out.dword(dialog.exStyle);
    out.dword(dialog.style);
    out.word(static_cast<std::uint16_t>(dialog.controls.size()));
    out.word(unit(dialog.x));
    out.word(unit(dialog.y));
    out.word(unit(dialog.w));
    out.word(unit(dialog.h));
    out.word(0); // no menu
    out.word(0); // the system's dialog class
    out.text(dialog.caption);
    if (dialog.style & res::style::kSetFont) {
        out.word(static_cast<std::uint16_t>(dialog.pointSize));
        out.word(static_cast<std::uint16_t>(dialog.weight));
        out.byte(0); // not italic
        // The shell dialog font takes the user's character set; a named font the Western one.
        out.byte((dialog.style & kShellFontFlags) == kShellFontFlags ? kDefaultCharset
                                                                     : kAnsiCharset);
        out.text(dialog.fontName);
    }
    for (const res::ControlTemplate& control : dialog.controls) {
        const ControlClass cls = controlClassOf(control.kind);
        out.alignToDword();
        out.dword(0); // helpID
        out.dword(0); // exStyle
        out.dword(kChild | kVisible | cls.style | control.style);
        out.word(unit(control.x));
        out.word(unit(control.y));
        out.word(unit(control.w));
        out.word(unit(control.h));
        out.dword(static_cast<std::uint32_t>(control.id));
        if (cls.name)
            out.text(cls.name);
        else
            out.ordinal(cls.atom);
        if (control.kind == res::ControlKind::StaticIcon)
            out.ordinal(static_cast<std::uint16_t>(res::kIconId));
        else
            out.text(control.text);
        out.word(0); // no creation data
    }
    return out.take();
}

} // namespace qv::win32
