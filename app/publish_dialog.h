#pragma once

// The publish dialog's logic (template 131), free of any toolkit: broker address, user
// name, password, topic prefix, Home Assistant discovery, publishing on or off, and the
// publisher's state in words. It only shows, checks and hands back values; the main window
// (CQV53Dlg::OnSysCommand) fills values(), has the front end run it
// (FrontEnd::runPublishDialog), then stores and applies what OK took. One object per
// opening; user-interface thread only.

#include "settings/publish_settings.h"

#include <string>

namespace qv {

class DialogControls;
class WindowServices;

class PublishDialog {
public:
    struct Values {
        PublishSettings settings;
        std::string defaultTopicPrefix; // what an empty prefix stands for
        std::string status;             // the publisher's state; empty: not publishing
    };

    // `window` shows the refusals; it must outlive the object.
    explicit PublishDialog(WindowServices& window);

    Values& values() { return values_; }
    const Values& values() const { return values_; }

    // Values to controls, once, when the controls exist: the four texts, the default
    // prefix as the prefix field's cue, the two check boxes, the status ("not publishing"
    // for an empty one).
    void OnInitDialog(DialogControls& controls);

    // OK: the controls checked in the order broker, topic prefix. The first refusal stops
    // it with a box through the window services and the focus on its field, text
    // selected: a broker address that does not parse (non-empty, or needed because
    // publishing is on), a non-empty prefix that topics cannot start with. values()
    // keeps what it had then. True when values().settings holds the controls' values and
    // the dialog may end.
    bool OnOK(DialogControls& controls);

private:
    void refuse(DialogControls& controls, int id, const std::string& message);

    WindowServices& window_;
    Values values_;
};

} // namespace qv
