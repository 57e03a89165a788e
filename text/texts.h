#pragma once

// Every text the program shows the user, but for those a dialog template carries (its
// caption and its controls' texts, app/res/dialog_templates.cpp): message boxes and their
// details, the captions and button texts set while it runs, menu entries, the trend
// window's texts and the charts' labels. Written here once, in UTF-8, whichever layer
// shows them; "%1".."%9" are filled in by substitute() (text/substitute.h). The string
// table (res::loadString) lists some of them by id, for the menus and the Windows
// resources. Details that quote the operating system use its own words.

namespace qv::text {

// The acquisition cycle's boxes.
inline constexpr char kPortOpenFailed[] = "Failed to open COM port";
inline constexpr char kPortDisconnected[] = "COM port disconnected";

// Why a port did not open (details). %1: the port's name ("COM3").
inline constexpr char kPortOutOfRange[] = "%1: ports are numbered 1 to %2";
inline constexpr char kPortInUse[] = "%1 is in use by another program";
// %2: the port folder's entry ("com3"), %3: the port folder.
inline constexpr char kPortWithoutFolder[] =
    "%1: no device for this port; a link %2 in %3 would name one";
inline constexpr char kPortNotInFolder[] = "%1: no entry %2 in %3";
// %2: the console's device.
inline constexpr char kPortIsConsole[] = "%1 is %2, the system console";

// The log: the Start/Stop Log button, its boxes (%1: the file's full path) and details.
inline constexpr char kStartLog[] = "Start Log";
inline constexpr char kStopLog[] = "Stop Log";
inline constexpr char kLogOpenFailed[] = "Error opening file";
inline constexpr char kDiskFull[] = "Disk full while accessing %1.";
inline constexpr char kSeekFailed[] = "Seek failed on %1";
inline constexpr char kLogInUse[] = "in use by another program";
inline constexpr char kLogReplaced[] = "deleted or replaced while open";
// %1: a duration, kSeconds or kMilliseconds.
inline constexpr char kLogStalled[] = "the reader took nothing for %1";
inline constexpr char kLogStillBusy[] =
    "still busy after %1; it is closed as soon as the disk answers";
inline constexpr char kSeconds[] = "%1 seconds";
inline constexpr char kMilliseconds[] = "%1 ms";

// The setup dialog's refusals of the interval (the framework's own wording).
inline constexpr char kNotAnInteger[] = "Enter an integer.";
inline constexpr char kIntegerOutOfRange[] = "Enter an integer between %1 and %2.";

// The main window's menu entries and its caption while the port is waited for.
inline constexpr char kAboutMenu[] = "&About QV-5300...";
inline constexpr char kTrendMenu[] = "&Trend...";
inline constexpr char kReconnectMenu[] = "Reconnect &automatically";
inline constexpr char kPublishMenu[] = "&Publish...";
inline constexpr char kPortLostCaption[] = "QV-5300 - COM port disconnected";
// While publishing is on, the caption otherwise; %1: the publisher's status in words.
inline constexpr char kPublishingCaption[] = "QV-5300 - %1";

// Why publishing cannot start: the system names no folder for the user's spool.
inline constexpr char kNoSpoolFolder[] = "no folder for the readings waiting for the broker";

// The publish dialog: its refusals (%1: why, in the publisher's words) and the status
// shown while nothing is published.
inline constexpr char kBrokerRefused[] = "The broker address cannot be used: %1.";
inline constexpr char kBrokerNeeded[] = "Enter the broker's address to publish readings.";
inline constexpr char kTopicPrefixRefused[] = "The topic prefix cannot be used: %1.";
inline constexpr char kNotPublishing[] = "not publishing";

// The trend window: what it shows (%1: the log file's name), the file dialogs' filters,
// a failed image (%1: its path).
inline constexpr char kLiveReadings[] = "Live readings";
inline constexpr char kReadingFile[] = "Reading %1...";
inline constexpr char kPartlyRead[] = "%1 (read in part)";
inline constexpr char kLiveAndLog[] = "Live readings and %1";
inline constexpr char kLogFiles[] = "Log files";
inline constexpr char kAllFiles[] = "All files";
inline constexpr char kImageSaveFailed[] = "Could not save the image to %1.";

// Why a log file cannot be shown, and what of it was left out.
inline constexpr char kFileMissing[] = "The file does not exist.";
inline constexpr char kFileUnreadable[] = "The file cannot be read.";
inline constexpr char kFileNotRegular[] = "The file is not a regular file.";
inline constexpr char kFileTooLarge[] = "The file is too large for the memory available.";
inline constexpr char kFileEmpty[] = "The file is empty.";
inline constexpr char kFileWithoutReadings[] =
    "The file holds no readings of this program's log format.";
inline constexpr char kOneLineSkipped[] = "1 line was not a reading";
inline constexpr char kLinesSkipped[] = "%1 lines were not readings";

// The charts: titles, and the figures above each (%1..%3: values).
inline constexpr char kHumidityTitle[] = "Relative humidity (% RH)";
inline constexpr char kTemperatureTitle[] = "Temperature (\u00B0C)";
inline constexpr char kNowFigure[] = "now %1   ";
inline constexpr char kNoReadings[] = "no readings";
inline constexpr char kSpanFigures[] = "min %1   max %2   mean %3";

} // namespace qv::text
