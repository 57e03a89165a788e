#include "publish/broker_address.h"

#include <algorithm>
#include <cctype>

namespace qv::publish {
namespace {

BrokerAddressParse failure(std::string error) {
    return {false, {}, std::move(error)};
}

bool startsWithNoCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           std::equal(start.begin(), start.end(), text.begin(), [](char lower, char c) {
               return std::tolower(static_cast<unsigned char>(c)) == lower;
           });
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool isIpv6Char(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

std::string_view trim(std::string_view text) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)); };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

BrokerAddressParse parseBrokerAddress(std::string_view text) {
    text = trim(text);
    if (text.empty())
        return failure("no broker address");
    BrokerAddress address;
    if (startsWithNoCase(text, "mqtt://")) {
        text.remove_prefix(7);
    } else if (startsWithNoCase(text, "mqtts://")) {
        text.remove_prefix(8);
        address.tls = true;
        address.port = kMqttsPort;
    } else {
        return failure("the address starts with mqtt:// or mqtts://");
    }
    if (text.find('@') != std::string_view::npos)
        return failure("the user name goes in its own field, not in the address");
    if (text.find('/') != std::string_view::npos)
        return failure("the address has no path: mqtt://host[:port]");

    std::string_view portText;
    bool hasPort = false;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos)
            return failure("the IPv6 address has no closing ]");
        const auto host = text.substr(1, close - 1);
        if (host.empty() || host.find(':') == std::string_view::npos ||
            !std::all_of(host.begin(), host.end(), isIpv6Char))
            return failure("not an IPv6 address in brackets: [" + std::string(host) + "]");
        address.host = host;
        const auto rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return failure("after ] comes :port or nothing");
        hasPort = !rest.empty();
        portText = hasPort ? rest.substr(1) : rest;
    } else {
        const auto colon = text.find(':');
        if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos)
            return failure("an IPv6 address goes in brackets: mqtt://[::1]:1883");
        const auto host = text.substr(0, colon);
        if (host.empty())
            return failure("no host name");
        const auto bad = std::find_if_not(host.begin(), host.end(), isNameChar);
        if (bad != host.end())
            return failure(std::string("the host name cannot hold '") + *bad + "'");
        address.host = host;
        hasPort = colon != std::string_view::npos;
        if (hasPort)
            portText = text.substr(colon + 1);
    }
    if (hasPort) {
        long port = 0;
        if (portText.empty() || portText.size() > 5 ||
            !std::all_of(portText.begin(), portText.end(),
                         [](char c) { return c >= '0' && c <= '9'; }))
            return failure("the port is a number from 1 to 65535");
        for (const char c : portText)
            port = port * 10 + (c - '0');
        if (port < 1 || port > 65535)
            return failure("the port is a number from 1 to 65535");
        address.port = static_cast<int>(port);
    }
    return {true, std::move(address), {}};
}

} // namespace qv::publish
