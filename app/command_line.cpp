#include "app/command_line.h"

#include <algorithm>
#include <cctype>

namespace qv {
namespace {

bool equalsIgnoringCase(const std::string& text, const std::string& lowerCase) {
    return std::equal(
        text.begin(), text.end(), lowerCase.begin(), lowerCase.end(),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

} // namespace

StartOptions parseCommandLine(const std::vector<std::string>& arguments, OptionStyle style) {
    StartOptions options;
    for (const std::string& argument : arguments) {
        // Windows options are case-insensitive by convention; POSIX ones are not.
        if (argument == "--start-log" ||
            (style == OptionStyle::Windows && equalsIgnoringCase(argument, "/startlog")))
            options.startLogging = true;
    }
    return options;
}

} // namespace qv
