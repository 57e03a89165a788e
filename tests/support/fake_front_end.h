#pragma once

// A front end without windows. The setup dialog "runs" over FakeDialogControls: the logic
// fills them, the test's `editSetup` plays the user, then the dialog ends with
// `setupEndsWith`; an OK that the logic refuses ends it with kIdCancel, as a user would
// after the message. The publish dialog runs the same way. The save-file dialog answers
// `browseAnswer`, the open-file dialog `openAnswer`. The trend window "opens" over
// `trendControls`; a saved image is painted onto `imagePainter`. Test thread only.

#include "app/front_end.h"
#include "app/publish_dialog.h"
#include "app/res/dialog_templates.h"
#include "app/setup_dialog.h"
#include "app/trend_window.h"
#include "tests/support/fake_dialog_controls.h"
#include "tests/support/recording_painter.h"

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

    // The publish dialog, as the setup dialog above: `editPublish` plays the user.
    std::function<void(FakeDialogControls&)> editPublish;
    int publishEndsWith = kIdOk;
    FakeDialogControls publishShown; // as its initialisation left them
    int publishRuns = 0;
    std::vector<std::pair<std::string, std::string>> browses; // (extension, initial name)

    std::optional<std::string> openAnswer;
    std::vector<std::pair<std::string, std::string>> opens; // (extension, filter text)
    FakeDialogControls trendControls;
    TrendWindow* trendShown = nullptr; // the open trend window
    int trendInvalidations = 0;
    bool saveSucceeds = true;
    std::vector<std::string> savedImages; // "path WxH"
    RecordingPainter imagePainter;        // what the last saved image showed

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
    int runPublishDialog(PublishDialog& dialog) override {
        ++publishRuns;
        FakeDialogControls controls;
        dialog.OnInitDialog(controls);
        publishShown = controls;
        if (editPublish)
            editPublish(controls);
        const bool refused = publishEndsWith == kIdOk && !dialog.OnOK(controls);
        return refused ? kIdCancel : publishEndsWith;
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
    void showTrendWindow(TrendWindow& window) override {
        if (trendShown)
            return;
        trendShown = &window;
        window.OnInitDialog(trendControls);
    }
    void invalidateTrend() override {
        if (trendShown)
            ++trendInvalidations;
    }
    std::optional<std::string> browseForOpen(const std::string& extension,
                                             const std::string& filterText) override {
        opens.emplace_back(extension, filterText);
        return openAnswer;
    }
    bool saveImage(const std::string& path, int width, int height,
                   const std::function<void(trend::Painter&)>& paint) override {
        paint(imagePainter);
        savedImages.push_back(path + " " + std::to_string(width) + "x" + std::to_string(height));
        return saveSucceeds;
    }
};

} // namespace qv::test
