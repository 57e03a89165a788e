#include "settings/settings_store.h"

#include <climits>
#include <utility>

namespace qv {

SettingsStore::SettingsStore(std::string applicationName)
    : application_(std::move(applicationName)) {}

void SettingsStore::SetRegistryKey(const std::string& company) {
    company_ = company;
}

AppSettings loadAppSettings(const SettingsStore& store) {
    const AppSettings defaults;
    AppSettings s;
    s.port = store.GetProfileInt(nullptr, kComPortEntry, defaults.port);
    s.interval = store.GetProfileInt(nullptr, kLogIntervalEntry, defaults.interval);
    s.fileName = store.GetProfileString(nullptr, kLogFileNameEntry, defaults.fileName);
    s.append = store.GetProfileInt(nullptr, kAppendEntry, defaults.append);
    s.autoReconnect = store.GetProfileInt(nullptr, kAutoReconnectEntry, defaults.autoReconnect);
    return s;
}

std::optional<ScreenPoint> loadWindowPosition(const SettingsStore& store) {
    // INT_MIN stands for a missing value: no desktop reaches that far.
    const int left = store.GetProfileInt(nullptr, kWindowLeftEntry, INT_MIN);
    const int top = store.GetProfileInt(nullptr, kWindowTopEntry, INT_MIN);
    if (left == INT_MIN || top == INT_MIN)
        return std::nullopt;
    return ScreenPoint{left, top};
}

} // namespace qv
