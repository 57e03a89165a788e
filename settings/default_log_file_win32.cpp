// The default log file on Windows: tavrin.log in the user's Documents known folder, where
// a standard user may create files (the root of C: has refused them since Windows Vista).
// The folder is asked for at each call, so a redirected Documents folder is followed.

#include "settings/default_log_file.h"
#include "settings/settings_store.h"

#include "text/win32_text.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace qv {
namespace {

// The Documents folder (UTF-8), or empty when the system cannot name it.
std::string documentsFolder() {
    PWSTR path = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path) == S_OK && path)
        folder = win32::utf8(path);
    CoTaskMemFree(path); // also owed after a failure
    return folder;
}

} // namespace

std::string defaultLogFileName() {
    return windowsDefaultLogFile(documentsFolder());
}

} // namespace qv
