#include "serial/system_console_posix.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace qv {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& list) {
    std::ifstream in(list);
    std::vector<std::string> names;
    for (std::string name; in >> name;)
        names.push_back(name);
    return names;
}

} // namespace

bool isSystemConsole(const std::string& device, const fs::path& activeList) {
    if (device.empty())
        return false;
    std::vector<std::string> names = namesIn(activeList);
    if (std::find(names.begin(), names.end(), "tty0") != names.end())
        for (std::string& inFront :
             namesIn(activeList.parent_path().parent_path() / "tty0" / "active"))
            names.push_back(std::move(inFront));
    struct stat port {};
    const bool portIsDevice = ::stat(device.c_str(), &port) == 0 && S_ISCHR(port.st_mode);
    for (std::string name : names) {
        std::replace(name.begin(), name.end(), '!', '/');
        const std::string console = "/dev/" + name;
        char resolved[PATH_MAX];
        if (::realpath(console.c_str(), resolved) != nullptr && device == resolved)
            return true;
        // Another node of the same device.
        struct stat node {};
        if (portIsDevice && ::stat(console.c_str(), &node) == 0 && S_ISCHR(node.st_mode) &&
            node.st_rdev == port.st_rdev)
            return true;
    }
    return false;
}

} // namespace qv
