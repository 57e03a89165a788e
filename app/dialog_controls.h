#pragma once

// The control-access seam: how the toolkit-free dialog logic reads and writes the controls
// of a dialog that a front end has built from its template. Each front end implements it
// once per open dialog; the logic never sees a widget or a window handle. Control ids are
// those of the templates, in qv::ctl: the main window's in window/window_services.h, the
// setup and trend windows' in app/res/dialog_templates.h. User-interface thread only.

#include <string>

namespace qv {

// Check states as the check box shows them.
inline constexpr int kUnchecked = 0;
inline constexpr int kChecked = 1;
inline constexpr int kIndeterminate = 2;

class DialogControls {
public:
    virtual ~DialogControls() = default;

    // Text of an edit, static or button control, UTF-8; empty for an unknown id.
    virtual std::string text(int id) const = 0;
    virtual void setText(int id, const std::string& text) = 0;
    // An edit's cue: shown greyed while the edit is empty, never part of its text().
    virtual void setCueText(int id, const std::string& text) = 0;

    // kUnchecked, kChecked or kIndeterminate. Setting kIndeterminate shows the undecided
    // state until the user's first click; clicks give checked or unchecked only.
    virtual int checkState(int id) const = 0;
    virtual void setCheckState(int id, int state) = 0;

    // The entries of a drop-down list, in the order added (the list is not sorted).
    virtual void clearList(int id) = 0;
    virtual void addListItem(int id, const std::string& text) = 0;
    // Index of the selected entry; -1: none (the field shows empty).
    virtual int listSelection(int id) const = 0;
    virtual void setListSelection(int id, int index) = 0;
    // Text of entry `index`; empty when out of range.
    virtual std::string listItemText(int id, int index) const = 0;

    // Keyboard focus to the control; `selectAllText` selects the whole text of an edit.
    virtual void focus(int id, bool selectAllText) = 0;
    virtual void enable(int id, bool enabled) = 0;
    // Shows or hides the control (hidden, it takes no input and no tab stop).
    virtual void show(int id, bool shown) = 0;
    // A progress bar's share filled, 0 to 100.
    virtual void setProgress(int id, int percent) = 0;
};

} // namespace qv
