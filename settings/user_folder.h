#pragma once

// Where this program keeps its per-user files outside Windows: one folder, named after
// the company key, in the user's configuration folder. The settings file, the program's
// port folder and the sensor simulator all take their paths from here, so they always
// agree. No Qt: the simulator uses it too.

#include <filesystem>
#include <string>
#include <string_view>

namespace qv {

// The user's home folder: $HOME, or, without it (a service environment), the password
// database's entry for the user, or, without that either, the root folder. An empty
// variable counts as unset.
std::filesystem::path homeFolder();

// $XDG_CONFIG_HOME/<company>, or <homeFolder()>/.config/<company>.
std::filesystem::path userFolder(std::string_view company);

// The settings file of `applicationName`: <userFolder(company)>/<applicationName>.conf.
std::filesystem::path settingsFilePath(std::string_view company,
                                       const std::string& applicationName);

// The port folder that maps port numbers to devices (see serial/port_map_posix.h):
// <userFolder(kCompanyKey)>/ports, beside the settings files.
std::filesystem::path portsFolder();

} // namespace qv
