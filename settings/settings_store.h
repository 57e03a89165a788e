#pragma once

// The per-user settings store: the four values "ComPort", "LogInterval", "LogFileName"
// and "Append", and beside them "AutoReconnect", "WindowLeft" and "WindowTop", kept under
// the company key and the application name. One backend per platform, chosen by CMake: the registry
// under HKEY_CURRENT_USER\Software on Windows (settings_store_win32.cpp), an INI file in the user's
// configuration folder elsewhere (settings_store_posix.cpp, settings/ini_file.h). Every read goes
// to storage and every write reaches it at once, so two copies of the program run by the same user
// share the values, the last writer winning. Text is UTF-8. User-interface thread only.

#include "window/screen_geometry.h"

#include <optional>
#include <string>

namespace qv {

// The company key under which every copy of the program keeps its values.
inline constexpr char kCompanyKey[] = "Tavrin QV-5300";
// The application name of the installed program (its file name, QV-5300 or QV-5300.exe):
// the program without a display, whatever its own file is called, keeps its values here too.
inline constexpr char kApplicationName[] = "QV-5300";

// The names of the four values.
inline constexpr char kComPortEntry[] = "ComPort";
inline constexpr char kLogIntervalEntry[] = "LogInterval";
inline constexpr char kLogFileNameEntry[] = "LogFileName";
inline constexpr char kAppendEntry[] = "Append";
// A number beside them: non-zero, a lost port is waited for and reopened; 0, the default,
// a lost port is reported in a box.
inline constexpr char kAutoReconnectEntry[] = "AutoReconnect";
// Two numbers beside them: where the user left the main window, its outer top-left corner
// in desktop pixels; written when the window ends. Either missing: never stored.
inline constexpr char kWindowLeftEntry[] = "WindowLeft";
inline constexpr char kWindowTopEntry[] = "WindowTop";

class SettingsStore {
public:
    // `applicationName`: see applicationNameFromProgramPath.
    explicit SettingsStore(std::string applicationName);

    // Fixes the company key; called once before the first read.
    void SetRegistryKey(const std::string& company);

    // A section is never given by this program: values sit directly in the application's
    // key. A missing value, a value of another type or a store that cannot be opened
    // yields `defaultValue`.
    int GetProfileInt(const char* section, const char* entry, int defaultValue) const;
    std::string GetProfileString(const char* section, const char* entry,
                                 const std::string& defaultValue) const;
    // True when the value reached storage.
    bool WriteProfileInt(const char* section, const char* entry, int value);
    bool WriteProfileString(const char* section, const char* entry, const std::string& value);

    const std::string& applicationName() const { return application_; }
    const std::string& company() const { return company_; }

private:
    std::string application_;
    std::string company_;
};

// The default log file: tavrin.log in the user's Documents folder on Windows (see
// settings/default_log_file.h), ~/tavrin.log (absolute) elsewhere. A stored "LogFileName"
// is used exactly as stored, whatever this gives.
std::string defaultLogFileName();

// The values as the main window loads them; as constructed, the defaults that a value
// missing from the store (or of the wrong type) takes.
struct AppSettings {
    int port = 1;
    int interval = 5;
    std::string fileName = defaultLogFileName();
    int append = 1;
    int autoReconnect = 0;
};

// The application name for a program file: its name without folder; on Windows also
// without its extension (QV-5300.exe gives QV-5300). A copy under another name keeps
// values of its own.
std::string applicationNameFromProgramPath(const std::string& programPath);

AppSettings loadAppSettings(const SettingsStore& store);

// Where the user left the main window ("WindowLeft", "WindowTop"); nothing unless both are
// stored as numbers.
std::optional<ScreenPoint> loadWindowPosition(const SettingsStore& store);

} // namespace qv
