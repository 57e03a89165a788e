#pragma once

// What the toolkit-free logic asks of the front end (Qt, Win32) beyond the window
// services: running the modal dialogs, the wait cursor and the save-file dialog. The
// front end builds each dialog from its template and hands its controls to the logic
// through DialogControls. User-interface thread only; every call returns when the dialog
// it runs has ended, with timers and posted messages delivered meanwhile.

#include <functional>
#include <optional>
#include <string>

namespace qv {

class PublishDialog;
class QV53SetupDlg;
class TrendWindow;

namespace trend {
class Painter;
}

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Builds template 129 over the main window and runs it modally. `dialog` is called for
    // its initialisation (OnInitDialog: values to controls), for OK (OnOK: the exchange
    // and validation; false keeps the dialog open) and for Browse... (control 1010,
    // browseForLogFile). Cancel, Escape and the close box end it without calling OnOK.
    // Returns kIdOk or kIdCancel.
    virtual int runSetupDialog(QV53SetupDlg& dialog) = 0;

    // Builds template 131 over the main window and runs it modally, as runSetupDialog
    // does: `dialog` is called for its initialisation (OnInitDialog) and for OK (OnOK;
    // false keeps the dialog open); Cancel, Escape and the close box end it without
    // calling OnOK. Returns kIdOk or kIdCancel.
    virtual int runPublishDialog(PublishDialog& dialog) = 0;

    // Template 100 over the main window, modal; kIdOk or kIdCancel.
    virtual int runAboutBox() = 0;

    // The wait cursor over the whole application while on, also across mouse moves while
    // the window goes on working (the ports are probed off its thread); calls pair up (on,
    // then off).
    virtual void setWaitCursor(bool on) = 0;

    // The save-file dialog, modal to the dialog open now: default extension `extension`
    // (appended to a typed name without one), initial file name `initialName`, no initial
    // folder, asks before an existing file is chosen, never creates, opens or truncates
    // the file. The chosen full path (UTF-8), or nothing when cancelled or failed.
    virtual std::optional<std::string> browseForSave(const std::string& extension,
                                                     const std::string& initialName) = 0;

    // The trend window (template 130), non-modal, over `window`'s logic: the first call
    // builds it (calling window.OnInitDialog with its controls) and shows it; while it is
    // open, a call brings it to the front. The front end forwards its button presses
    // (OnCommand), wheel turns (OnMouseWheel), Left and Right keys (OnKey) and paints
    // (paint, with the size of the area below the buttons), and calls window.OnDestroy
    // when it closes. `window` outlives the front end's window.
    virtual void showTrendWindow(TrendWindow& window) = 0;
    // The open trend window's chart area is painted again soon; nothing when it is closed.
    virtual void invalidateTrend() = 0;

    // The open-file dialog, modal to the trend window: files named `*.<extension>` offered
    // under the description `filterText` ("Log files"), besides all files; only an existing
    // file can be chosen. The chosen full path (UTF-8), or nothing when cancelled or failed.
    virtual std::optional<std::string> browseForOpen(const std::string& extension,
                                                     const std::string& filterText) = 0;

    // Renders `paint` into a `width` x `height` image (24-bit colour, white before painting)
    // and writes it to `path` (UTF-8) as PNG, replacing the file. False when the image cannot
    // be made or the file cannot be written.
    virtual bool saveImage(const std::string& path, int width, int height,
                           const std::function<void(trend::Painter&)>& paint) = 0;
};

} // namespace qv
