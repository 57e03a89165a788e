#include "settings/settings_store.h"

namespace qv {

AppSettings loadAppSettings(const SettingsStore& store) {
    AppSettings s;
    s.port = store.GetProfileInt(nullptr, kComPortEntry, 1);
    s.interval = store.GetProfileInt(nullptr, kLogIntervalEntry, 5);
    s.fileName = store.GetProfileString(nullptr, kLogFileNameEntry, defaultLogFileName());
    s.append = store.GetProfileInt(nullptr, kAppendEntry, 1);
    s.autoReconnect = store.GetProfileInt(nullptr, kAutoReconnectEntry, 0);
    return s;
}

} // namespace qv
