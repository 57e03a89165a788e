#pragma once

// The broker address as the user types it: "mqtt://host[:port]" (plain TCP, port 1883 by
// default) or "mqtts://host[:port]" (TLS, 8883), an IPv6 address in brackets
// ("mqtt://[::1]:1883"). Nothing else: no path, no user name in the address.

#include <string>
#include <string_view>

namespace qv::publish {

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttsPort = 8883;

struct BrokerAddress {
    std::string host; // a name or an address, IPv6 without its brackets
    int port = kMqttPort;
    bool tls = false;

    bool operator==(const BrokerAddress&) const = default;
};

struct BrokerAddressParse {
    bool ok = false;
    BrokerAddress address; // when ok
    std::string error;     // when not: what is wrong, in words for the user
};

// Spaces around the text are ignored; the scheme's case too.
BrokerAddressParse parseBrokerAddress(std::string_view text);

} // namespace qv::publish
