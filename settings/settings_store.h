#pragma once

// The per-user settings store: the four values "ComPort", "LogInterval",
// "LogFileName" and "Append", kept with QSettings in its native format under the
// company key and the application name (~/.config/<company>/<application>.conf on
// Linux). Every read goes to storage and every write reaches it at once, so two
// programs of the same user share the values, the last writer winning.
// User-interface thread only.

#include <QString>

namespace qv {

// The company key under which every copy of the program keeps its values.
inline constexpr char kCompanyKey[] = "Tavrin QV-5300";

// The names of the four values.
inline constexpr char kComPortEntry[] = "ComPort";
inline constexpr char kLogIntervalEntry[] = "LogInterval";
inline constexpr char kLogFileNameEntry[] = "LogFileName";
inline constexpr char kAppendEntry[] = "Append";

class SettingsStore {
public:
    // `applicationName` is the program file's name without folder and extension.
    explicit SettingsStore(QString applicationName);

    // Fixes the company key; called once before the first read.
    void SetRegistryKey(const QString& company);

    // A section is never given by this program: values sit at the top level. A missing
    // value, a value of the wrong type or an unreadable store yields `defaultValue`.
    int GetProfileInt(const char* section, const char* entry, int defaultValue) const;
    QString GetProfileString(const char* section, const char* entry,
                             const QString& defaultValue) const;
    // True when the value reached storage.
    bool WriteProfileInt(const char* section, const char* entry, int value);
    bool WriteProfileString(const char* section, const char* entry, const QString& value);

    // The settings file (Linux), and the port folder beside it.
    QString fileName() const;
    QString portsDir() const;

private:
    QString application_;
    QString company_;
};

// The four values as the main window loads them.
struct AppSettings {
    int port = 1;
    int interval = 5;
    QString fileName;
    int append = 1;
};

// The application name for a program file: its name without folder and (last)
// extension, so that a copy under another name keeps values of its own.
QString applicationNameFromProgramPath(const QString& programPath);

// The default log file: "c:\tavrin.log" on Windows, ~/tavrin.log (absolute) elsewhere.
QString defaultLogFileName();
AppSettings loadAppSettings(const SettingsStore& store);

} // namespace qv
