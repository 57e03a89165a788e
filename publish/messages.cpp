#include "publish/messages.h"

#include "publish/topics.h"

#include <charconv>
#include <cstdio>

namespace qv::publish {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long daysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

// One decimal, as "%.1f" in the "C" locale whatever the user's locale.
std::string decimal(float value) {
    char digits[64];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                                   std::chars_format::fixed, 1)
                         .ptr;
    return std::string(digits, end);
}

struct Quantity {
    const char* name;
    const char* title;
    const char* unit;
};
constexpr Quantity kQuantities[] = {
    {"humidity", "Humidity", "%"},
    {"temperature", "Temperature",
     "\xC2\xB0"
     "C"},
};

} // namespace

long utcOffsetSeconds(const std::tm& local, std::time_t when) {
    const long long asIfUtc =
        daysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) *
            86400 +
        local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    return static_cast<long>(asIfUtc - static_cast<long long>(when));
}

std::string localTimeWithOffset(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr)
        return {};
    const long offset = utcOffsetSeconds(local, when);
    const long magnitude = (offset < 0 ? -offset : offset) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

Message stateMessage(std::string_view prefix, const trend::TimedReading& reading) {
    const std::string payload =
        "{\"time\":" + jsonString(localTimeWithOffset(static_cast<std::time_t>(reading.time))) +
        ",\"humidity\":" + decimal(reading.humidity) +
        ",\"temperature\":" + decimal(reading.temperature) + "}";
    return {stateTopic(prefix), payload, false};
}

Message availabilityMessage(std::string_view prefix, bool online) {
    return {availabilityTopic(prefix), online ? kOnline : kOffline, true};
}

std::vector<Message> discoveryMessages(std::string_view prefix) {
    const std::string id = sensorId(prefix);
    const std::string device = "{\"identifiers\":[" + jsonString(id) +
                               "],\"name\":\"Tavrin QV-5300\",\"manufacturer\":\"Tavrin\","
                               "\"model\":\"QV-5300\"}";
    std::vector<Message> messages;
    for (const Quantity& q : kQuantities) {
        const std::string payload =
            std::string("{\"name\":\"") + q.title +
            "\",\"unique_id\":" + jsonString(id + "_" + q.name) +
            ",\"state_topic\":" + jsonString(stateTopic(prefix)) +
            ",\"value_template\":\"{{ value_json." + q.name + " }}\",\"device_class\":\"" + q.name +
            "\",\"unit_of_measurement\":\"" + q.unit +
            "\",\"state_class\":\"measurement\",\"availability_topic\":" +
            jsonString(availabilityTopic(prefix)) + ",\"payload_available\":\"" + kOnline +
            "\",\"payload_not_available\":\"" + kOffline + "\",\"device\":" + device + "}";
        messages.push_back({discoveryTopic(prefix, q.name), payload, true});
    }
    return messages;
}

} // namespace qv::publish
