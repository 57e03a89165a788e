#pragma once

// How the program names a port: "COM%d", as the user sees it, the settings store it and
// the port list offers it; and the entry "com%d" that names it in a port folder (see
// port_map_posix.h). No platform calls; the simulator uses it too.

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// "COM<n>".
std::string portName(int port);
// The number that portName gives `name` for; nothing for any other text ("com3",
// "COM03", "COM3 ", "").
std::optional<int> portNumber(std::string_view name);

// "com<n>": lower case, no leading zeros.
std::string portEntryName(int port);

} // namespace qv
