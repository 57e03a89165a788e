#include "text/substitute.h"

namespace qv {

std::string substitute(std::string_view format, std::initializer_list<std::string_view> arguments) {
    std::string out;
    out.reserve(format.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (format[i] == '%' && next >= '1' && next <= '9' && index < arguments.size()) {
            out += arguments.begin()[index];
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

} // namespace qv
