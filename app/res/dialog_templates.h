#pragma once

// The dialog templates and the string table, as data (the version: app/res/version.h): one table
// per template (control id, kind, text, position and size in dialog units, style). The front ends
// build their windows from these (Qt: app/qt/dialog_builder.h).

#include "app/res/version.h"
#include "window/window_services.h"

#include <cstdint>
#include <span>

namespace qv {

// The ids of a dialog's OK and Cancel buttons (IDOK, IDCANCEL), which are also the results
// of its modal run.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Control ids of the setup dialog, the trend window and the publish dialog, as their
// templates below carry them; the main window's are with the window services
// (window/window_services.h), since the log and the acquisition cycle write to its controls.
namespace ctl {
// Setup dialog (template 129).
inline constexpr int kInterval = 1007;
inline constexpr int kFileName = 1008;
inline constexpr int kAppend = 1009;
inline constexpr int kBrowse = 1010;
inline constexpr int kPortList = 1012;
// Trend window (template 130): one button per span, in the order of trend::Span, then the
// others.
inline constexpr int kSpanTenMinutes = 1020;
inline constexpr int kSpanOneHour = 1021;
inline constexpr int kSpanSixHours = 1022;
inline constexpr int kSpanTwentyFourHours = 1023;
inline constexpr int kSpanSevenDays = 1024;
inline constexpr int kSpanAll = 1025;
inline constexpr int kLive = 1026;
inline constexpr int kOpenLog = 1027;
inline constexpr int kSaveImage = 1028;
inline constexpr int kTrendSource = 1029;   // what is shown: live readings or a log file
inline constexpr int kTrendProgress = 1030; // the share of a log file read, while it is read
inline constexpr int kTrendCancel = 1031;   // stops the reading (as Escape does meanwhile)
// Publish dialog (template 131).
inline constexpr int kBroker = 1040;        // "mqtt://host[:port]" or "mqtts://host[:port]"
inline constexpr int kMqttUser = 1041;      // empty: no user name
inline constexpr int kMqttPassword = 1042;  // shown as dots
inline constexpr int kTopicPrefix = 1043;   // empty: the default, shown as the cue text
inline constexpr int kDiscovery = 1044;     // Home Assistant discovery on or off
inline constexpr int kPublishOn = 1045;     // publishing on or off
inline constexpr int kPublishStatus = 1046; // the publisher's state in words, read-only
} // namespace ctl

} // namespace qv

namespace qv::res {

// Style bits, with the values the templates were designed with.
namespace style {
inline constexpr std::uint32_t kTabStop = 0x00010000;     // WS_TABSTOP
inline constexpr std::uint32_t kGroup = 0x00020000;       // WS_GROUP
inline constexpr std::uint32_t kBorder = 0x00800000;      // WS_BORDER
inline constexpr std::uint32_t kVScroll = 0x00200000;     // WS_VSCROLL
inline constexpr std::uint32_t kEditRight = 0x0002;       // ES_RIGHT
inline constexpr std::uint32_t kEditAutoHScroll = 0x0080; // ES_AUTOHSCROLL
inline constexpr std::uint32_t kEditReadOnly = 0x0800;    // ES_READONLY
inline constexpr std::uint32_t kEditPassword = 0x0020;    // ES_PASSWORD: the text shown as dots
inline constexpr std::uint32_t kNoPrefix = 0x0080;        // SS_NOPREFIX: "&" shown as is
// Dialog styles
inline constexpr std::uint32_t kVisible = 0x10000000;     // WS_VISIBLE
inline constexpr std::uint32_t kSysMenu = 0x00080000;     // WS_SYSMENU
inline constexpr std::uint32_t kCaption = 0x00C00000;     // WS_CAPTION
inline constexpr std::uint32_t kPopup = 0x80000000;       // WS_POPUP
inline constexpr std::uint32_t kModalFrame = 0x0080;      // DS_MODALFRAME
inline constexpr std::uint32_t kSetFont = 0x0040;         // DS_SETFONT
inline constexpr std::uint32_t kFixedSys = 0x0008;        // DS_FIXEDSYS: the shell dialog font
inline constexpr std::uint32_t kThickFrame = 0x00040000;  // WS_THICKFRAME: resizable
inline constexpr std::uint32_t kMinimizeBox = 0x00020000; // WS_MINIMIZEBOX (dialog style)
inline constexpr std::uint32_t kMaximizeBox = 0x00010000; // WS_MAXIMIZEBOX (dialog style)
inline constexpr std::uint32_t kExAppWindow = 0x00040000; // WS_EX_APPWINDOW (extended style)
} // namespace style

enum class ControlKind {
    DefPushButton, // the default push button (Enter)
    PushButton,
    CheckBox,   // automatic check box
    StaticText, // left-aligned label
    StaticIcon, // the program's icon
    Edit,
    GroupBox,
    DropDownList, // combo box that cannot be typed into
    ProgressBar,  // a bar filled to a share, 0 to 100
};

struct ControlTemplate {
    int id; // -1 for statics and group boxes
    ControlKind kind;
    const char* text; // UTF-8
    int x, y, w, h;   // dialog units
    std::uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int x, y, w, h; // dialog units
    std::uint32_t style;
    std::uint32_t exStyle;
    const char* fontName; // fallback: the platform's sans serif
    int pointSize;
    int weight;                                // 0 = default
    std::span<const ControlTemplate> controls; // template order = tab order
};

inline constexpr int kAboutDialogId = 100;
inline constexpr int kMainDialogId = 102;
inline constexpr int kSetupDialogId = 129;
// The trend window: resizable; its controls sit in two rows at the top (the buttons, then
// what is shown with the progress of a read), and the charts fill the client area below
// kTrendChartTop dialog units.
inline constexpr int kTrendDialogId = 130;
inline constexpr int kTrendChartTop = 38;
// The publishing values: broker, user name, password, topic prefix, discovery, on/off.
inline constexpr int kPublishDialogId = 131;
inline constexpr int kIconId = 128;
inline constexpr int kAboutMenuStringId = 101; // "&About QV-5300..."
inline constexpr unsigned kAboutCommandId = 0x10;
// The menu entry above "&About QV-5300...": opens the trend window (outside the about
// command's 0x10-0x1F and the system's own ids from 0xF000).
inline constexpr int kTrendMenuStringId = 102; // "&Trend..."
inline constexpr unsigned kTrendCommandId = 0x20;
// Texts of the trend window.
inline constexpr int kTrendLiveSourceStringId = 103; // "Live readings"
inline constexpr int kLogFilterStringId = 104;       // "Log files"
inline constexpr int kImageSaveFailedStringId = 105; // "Could not save the image to %1."
// The checkable entry below "&Trend...": switches automatic reconnection on and off.
inline constexpr int kReconnectMenuStringId = 106; // "Reconnect &automatically"
inline constexpr unsigned kReconnectCommandId = 0x30;
// The entry below it: opens the publish dialog (template 131).
inline constexpr int kPublishMenuStringId = 111; // "&Publish..."
inline constexpr unsigned kPublishCommandId = 0x40;
// The main window's caption while it waits for its lost port to come back.
inline constexpr int kPortLostCaptionStringId = 107; // "QV-5300 - COM port disconnected"
// Shown as the trend window's source while a log file is being read.
inline constexpr int kTrendReadingSourceStringId = 108; // "Reading %1..."
// The source when the reading of a log in view was stopped before its end.
inline constexpr int kTrendPartlyReadStringId = 109; // "%1 (read in part)"
// The source when the live readings show together with the log file being written.
inline constexpr int kTrendLiveAndLogStringId = 110; // "Live readings and %1"

// Template 100, 102, 129, 130 or 131; any other id is a programming error and aborts.
const DialogTemplate& dialogTemplate(int id);
// The string table: the texts of text/texts.h that carry an id; empty for an unknown id.
const char* loadString(int id);

} // namespace qv::res
