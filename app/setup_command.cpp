#include "app/setup_command.h"

#include "acquisition/acquisition_controller.h"
#include "acquisition/measurement_log.h"
#include "app/front_end.h"
#include "app/res/dialog_templates.h"
#include "app/setup_dialog.h"
#include "serial/port_list.h"
#include "serial/port_name.h"
#include "serial/serial_comm.h"
#include "settings/settings_store.h"

namespace qv {

void runSetup(SetupTargets& targets, FrontEnd& frontEnd, QV53SetupDlg& setupDialog,
              const std::array<ProbeResult, kPortCount>& probed) {
    AcquisitionController& controller = targets.controller;
    SetupValues& dialog = setupDialog.values();
    MeasurementLog& log = targets.log;

    dialog.interval = controller.interval();
    dialog.fileName = log.fileName();
    dialog.append = targets.append;
    fillPortList(probed, controller.port(), targets.channel.GetPortHandle() != kInvalidHandle,
                 dialog.portNames, dialog.selectedPort);

    const int result = frontEnd.runSetupDialog(setupDialog);
    // No selection keeps the port.
    const int port = portNumber(dialog.selectedPort).value_or(controller.port());
    if (result != kIdOk)
        return;

    // Each step on its own condition: a failed reopen does not stop the later ones.
    // The probe is only asked when the number is the same: whether the channel still
    // holds its port, or the port went and came back free.
    if (port != controller.port() || targets.channel.Probe(-1) == kProbeFree) {
        controller.reopen(port);
        targets.settings.WriteProfileInt(nullptr, kComPortEntry, controller.port());
    }
    if (dialog.interval != controller.interval()) {
        targets.settings.WriteProfileInt(nullptr, kLogIntervalEntry, dialog.interval);
        controller.changeInterval(dialog.interval);
    }
    // Exact comparison: a change of letter case alone names another file for the user.
    if (dialog.fileName != log.fileName()) {
        log.setFileName(dialog.fileName);
        targets.settings.WriteProfileString(nullptr, kLogFileNameEntry, dialog.fileName);
        log.stopForNewFile();
    }
    if (dialog.append != targets.append) {
        targets.append = dialog.append;
        log.setAppend(targets.append != 0);
        targets.settings.WriteProfileInt(nullptr, kAppendEntry, targets.append);
    }
}

} // namespace qv
