// Outside Windows the secret is stored as it is: the settings file that holds it is
// written readable by its owner only (settings_store_posix.cpp).

#include "settings/secret.h"

namespace qv {

std::optional<std::string> protectSecret(std::string_view secret) {
    return std::string(secret);
}

std::optional<std::string> unprotectSecret(std::string_view stored) {
    return std::string(stored);
}

} // namespace qv
