#include "settings/publish_settings.h"

#include "settings/secret.h"
#include "settings/settings_store.h"

namespace qv {

PublishSettings loadPublishSettings(const SettingsStore& store) {
    const PublishSettings defaults;
    PublishSettings s;
    s.enabled = store.GetProfileInt(nullptr, kMqttEnabledEntry, defaults.enabled) != 0;
    s.broker = store.GetProfileString(nullptr, kMqttBrokerEntry, defaults.broker);
    s.user = store.GetProfileString(nullptr, kMqttUserEntry, defaults.user);
    s.password =
        unprotectSecret(store.GetProfileString(nullptr, kMqttPasswordEntry, {})).value_or("");
    s.topicPrefix = store.GetProfileString(nullptr, kMqttTopicEntry, defaults.topicPrefix);
    s.discovery = store.GetProfileInt(nullptr, kMqttDiscoveryEntry, kMqttDiscoveryDefault) != 0;
    return s;
}

bool savePublishSettings(SettingsStore& store, const PublishSettings& settings) {
    const auto password = protectSecret(settings.password);
    bool ok = password && store.WriteProfileString(nullptr, kMqttPasswordEntry, *password);
    ok = store.WriteProfileString(nullptr, kMqttBrokerEntry, settings.broker) && ok;
    ok = store.WriteProfileString(nullptr, kMqttUserEntry, settings.user) && ok;
    ok = store.WriteProfileString(nullptr, kMqttTopicEntry, settings.topicPrefix) && ok;
    ok = store.WriteProfileInt(nullptr, kMqttDiscoveryEntry, settings.discovery ? 1 : 0) && ok;
    ok = store.WriteProfileInt(nullptr, kMqttEnabledEntry, settings.enabled ? 1 : 0) && ok;
    return ok;
}

} // namespace qv
