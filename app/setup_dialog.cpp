#include "app/setup_dialog.h"

#include "app/dialog_controls.h"
#include "app/front_end.h"
#include "app/interval_scan.h"
#include "app/res/dialog_templates.h"
#include "settings/default_log_file.h"
#include "text/substitute.h"
#include "text/texts.h"
#include "window/window_services.h"

namespace qv {
namespace {

constexpr char kLogExtension[] = "log";

// The framework's own validation message (its string 0xF112), with the range filled in.
std::string outOfRangeMessage() {
    return substitute(text::kIntegerOutOfRange, {std::to_string(QV53SetupDlg::kMinInterval),
                                                 std::to_string(QV53SetupDlg::kMaxInterval)});
}

} // namespace

QV53SetupDlg::QV53SetupDlg(WindowServices& window, FrontEnd& frontEnd)
    : window_(window), frontEnd_(frontEnd) {}

void QV53SetupDlg::OnInitDialog(DialogControls& controls) {
    controls.setText(ctl::kInterval, std::to_string(values_.interval));
    controls.setText(ctl::kFileName, values_.fileName);
    if (values_.append < kUnchecked || values_.append > kIndeterminate)
        values_.append = kUnchecked;
    controls.setCheckState(ctl::kAppend, values_.append);

    controls.clearList(ctl::kPortList);
    int selected = -1;
    for (std::size_t i = 0; i < values_.portNames.size(); ++i) {
        controls.addListItem(ctl::kPortList, values_.portNames[i]);
        if (values_.portNames[i] == values_.selectedPort)
            selected = static_cast<int>(i);
    }
    // Set even when nothing matches: a list may select its first entry by itself.
    controls.setListSelection(ctl::kPortList, selected);
}

bool QV53SetupDlg::OnOK(DialogControls& controls) {
    const auto interval = scanIntervalText(controls.text(ctl::kInterval));
    if (!interval) {
        refuseInterval(controls, text::kNotAnInteger);
        return false;
    }
    if (*interval < kMinInterval || *interval > kMaxInterval) {
        refuseInterval(controls, outOfRangeMessage());
        return false;
    }
    values_.interval = *interval;
    values_.fileName = controls.text(ctl::kFileName);
    // The framework's exchange of a check box knows checked and unchecked only; an
    // untouched undecided box keeps the stored 2.
    const int append = controls.checkState(ctl::kAppend);
    values_.append = append == kIndeterminate ? kIndeterminate : append == kChecked ? 1 : 0;
    const int port = controls.listSelection(ctl::kPortList);
    values_.selectedPort = port < 0 ? std::string() : controls.listItemText(ctl::kPortList, port);
    return true;
}

void QV53SetupDlg::refuseInterval(DialogControls& controls, const std::string& message) {
    window_.messageBox(message, BoxIcon::Exclamation);
    controls.focus(ctl::kInterval, true);
}

void QV53SetupDlg::browseForLogFile(DialogControls& controls) {
    const auto path = frontEnd_.browseForSave(kLogExtension, kLogFileBaseName);
    if (!path)
        return;
    values_.fileName = *path;
    controls.setText(ctl::kFileName, *path);
}

} // namespace qv
