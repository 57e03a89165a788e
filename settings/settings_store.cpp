#include "settings/settings_store.h"

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

} // namespace qv
