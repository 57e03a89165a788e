#include "publish/topics.h"

#include <cctype>

namespace qv::publish {

std::string defaultTopicPrefix(std::string_view hostName, int port) {
    return "qv5300/" + topicLevel(hostName) + "/com" + std::to_string(port);
}

std::string localTopicPrefix(int port) {
    return defaultTopicPrefix(localHostName(), port);
}

std::string topicLevel(std::string_view text) {
    if (text.empty())
        return "unknown";
    std::string level(text);
    for (char& c : level)
        if (c == '+' || c == '#' || c == '/' || c == '\0')
            c = '_';
    return level;
}

std::string topicPrefixError(std::string_view prefix) {
    if (prefix.empty())
        return "no topic prefix";
    if (prefix.find_first_of("+#") != std::string_view::npos)
        return "a topic prefix cannot hold + or #";
    if (prefix.find('\0') != std::string_view::npos)
        return "a topic prefix cannot hold a NUL character";
    if (prefix.back() == '/')
        return "a topic prefix does not end with /";
    return {};
}

std::string stateTopic(std::string_view prefix) {
    return std::string(prefix) + "/state";
}

std::string availabilityTopic(std::string_view prefix) {
    return std::string(prefix) + "/availability";
}

std::string sensorId(std::string_view prefix) {
    std::string id(prefix);
    for (char& c : id)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-')
            c = '_';
    return id;
}

std::string discoveryTopic(std::string_view prefix, std::string_view quantity) {
    return "homeassistant/sensor/" + sensorId(prefix) + "/" + std::string(quantity) + "/config";
}

} // namespace qv::publish
