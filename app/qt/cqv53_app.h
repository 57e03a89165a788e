#pragma once

// The application object: names the settings store, runs the main window as a modal
// dialog and returns when it ends; the program ends with it. Nothing is saved at the end.
// Needs a QApplication whose application name is the program file's name.

#include "app/command_line.h"
#include "settings/settings_store.h"

#include <string>

namespace qv::qt {

class CQV53App {
public:
    explicit CQV53App(qv::StartOptions options = {});

    // The whole life of the program: returns once the main window has closed and its
    // state (log file, serial channel) has been released. The exit code of the process.
    int run();

private:
    std::string registryKey_; // the company key of the settings store
    qv::SettingsStore settings_;
    qv::StartOptions options_;
};

} // namespace qv::qt
