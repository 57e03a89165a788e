#pragma once

// The control-access seam over a dialog built by buildDialog(): controls found by their
// id property, edits and labels as text (an edit's cue as its placeholder), check boxes
// with their three states, drop-down lists as combo boxes. A call naming a control of
// another kind, or none, does nothing (or gives empty text, 0, -1). User-interface thread
// only.

#include "app/dialog_controls.h"

class QWidget;

namespace qv::qt {

class QtDialogControls : public DialogControls {
public:
    // `dialog` must outlive the object.
    explicit QtDialogControls(QWidget& dialog) : dialog_(dialog) {}

    std::string text(int id) const override;
    void setText(int id, const std::string& text) override;
    void setCueText(int id, const std::string& text) override;
    int checkState(int id) const override;
    void setCheckState(int id, int state) override;
    void clearList(int id) override;
    void addListItem(int id, const std::string& text) override;
    int listSelection(int id) const override;
    void setListSelection(int id, int index) override;
    std::string listItemText(int id, int index) const override;
    void focus(int id, bool selectAllText) override;
    void enable(int id, bool enabled) override;
    void show(int id, bool shown) override;
    void setProgress(int id, int percent) override;

private:
    QWidget& dialog_;
};

} // namespace qv::qt
