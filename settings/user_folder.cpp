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
    return homeFolder() / ".config";
}

} // namespace

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

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
