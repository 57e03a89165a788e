#pragma once

// The MQTT messages of one sensor, as topic, payload and retain flag; every message goes
// with QoS 1. The reading: JSON on <prefix>/state, e.g.
//   {"time":"2026-12-09T10:15:02+01:00","humidity":45.3,"temperature":23.1}
// with the local time and its offset, and the values as the sensor sent them, one
// decimal. Availability: "online" / "offline" on <prefix>/availability, retained (the
// "offline" one is also the broker's last will). Home Assistant discovery: one retained
// config per quantity, both naming the same device "Tavrin QV-5300".

#include "trend/timed_reading.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace qv::publish {

inline constexpr int kQos = 1;
inline constexpr char kOnline[] = "online";
inline constexpr char kOffline[] = "offline";

struct Message {
    std::string topic;
    std::string payload;
    bool retain = false;
};

// "YYYY-MM-DDThh:mm:ss+hh:mm" in the process's local time zone (the offset in force at
// `when`); "Z" is never used, UTC gives "+00:00". Empty when local time cannot be had.
std::string localTimeWithOffset(std::time_t when);

// The seconds east of UTC that the local broken-down time `local` of `when` shows.
long utcOffsetSeconds(const std::tm& local, std::time_t when);

Message stateMessage(std::string_view prefix, const trend::TimedReading& reading);
Message availabilityMessage(std::string_view prefix, bool online);
// The humidity and the temperature config, in that order.
std::vector<Message> discoveryMessages(std::string_view prefix);

// `text` as a JSON string, quotes included.
std::string jsonString(std::string_view text);

} // namespace qv::publish
