#include "app/res/dialog_templates.h"

#include "text/texts.h"

#include <array>
#include <cstdlib>

namespace qv::res {
namespace {

using K = ControlKind;
using namespace style;

constexpr std::uint32_t kReadOnlyField =
    kEditReadOnly | kEditRight | kBorder | kEditAutoHScroll | kTabStop;
constexpr std::uint32_t kShellDialogStyle =
    kPopup | kCaption | kSysMenu | kModalFrame | kSetFont | kFixedSys;

// The about box. The icon control draws icon 128 (kIconId); its text is not shown.
constexpr std::array kAboutControls{
    ControlTemplate{-1, K::StaticIcon, "", 11, 17, 20, 20, 0},
    ControlTemplate{-1, K::StaticText, "QV-5300 Version " QV_VERSION_TEXT, 48, 12, 108, 8,
                    kGroup | kNoPrefix},
    ControlTemplate{-1, K::StaticText, "RH and temperature logger", 48, 24, 108, 8, kGroup},
    ControlTemplate{kIdOk, K::DefPushButton, "OK", 178, 7, 50, 16, kGroup | kTabStop},
    ControlTemplate{-1, K::StaticText, "Tavrin - Division of Orvex, Inc.", 48, 36, 108, 8, kGroup},
};

// "°C": U+00B0 DEGREE SIGN then "C", spelt as UTF-8 bytes so the source encoding cannot
// change it.
constexpr char kDegreesCelsius[] = "\xC2\xB0"
                                   "C";

// The main window.
constexpr std::array kMainControls{
    ControlTemplate{ctl::kExit, K::DefPushButton, "Exit", 108, 72, 36, 12, kTabStop},
    ControlTemplate{-1, K::StaticText, "Humidity", 12, 12, 42, 8, kGroup},
    ControlTemplate{ctl::kHumidity, K::Edit, "", 60, 12, 24, 12, kReadOnlyField},
    ControlTemplate{-1, K::StaticText, "% RH", 90, 12, 24, 8, kGroup},
    ControlTemplate{-1, K::StaticText, "Temperature", 12, 30, 48, 8, kGroup},
    ControlTemplate{ctl::kTemperature, K::Edit, "", 60, 30, 24, 12, kReadOnlyField},
    ControlTemplate{-1, K::StaticText, kDegreesCelsius, 90, 30, 24, 8, kGroup},
    ControlTemplate{ctl::kSetup, K::PushButton, "Setup...", 12, 72, 36, 12, kTabStop},
    ControlTemplate{ctl::kStartStopLog, K::PushButton, "Start Log", 60, 72, 36, 12, kTabStop},
    ControlTemplate{ctl::kRecordCount, K::Edit, "", 60, 48, 24, 12, kReadOnlyField},
    ControlTemplate{-1, K::StaticText, "Log Events", 12, 48, 42, 8, kGroup},
};

// The setup dialog. The drop-down list's height is that of its dropped-down list.
constexpr std::array kSetupControls{
    ControlTemplate{kIdOk, K::DefPushButton, "OK", 240, 18, 50, 14, kTabStop},
    ControlTemplate{kIdCancel, K::PushButton, "Cancel", 240, 36, 50, 14, kTabStop},
    ControlTemplate{-1, K::GroupBox, "Serial Port", 6, 12, 60, 30, 0},
    ControlTemplate{ctl::kPortList, K::DropDownList, "", 12, 24, 48, 48, kVScroll | kTabStop},
    ControlTemplate{-1, K::GroupBox, "Logging", 78, 12, 150, 66, 0},
    ControlTemplate{-1, K::StaticText, "Interval:", 83, 26, 37, 8, kGroup},
    ControlTemplate{ctl::kInterval, K::Edit, "", 126, 24, 30, 12,
                    kBorder | kEditRight | kEditAutoHScroll | kTabStop},
    ControlTemplate{-1, K::StaticText, "s", 159, 26, 8, 8, kGroup},
    ControlTemplate{-1, K::StaticText, "File name:", 84, 44, 36, 8, kGroup},
    ControlTemplate{ctl::kFileName, K::Edit, "", 126, 42, 90, 12,
                    kBorder | kEditAutoHScroll | kTabStop},
    ControlTemplate{ctl::kAppend, K::CheckBox, "Append", 84, 60, 48, 12, kTabStop},
    ControlTemplate{ctl::kBrowse, K::PushButton, "Browse...", 174, 60, 42, 12, kTabStop},
};

// The trend window's two rows: the buttons, then what is shown and, while a log file is
// read, the share read and Cancel; the charts fill the client area below kTrendChartTop.
constexpr std::array kTrendControls{
    ControlTemplate{ctl::kSpanTenMinutes, K::PushButton, "10 min", 4, 4, 30, 14, kTabStop},
    ControlTemplate{ctl::kSpanOneHour, K::PushButton, "1 h", 36, 4, 24, 14, kTabStop},
    ControlTemplate{ctl::kSpanSixHours, K::PushButton, "6 h", 62, 4, 24, 14, kTabStop},
    ControlTemplate{ctl::kSpanTwentyFourHours, K::PushButton, "24 h", 88, 4, 24, 14, kTabStop},
    ControlTemplate{ctl::kSpanSevenDays, K::PushButton, "7 days", 114, 4, 30, 14, kTabStop},
    ControlTemplate{ctl::kSpanAll, K::PushButton, "All", 146, 4, 24, 14, kTabStop},
    ControlTemplate{ctl::kLive, K::PushButton, "Live", 176, 4, 28, 14, kTabStop},
    ControlTemplate{ctl::kOpenLog, K::PushButton, "Open log...", 210, 4, 48, 14, kTabStop},
    ControlTemplate{ctl::kSaveImage, K::PushButton, "Save image...", 260, 4, 54, 14, kTabStop},
    ControlTemplate{ctl::kTrendSource, K::StaticText, "", 4, 24, 300, 8, kGroup | kNoPrefix},
    ControlTemplate{ctl::kTrendProgress, K::ProgressBar, "", 310, 23, 90, 10, 0},
    ControlTemplate{ctl::kTrendCancel, K::PushButton, "Cancel", 404, 21, 48, 14, kTabStop},
};

// The publish dialog: the four texts with their labels, the two switches, the status (a
// read-only field, so that a long reason can be scrolled and copied), OK and Cancel on the
// right as in the setup dialog. The focus starts in the broker's field, the first tab stop.
constexpr std::uint32_t kTextField = kBorder | kEditAutoHScroll | kTabStop;
constexpr std::array kPublishControls{
    ControlTemplate{-1, K::StaticText, "&Broker:", 7, 9, 50, 8, kGroup},
    ControlTemplate{ctl::kBroker, K::Edit, "", 60, 7, 150, 12, kTextField},
    ControlTemplate{-1, K::StaticText, "&User name:", 7, 27, 50, 8, kGroup},
    ControlTemplate{ctl::kMqttUser, K::Edit, "", 60, 25, 150, 12, kTextField},
    ControlTemplate{-1, K::StaticText, "Pass&word:", 7, 45, 50, 8, kGroup},
    ControlTemplate{ctl::kMqttPassword, K::Edit, "", 60, 43, 150, 12, kTextField | kEditPassword},
    ControlTemplate{-1, K::StaticText, "&Topic prefix:", 7, 63, 50, 8, kGroup},
    ControlTemplate{ctl::kTopicPrefix, K::Edit, "", 60, 61, 150, 12, kTextField},
    ControlTemplate{ctl::kDiscovery, K::CheckBox, "Home Assistant &discovery", 60, 79, 150, 10,
                    kTabStop},
    ControlTemplate{ctl::kPublishOn, K::CheckBox, "&Publish readings", 60, 93, 150, 10, kTabStop},
    ControlTemplate{-1, K::StaticText, "Status:", 7, 113, 50, 8, kGroup},
    ControlTemplate{ctl::kPublishStatus, K::Edit, "", 60, 111, 208, 12,
                    kEditReadOnly | kBorder | kEditAutoHScroll},
    ControlTemplate{kIdOk, K::DefPushButton, "OK", 218, 7, 50, 14, kTabStop},
    ControlTemplate{kIdCancel, K::PushButton, "Cancel", 218, 25, 50, 14, kTabStop},
};

const DialogTemplate kAbout{
    kAboutDialogId, "About QV-5300", 0, 0, 235, 55, kShellDialogStyle, 0, "MS Shell Dlg", 8, 0,
    kAboutControls};

const DialogTemplate kMain{kMainDialogId,
                           "Tavrin QV-5300",
                           0,
                           0,
                           156,
                           95,
                           kPopup | kVisible | kCaption | kSysMenu | kModalFrame | kSetFont,
                           kExAppWindow,
                           "Microsoft Sans Serif",
                           10,
                           400,
                           kMainControls};

const DialogTemplate kSetup{
    kSetupDialogId, "Setup", 0, 0, 298, 90, kShellDialogStyle, 0, "MS Shell Dlg", 8, 400,
    kSetupControls};

const DialogTemplate kPublish{
    kPublishDialogId, "Publish", 0, 0, 275, 130, kShellDialogStyle, 0, "MS Shell Dlg", 8, 400,
    kPublishControls};

const DialogTemplate kTrend{kTrendDialogId,
                            "QV-5300 Trend",
                            0,
                            0,
                            456,
                            260,
                            kPopup | kCaption | kSysMenu | kThickFrame | kMinimizeBox |
                                kMaximizeBox | kSetFont | kFixedSys,
                            kExAppWindow,
                            "MS Shell Dlg",
                            8,
                            400,
                            kTrendControls};

} // namespace

const DialogTemplate& dialogTemplate(int id) {
    switch (id) {
    case kAboutDialogId:
        return kAbout;
    case kMainDialogId:
        return kMain;
    case kSetupDialogId:
        return kSetup;
    case kTrendDialogId:
        return kTrend;
    case kPublishDialogId:
        return kPublish;
    default:
        // Only the five ids above exist; asking for another is a programming error.
        std::abort();
    }
}

const char* loadString(int id) {
    switch (id) {
    case kAboutMenuStringId:
        return text::kAboutMenu;
    case kTrendMenuStringId:
        return text::kTrendMenu;
    case kTrendLiveSourceStringId:
        return text::kLiveReadings;
    case kLogFilterStringId:
        return text::kLogFiles;
    case kImageSaveFailedStringId:
        return text::kImageSaveFailed;
    case kReconnectMenuStringId:
        return text::kReconnectMenu;
    case kPortLostCaptionStringId:
        return text::kPortLostCaption;
    case kTrendReadingSourceStringId:
        return text::kReadingFile;
    case kTrendPartlyReadStringId:
        return text::kPartlyRead;
    case kTrendLiveAndLogStringId:
        return text::kLiveAndLog;
    case kPublishMenuStringId:
        return text::kPublishMenu;
    default:
        return "";
    }
}

} // namespace qv::res
