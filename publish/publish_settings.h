#pragma once

// What the publisher needs to know, and the names under which the settings store keeps
// it, beside the logger's own values. Loading and saving belong to the settings layer;
// this is only the shape and the names.

#include <string>

namespace qv::publish {

// The stored values: numbers ("MqttEnabled", "MqttDiscovery": non-zero is on) and texts.
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
    std::string topicPrefix;                     // empty: defaultTopicPrefix() of the port
    bool discovery = kMqttDiscoveryDefault != 0; // Home Assistant's config messages
};

} // namespace qv::publish
