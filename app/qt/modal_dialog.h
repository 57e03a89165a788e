#pragma once

// A dialog of the Qt front end that runs its own modal loop (QtWindowServices::runModal).
// User-interface thread only.

namespace qv::qt {

class ModalDialog {
public:
    virtual ~ModalDialog() = default;
    // Runs the dialog's own modal loop; returns kIdOk or kIdCancel.
    virtual int execModal() = 0;
};

} // namespace qv::qt
