#pragma once

// Modal dialogs from the app/res templates, and the control-access seam over their
// controls. A dialog's behaviour is a DialogHandler; the procedure here builds nothing of
// its own: Windows lays the template out, the handler is called for initialisation and
// commands. A template with a sizing frame gives the smallest size the dialog can be
// dragged to, as in the Qt front end. User-interface thread only.

#include "app/dialog_controls.h"
#include "app/res/dialog_templates.h"

#include <windows.h>

#include <functional>

namespace qv::win32 {

// The controls of one dialog window, by control id.
class Win32DialogControls : public DialogControls {
public:
    explicit Win32DialogControls(HWND dialog) : dialog_(dialog) {}

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

    // After a click on a check box that shows the undecided state: checked, and from then
    // on an ordinary check box (checked or unchecked).
    void settleCheckBox(int id);

private:
    HWND dialog_;
};

class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    // WM_INITDIALOG: the controls exist; the focus then goes to the first tab stop.
    virtual void onInit(HWND dialog) = 0;
    // A command (button click, Enter = kIdOk, Escape and the close box = kIdCancel). True
    // ends the dialog with `id` as its result.
    virtual bool onCommand(HWND dialog, int id, int notification) = 0;
    // Any other message. True: handled, and `result` is what the dialog procedure returns
    // (TRUE, or the value itself for the messages that return one directly, such as
    // WM_QUERYDRAGICON). False: the dialog manager's default handling.
    virtual bool onMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                           INT_PTR& result) {
        (void)dialog, (void)message, (void)wParam, (void)lParam, (void)result;
        return false;
    }
};

// Builds `dialogTemplate` in memory and creates it non-modal, owned by `owner`, hidden
// unless the template says visible. Commands reach the handler; one that it answers with
// true destroys the window. Null when it could not be created. Its keyboard messages reach
// IsDialogMessageW through routeDialogMessages.
HWND createTemplateDialog(HINSTANCE module, HWND owner, const res::DialogTemplate& dialogTemplate,
                          DialogHandler& handler);

// Routes the messages of a non-modal dialog of this thread through IsDialogMessageW (Tab,
// Enter, Escape, mnemonics). The program's message loops are all modal ones of Windows
// (the main window's, message boxes', the file dialogs'), which pass each message they
// take to the thread's message filter (WH_MSGFILTER) first; the route is such a filter
// while it exists. `preview` sees a message to the dialog or any of its controls before
// the dialog manager and takes it by returning true. One route per thread at a time.
class DialogMessageRoute {
public:
    DialogMessageRoute(HWND dialog, std::function<bool(const MSG&)> preview);
    ~DialogMessageRoute();
    DialogMessageRoute(const DialogMessageRoute&) = delete;
    DialogMessageRoute& operator=(const DialogMessageRoute&) = delete;

private:
    static LRESULT CALLBACK filter(int code, WPARAM wParam, LPARAM lParam);

    HWND dialog_;
    std::function<bool(const MSG&)> preview_;
    HHOOK hook_;
    bool inside_ = false; // IsDialogMessageW calls the filter again
};

// Builds `dialogTemplate` in memory and runs it modally over `owner`, resources (icons)
// from `module`. Returns the id that ended it; kIdCancel when it could not be created.
// While it runs (from before its handler's onInit) it is the thread's topModalDialog.
int runTemplateDialog(HINSTANCE module, HWND owner, const res::DialogTemplate& dialogTemplate,
                      DialogHandler& handler);

// The last opened of the thread's modal dialogs run by runTemplateDialog that are still
// open (the main window, the setup dialog over it, ...); null when none is. Message boxes
// and file dialogs are not counted: none is opened over them.
HWND topModalDialog();

} // namespace qv::win32
