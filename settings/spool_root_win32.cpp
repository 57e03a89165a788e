#include "settings/spool_root.h"

#include "settings/settings_store.h"

#include "text/win32_text.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace qv {

std::filesystem::path spoolRoot() {
    PWSTR path = nullptr;
    std::filesystem::path root;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path) == S_OK && path)
        root = std::filesystem::path(path) / win32::wide(kCompanyKey) / L"spool";
    CoTaskMemFree(path); // also owed after a failure
    return root;
}

} // namespace qv
