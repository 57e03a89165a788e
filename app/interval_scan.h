#pragma once

// The setup dialog's scan of the interval field: at most the first 63 characters,
// read like "%d" (leading white space skipped, optional sign, decimal digits, the rest
// ignored, so "12s" gives 12). Pure; no Qt.

#include <optional>
#include <string_view>

namespace qv {

// The scanned number, or nullopt when the text holds no number. A number beyond int's
// range saturates to INT_MIN or INT_MAX, so it is refused as out of range instead of
// being misread as some wrapped value.
std::optional<int> scanIntervalText(std::string_view text);

} // namespace qv
