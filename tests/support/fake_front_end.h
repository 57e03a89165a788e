#pragma once

// A front end without windows. The setup dialog "runs" over FakeDialogControls: the logic
// fills them, the test's `editSetup` plays the user, then the dialog ends with
// `setupEndsWith`; an OK that the logic refuses ends it with kIdCancel, as a user would
// after the message. The save-file dialog answers `browseAnswer`. Test thread only.

#include "app/front_end.h"
#include "app/services/window_services.h"
#include "app/setup_dialog.h"
#include "tests/support/fake_dialog_controls.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::test {

class FakeFrontEnd : public FrontEnd {
public:
    std::function<void(QV53SetupDlg&, FakeDialogControls&)> editSetup;
    int setupEndsWith = kIdOk;
    std::optional<std::string> browseAnswer;

    FakeDialogControls shown; // the setup dialog's controls as its initialisation left them
    bool okRefused = false;   // the last setup dialog's OK kept it open
    bool waitCursor = false;  // on now
    bool waitCursorWhileShown = false;
    int aboutRuns = 0;
    std::vector<std::pair<std::string, std::string>> browses; // (extension, initial name)

    int runSetupDialog(QV53SetupDlg& dialog) override {
        FakeDialogControls controls;
        dialog.OnInitDialog(controls);
        shown = controls;
        waitCursorWhileShown = waitCursor;
        if (editSetup)
            editSetup(dialog, controls);
        okRefused = setupEndsWith == kIdOk && !dialog.OnOK(controls);
        return okRefused ? kIdCancel : setupEndsWith;
    }
    int runAboutBox() override {
        ++aboutRuns;
        return kIdOk;
    }
    void setWaitCursor(bool on) override { waitCursor = on; }
    std::optional<std::string> browseForSave(const std::string& extension,
                                             const std::string& initialName) override {
        browses.emplace_back(extension, initialName);
        return browseAnswer;
    }
};

} // namespace qv::test
