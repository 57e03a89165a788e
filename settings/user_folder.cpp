#include "settings/user_folder.h"

#include "settings/settings_store.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace qv {
namespace {

std::filesystem::path configHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".config";
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return std::filesystem::path(pw->pw_dir) / ".config";
    // No home at all: the folder is relative to where the program runs.
    return ".config";
}

} // namespace

std::filesystem::path userFolder(std::string_view company) {
    return configHome() / company;
}

std::filesystem::path settingsFilePath(std::string_view company,
                                       const std::string& applicationName) {
    return userFolder(company) / (applicationName + ".conf");
}

std::filesystem::path portsFolder() {
    return userFolder(kCompanyKey) / "ports";
}

} // namespace qv
