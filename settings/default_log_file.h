#pragma once

// The default log file on Windows, as a rule over the user's Documents folder; the
// known-folder lookup itself is in default_log_file_win32.cpp. Portable, so that the rule
// is tested everywhere.

#include <string>

namespace qv {

// The log file's name without a folder, also the file browser's initial name.
inline constexpr char kLogFileBaseName[] = "tavrin.log";

// What a Windows user gets when nothing is stored: <documents>\tavrin.log, with one
// backslash between (a folder that ends in a separator, "D:\", gets none added). An empty
// `documents` (the folder could not be found) gives "c:\tavrin.log", the fixed name of old.
std::string windowsDefaultLogFile(const std::string& documents);

} // namespace qv
