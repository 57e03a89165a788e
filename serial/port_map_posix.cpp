#include "serial/port_map_posix.h"

#include "serial/port_name.h"

#include "serial/serial_types.h"

#include <system_error>

namespace qv {

namespace {

// Blocks of 32 numbers for the device families the default table knows.
constexpr int kBlock = 32;
constexpr const char* kDefaultFamilies[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};

} // namespace

std::optional<std::string> portDevicePath(int port, const std::filesystem::path& portsDir) {
    if (port < 1 || port > kPortCount)
        return std::nullopt;

    std::error_code ec;
    const auto folder = std::filesystem::symlink_status(portsDir, ec);
    // Anything at the folder's place, even something unreadable or not a folder,
    // means the user has taken over the mapping: never fall back to the machine's
    // own devices then.
    if (folder.type() != std::filesystem::file_type::not_found) {
        const std::filesystem::path entry = portsDir / portEntryName(port);
        const auto status = std::filesystem::symlink_status(entry, ec);
        if (ec || status.type() == std::filesystem::file_type::not_found)
            return std::nullopt;
        return entry.string();
    }

    const int index = (port - 1) / kBlock;
    if (index >= static_cast<int>(std::size(kDefaultFamilies)))
        return std::nullopt;
    return kDefaultFamilies[index] + std::to_string((port - 1) % kBlock);
}

} // namespace qv
