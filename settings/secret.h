#pragma once

// A secret (the broker's password) as the settings store keeps it. On Windows it is
// encrypted with the user's data-protection key (DPAPI) and kept as hexadecimal text, so
// only that user on that machine can read it back; elsewhere it is kept as it is, and the
// settings file that holds it is readable by its owner only.

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The stored text of `secret`; an empty secret is stored empty. Nothing when it cannot be
// protected.
std::optional<std::string> protectSecret(std::string_view secret);

// The secret that protectSecret made `stored` from; nothing when it cannot be recovered.
std::optional<std::string> unprotectSecret(std::string_view stored);

} // namespace qv
