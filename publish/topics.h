#pragma once

// Where the readings go: the topic prefix of one sensor, its topics, and the id that
// names it in Home Assistant.

#include <string>
#include <string_view>

namespace qv::publish {

// The prefix used when the user gives none: "qv5300/<host name>/com<port>", the host
// name made fit for one topic level (topicLevel).
std::string defaultTopicPrefix(std::string_view hostName, int port);

// The default prefix of port `port` on this machine: defaultTopicPrefix(localHostName(),
// port).
std::string localTopicPrefix(int port);

// `text` as one topic level: '+', '#', '/' and NUL (which topics cannot hold there)
// become '_'; an empty text becomes "unknown".
std::string topicLevel(std::string_view text);

// Why `prefix` cannot start this sensor's topics, in words for the user; empty when it
// can. Wildcards, NUL and an empty prefix are refused, and so is a '/' at its end.
std::string topicPrefixError(std::string_view prefix);

std::string stateTopic(std::string_view prefix);        // <prefix>/state
std::string availabilityTopic(std::string_view prefix); // <prefix>/availability

// The sensor's id for Home Assistant and the broker's client id: the prefix with every
// character but letters, digits, '_' and '-' made '_' ("qv5300/lab/com3" gives
// "qv5300_lab_com3").
std::string sensorId(std::string_view prefix);

// homeassistant/sensor/<sensorId>/<quantity>/config
std::string discoveryTopic(std::string_view prefix, std::string_view quantity);

// This machine's name as the system gives it (UTF-8); empty when it cannot be had.
std::string localHostName();

} // namespace qv::publish
