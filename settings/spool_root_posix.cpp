#include "settings/spool_root.h"

#include "settings/settings_store.h"
#include "settings/user_folder.h"

namespace qv {

std::filesystem::path spoolRoot() {
    return userFolder(kCompanyKey) / "spool";
}

} // namespace qv
