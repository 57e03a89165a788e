#pragma once

// The system console: the terminal the kernel writes its messages to and where a login
// may wait, on many machines /dev/ttyS0, COM1 when there is no port folder. A port that
// is the console is never opened, not even by a probe: the channel would set its line to
// 9600 baud and every poll would toggle its lines and send it a break.
//
// Linux names the consoles in the list kActiveConsoles, blank-separated names under /dev
// ("tty0 ttyS0", a "!" standing for a "/"); "tty0" stands for the virtual terminal in
// front, which tty0/active beside the list's folder names ("tty2"). Elsewhere there is no
// such list and no device counts as the console.
//
// No Qt. Thread contract: none; pure reads of files.

#include <filesystem>
#include <string>

namespace qv {

inline constexpr char kActiveConsoles[] = "/sys/class/tty/console/active";

// Whether the device whose real path (all links followed) is `device` is one of the
// consoles that the list at `activeList` names: the same path, or the same device number.
bool isSystemConsole(const std::string& device, const std::filesystem::path& activeList);

} // namespace qv
