#include "serial/port_name.h"

#include <charconv>

namespace qv {
namespace {

constexpr std::string_view kPrefix = "COM";
constexpr std::string_view kEntryPrefix = "com";

} // namespace

std::string portName(int port) {
    return std::string(kPrefix) + std::to_string(port);
}

std::optional<int> portNumber(std::string_view name) {
    if (!name.starts_with(kPrefix))
        return std::nullopt;
    const std::string_view digits = name.substr(kPrefix.size());
    int port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc{} || end != digits.data() + digits.size() || portName(port) != name)
        return std::nullopt;
    return port;
}

std::string portEntryName(int port) {
    return std::string(kEntryPrefix) + std::to_string(port);
}

} // namespace qv
