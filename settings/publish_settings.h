#pragma once

// Publishing's stored values, kept beside the logger's own in the same store: numbers
// ("MqttEnabled", "MqttDiscovery": non-zero is on) and texts. The password is stored
// protected (settings/secret.h): encrypted with the user's key on Windows; elsewhere as
// text in the settings file, which is then readable by its owner only (mode 0600).

#include <string>

namespace qv {

class SettingsStore;

inline constexpr char kMqttEnabledEntry[] = "MqttEnabled";
inline constexpr char kMqttBrokerEntry[] = "MqttBroker";
inline constexpr char kMqttUserEntry[] = "MqttUser";
inline constexpr char kMqttPasswordEntry[] = "MqttPassword";
inline constexpr char kMqttTopicEntry[] = "MqttTopic";
inline constexpr char kMqttDiscoveryEntry[] = "MqttDiscovery";
inline constexpr int kMqttDiscoveryDefault = 1;

struct PublishSettings {
    bool enabled = false;
    std::string broker;                          // "mqtt://host[:port]" or "mqtts://host[:port]"
    std::string user;                            // empty: connect without a user name
    std::string password;                        // used only with a user name
    std::string topicPrefix;                     // empty: the default prefix of the port
    bool discovery = kMqttDiscoveryDefault != 0; // Home Assistant's config messages

    bool operator==(const PublishSettings&) const = default;
};

// Missing values (or values of the wrong type) take the defaults above; a password that
// cannot be decrypted (stored by another user, damaged) is empty.
PublishSettings loadPublishSettings(const SettingsStore& store);

// Writes all six; true when every one reached the store.
bool savePublishSettings(SettingsStore& store, const PublishSettings& settings);

} // namespace qv
