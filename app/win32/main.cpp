// QV-5300 for Windows: the program is its one main window.

#include "acquisition/clock.h"
#include "app/command_line.h"
#include "app/win32/win32_main_window.h"
#include "serial/serial_platform.h"
#include "settings/settings_store.h"
#include "text/win32_text.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

// The arguments after the program's own name, UTF-8, split as the C runtime splits them.
std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.push_back(qv::win32::utf8(argv[i]));
        LocalFree(argv);
    }
    return arguments;
}

} // namespace

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    // The program file's own name, whatever name it was started under: the caption of
    // every message box and the last element of the settings key.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::string application = qv::applicationNameFromProgramPath(qv::win32::utf8(path));

    qv::SettingsStore settings(application);
    settings.SetRegistryKey(qv::kCompanyKey);
    const auto platform = qv::makePlatformSerial({});
    const qv::SystemClock clock;
    qv::win32::Win32MainWindow window(module, application, settings, *platform, clock);
    window.setStartLogging(
        qv::parseCommandLine(commandLineArguments(), qv::OptionStyle::Windows).startLogging);
    window.run();
    return 0;
}
