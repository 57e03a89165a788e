#pragma once

// The setup dialog's logic (template 129), free of any toolkit: port, interval, log file
// name and append mode. It only shows and exchanges values; the setup command
// (app/setup_command.h) fills values(), has the front end run the dialog
// (FrontEnd::runSetupDialog) and applies the result. One object per press of Setup...;
// user-interface thread only.

#include "app/setup_command.h"

namespace qv {

class DialogControls;
class FrontEnd;
class WindowServices;

class QV53SetupDlg {
public:
    // `window` shows the validation messages, `frontEnd` the save-file dialog; both must
    // outlive the object.
    QV53SetupDlg(WindowServices& window, FrontEnd& frontEnd);

    SetupValues& values() { return values_; }
    const SetupValues& values() const { return values_; }

    // Valid interval range, in seconds.
    static constexpr int kMinInterval = 1;
    static constexpr int kMaxInterval = 1000;

    // Values to controls, once, when the controls exist: the interval in decimal, the file
    // name, the append check (0, 1 or 2; a value outside those is first replaced by 0 in
    // values() itself), the port list in order with the entry equal to selectedPort
    // selected (none when no entry equals it). The focus is the front end's: the first
    // tab stop, OK.
    void OnInitDialog(DialogControls& controls);

    // OK: controls to values in the order interval, file name, append, port. The first
    // refusal stops it: "Enter an integer." for an interval text without a number, "Enter
    // an integer between 1 and 1000." for one out of range, each through the window
    // services' message box, then the focus back to control 1007 with its text selected;
    // values() keeps what it had. True when the values are taken and the dialog may end.
    bool OnOK(DialogControls& controls);

    // Browse... (control 1010): the save-file dialog with "log" and "tavrin.log"; a chosen
    // path becomes the file name and the text of control 1008. Only picks a name: the log
    // opens its file when logging starts.
    void browseForLogFile(DialogControls& controls);

private:
    void refuseInterval(DialogControls& controls, const std::string& message);

    WindowServices& window_;
    FrontEnd& frontEnd_;
    SetupValues values_;
};

} // namespace qv
