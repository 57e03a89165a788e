#pragma once

// The control-access seam over plain values: what the logic wrote is read back by the
// test, what the test set is what the logic reads. Unknown ids read as empty, unchecked,
// no selection. Test thread only.

#include "app/dialog_controls.h"

#include <map>
#include <string>
#include <vector>

namespace qv::test {

class FakeDialogControls : public DialogControls {
public:
    struct List {
        std::vector<std::string> items;
        int selection = -1;
    };

    std::map<int, std::string> texts;
    std::map<int, std::string> cues;
    std::map<int, int> checks;
    std::map<int, List> lists;
    std::map<int, bool> enabled;
    std::map<int, bool> visible; // as last shown or hidden; unknown ids are visible
    std::map<int, int> progress;
    int focused = 0; // the control last given the focus; 0: none
    bool focusSelectedAll = false;

    std::string text(int id) const override { return texts.count(id) ? texts.at(id) : ""; }
    void setText(int id, const std::string& text) override { texts[id] = text; }
    void setCueText(int id, const std::string& text) override { cues[id] = text; }
    int checkState(int id) const override { return checks.count(id) ? checks.at(id) : 0; }
    void setCheckState(int id, int state) override { checks[id] = state; }
    void clearList(int id) override { lists[id] = {}; }
    void addListItem(int id, const std::string& text) override { lists[id].items.push_back(text); }
    int listSelection(int id) const override {
        return lists.count(id) ? lists.at(id).selection : -1;
    }
    void setListSelection(int id, int index) override { lists[id].selection = index; }
    std::string listItemText(int id, int index) const override {
        if (!lists.count(id) || index < 0 || index >= static_cast<int>(lists.at(id).items.size()))
            return {};
        return lists.at(id).items[static_cast<std::size_t>(index)];
    }
    void focus(int id, bool selectAllText) override {
        focused = id;
        focusSelectedAll = selectAllText;
    }
    void enable(int id, bool on) override { enabled[id] = on; }
    void show(int id, bool on) override { visible[id] = on; }
    void setProgress(int id, int percent) override { progress[id] = percent; }

    // The text of the selected entry of list `id`; empty when none.
    std::string selectedItem(int id) const { return listItemText(id, listSelection(id)); }
};

} // namespace qv::test
