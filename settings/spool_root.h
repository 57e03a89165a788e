#pragma once

// Where readings wait for the broker while it is away: one folder per sensor below
// spoolRoot(), per user. Outside Windows <userFolder(kCompanyKey)>/spool, beside the
// settings files and the port folder; on Windows <Local AppData>\Tavrin QV-5300\spool
// (local: a spool does not roam with the profile).

#include <filesystem>

namespace qv {

// Empty when the system cannot name the user's folder.
std::filesystem::path spoolRoot();

} // namespace qv
