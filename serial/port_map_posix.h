#pragma once

// How port n of "COM%d" maps to a device path on POSIX.
//
// The program's port folder is portsFolder() of settings/user_folder.h; tests and tools
// may name another. When the port folder exists, it alone defines the ports: COMn is the entry
// "comN" (lower case, no leading zeros) in it, usually a symbolic link to a device; a number
// without an entry is absent. Without the folder: COM1-32 are /dev/ttyS0-31, COM33-64
// /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31; other numbers are absent.

#include <filesystem>
#include <optional>
#include <string>

namespace qv {

// The device path of port n, or nullopt when the port does not exist by the rules above.
// Only 1 to 256 are port numbers: 0, negative numbers and numbers above 256 map to
// nothing, even when the folder has an entry such as "com0" or "com257". The entry's
// own path is returned (opening it follows the link), whether or not its target exists.
std::optional<std::string> portDevicePath(int port, const std::filesystem::path& portsDir);

} // namespace qv
