#include "app/interval_scan.h"

#include <climits>
#include <cstddef>

namespace qv {
namespace {

// Only this much of the field is looked at, as the dialog's text exchange always did.
constexpr std::size_t kScannedLength = 63;

// White space as the C locale knows it; "%d" skips exactly these.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<int> scanIntervalText(std::string_view text) {
    text = text.substr(0, kScannedLength);
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !isDigit(text[i]))
        return std::nullopt;

    // Accumulated as a magnitude that stops growing once it passes int's range, so any
    // run of digits is read without overflow and saturates at the matching limit.
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (magnitude <= kLimit)
            magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (negative)
        return magnitude >= kLimit ? INT_MIN : static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

} // namespace qv
