#pragma once

// The Setup... command of the main window, once its ports have been probed (off the
// user-interface thread, see CQV53Dlg::runSetup): fills the setup dialog from the live
// values, lists the ports from the probes' results, runs the dialog and, after OK, applies
// what changed in a fixed order (port, interval, log file name, append), writing each
// changed value to the settings store at once. Cancel applies and writes nothing.
// User-interface thread only.

#include "serial/serial_types.h"

#include <array>
#include <string>
#include <vector>

namespace qv {

class AcquisitionController;
class CSerialComm;
class FrontEnd;
class MeasurementLog;
class QV53SetupDlg;
class SettingsStore;

// What the setup dialog shows and edits. Before the run it holds the live values and the
// port list; after OK, what the user accepted.
struct SetupValues {
    std::vector<std::string> portNames; // "COM%d", ascending
    int interval = 1;                   // seconds
    std::string fileName;
    int append = 1;           // the check state: 0, 1 (2 shows as undecided)
    std::string selectedPort; // before the run: the entry to preselect
};

// The live state the command reads and changes; all owned by the main window.
struct SetupTargets {
    CSerialComm& channel;
    AcquisitionController& controller; // live port and interval
    MeasurementLog& log;               // live file name
    SettingsStore& settings;
    int& append; // the live "Append" value as loaded (any int; non-zero is on)
};

// Runs the command: fills `dialog`'s values, lists the ports from `probed` (entry i for
// port i + 1) as the channel stands now, has the front end run `dialog` and, only after
// kIdOk, applies what changed.
void runSetup(SetupTargets& targets, FrontEnd& frontEnd, QV53SetupDlg& dialog,
              const std::array<ProbeResult, kPortCount>& probed);

} // namespace qv
