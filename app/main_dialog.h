#pragma once

// The main window's logic (template 102), free of any toolkit. It owns all run-time state
// of the program (the station: channel, log, acquisition cycle; the loaded settings; the
// trend view) and routes the window's messages to the parts that do the work; it holds no
// logic of theirs. The front
// end builds the window, owns the window services over it, forwards timer ticks and posted
// messages here and turns its platform's ways of ending (close box, Alt+F4, Escape, log-off,
// a termination signal) into the calls below.
//
// However the window ends, the log file is closed and flushed before the object is gone,
// and the channel's reader thread and the port survey's threads are joined.
// User-interface thread only, except what the channel's reader and the port survey
// (serial/port_survey.h: its threads only probe through the serial platform) post
// through the window services.

#include "acquisition/clock.h"
#include "acquisition/station.h"
#include "app/publish_link.h"
#include "app/trend_window.h"
#include "serial/port_survey.h"
#include "trend/reading_history.h"
#include "window/screen_geometry.h"
#include "window/window_services.h"

#include <cstdint>
#include <span>
#include <string>

namespace qv {

class FrontEnd;
class SerialPlatform;
class SettingsStore;

// The main window's caption: string 107 while the controller waits for a lost port;
// otherwise "QV-5300 - <status>" while publishing is on (`publishStatus`, the publish
// link's status in words, not empty), else the template's. The front end without a
// window reports it instead.
std::string mainCaption(bool waitingForPort, const std::string& publishStatus = {});

class CQV53Dlg : public WindowMessageTarget {
public:
    // All must outlive the object; `window` must deliver to it (onTimer, onMessage).
    CQV53Dlg(WindowServices& window, FrontEnd& frontEnd, SettingsStore& settings,
             SerialPlatform& platform, const Clock& clock);
    ~CQV53Dlg() override;
    CQV53Dlg(const CQV53Dlg&) = delete;
    CQV53Dlg& operator=(const CQV53Dlg&) = delete;

    // Once, when the window's controls exist and before it is first shown (so that a
    // "Failed to open COM port" box comes up over it): the settings loaded, the run-time
    // state in its reset state, the acquisition started, in this order. A second call does
    // nothing. The icon and the system-menu entry are the front end's.
    void OnInitDialog();

    // Where the main window opens, its outer top-left corner for a frame of `width` x
    // `height` over the desktop's `workAreas` (app/window_placement.h; primary first):
    // where the user left it, kept inside the desktop, or centred on the primary monitor
    // when nothing is stored. The front end asks once, before the window is first shown.
    ScreenPoint openingPosition(int width, int height, std::span<const ScreenRect> workAreas) const;

    // The front end, when the window ends however it ends (not while it is minimised, its
    // place then being the system's): stores the frame's top-left corner as "WindowLeft"
    // and "WindowTop", each only when it differs from what is stored.
    void storeWindowPosition(ScreenPoint topLeft);

    // Before OnInitDialog: Start Log is pressed once the window is up (WM_START_LOG,
    // posted before the port is opened, so that a box about the port does not hold it up).
    void setStartLogging(bool on) { startLogging_ = on; }

    // The text of the system-menu entry (string 101, "&About QV-5300..."), under command
    // res::kAboutCommandId; empty: no entry (and no separator) is added.
    std::string aboutMenuEntry() const;

    // The entry above it (string 102, "&Trend..."), under command res::kTrendCommandId.
    std::string trendMenuEntry() const;

    // The checkable entry below "&Trend..." (string 106, "Reconnect &automatically"), under
    // command res::kReconnectCommandId, checked while autoReconnect() holds.
    std::string reconnectMenuEntry() const;
    bool autoReconnect() const { return station_.controller().autoReconnect(); }

    // The entry below it (string 111, "&Publish..."), under command res::kPublishCommandId.
    std::string publishMenuEntry() const;

    // The system-command handler: an id whose value with the low four bits cleared is
    // 0x10 opens the about box (FrontEnd::runAboutBox), 0x20 shows the trend window
    // (FrontEnd::showTrendWindow: opens it, or brings the open one to the front), 0x30
    // switches automatic reconnection and stores "AutoReconnect" at once, 0x40 runs the
    // publish dialog (runPublish); all return true. False for any other id, which is left
    // to the platform's default handling with `lParam` unchanged. While the controller
    // waits for a lost port the caption is string 107; otherwise, while publishing is on,
    // "QV-5300 - <publishing status>"; otherwise the template's.
    bool OnSysCommand(unsigned id, std::intptr_t lParam);

    // A button: 1002 runs Setup..., 1003 toggles the log; other ids are ignored (Exit, 1,
    // and Cancel, 2, end the window in the front end without passing here).
    void OnCommand(int id);

    // Setup... (control 1002): starts probing COM1 to COM256 off the user-interface thread
    // under the wait cursor, and returns; the window keeps painting, polling and logging
    // meanwhile. When the survey's WM_PORTS_PROBED arrives, the wait cursor goes and the
    // setup command (app/setup_command.h) runs FrontEnd::runSetupDialog over the results.
    // A press while the ports are probed does nothing. A window closed meanwhile runs no
    // dialog; its destruction waits for the probes under way (at most one per survey
    // thread) and posts nothing more.
    void runSetup();
    // From a Setup... press until its dialog is about to run.
    bool probingPorts() const { return probing_; }

    // The close path (close box, Alt+F4, system-menu Close, log-off, termination request):
    // the log closes its file. The front end then ends the window with kIdCancel.
    void OnClose();

    // Publishing as `settings` say for the port in use (the default topic prefix follows
    // the port); the caption follows. OnInitDialog and a Setup... that changed the port
    // apply the stored values, the publish dialog what was chosen in it.
    void applyPublishSettings(const PublishSettings& settings);
    // The publisher's status in words (PublishLink::statusText); empty while off.
    std::string publishStatusText() const { return publish_.statusText(); }

    // WindowMessageTarget: WM_TREND_LOG_READ to the trend window, WM_PORTS_PROBED to the
    // setup command, WM_PUBLISH_STATUS to the publish link, everything else to the station
    // (timers 1 to 3, WM_SERIAL_BYTE, WM_LOG_LINE_DONE, WM_START_LOG).
    void onTimer(int timerId) override;
    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    // The publish dialog (FrontEnd::runPublishDialog) over the stored publishing values,
    // the default topic prefix of the port in use and publishStatusText(); after OK the
    // six values are stored and applied as chosen, whether or not the store took them.
    // Cancel changes nothing.
    void runPublish();

    // For tests and front ends: the parts the window owns.
    const MeasurementLog& log() const { return station_.log(); }
    const AcquisitionController& controller() const { return station_.controller(); }
    int append() const { return append_; }
    const trend::ReadingHistory& history() const { return history_; }
    TrendWindow& trendWindow() { return trend_; }

private:
    // WM_PORTS_PROBED: the setup command over the survey's results.
    void portsProbed();
    // The caption: string 107 while a lost port is waited for, else the publishing
    // status while publishing is on, else the template's.
    void updateCaption();

    WindowServices& window_;
    FrontEnd& frontEnd_;
    SettingsStore& settings_;
    Station station_;
    // Every reading shown, logged or not, with the clock's time; read by the trend window,
    // which also asks the log which file it writes.
    trend::ReadingHistory history_;
    TrendWindow trend_;
    int append_ = 1; // "Append" as loaded; the log only needs whether it is non-zero
    bool initialised_ = false;
    bool startLogging_ = false;
    bool closing_ = false; // OnClose has run: a survey that ends now shows no dialog
    bool probing_ = false;
    bool portLost_ = false; // the controller waits for a lost port
    // Fed by the station's reading listener; its worker reaches the window only through
    // WM_PUBLISH_STATUS. Its status changes update the caption.
    PublishLink publish_;
    // Last: joined first, while everything its message would reach still exists.
    PortSurvey survey_;
};

} // namespace qv
