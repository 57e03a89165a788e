#pragma once

// The program's command line, read the same way by every front end. One option:
// "--start-log" (on Windows also "/startlog", in any letter case) presses Start Log once
// the window is up. Anything else is ignored, as it always has been, so that a shortcut
// or unit written for another version still starts the program.

#include <string>
#include <vector>

namespace qv {

struct StartOptions {
    bool startLogging = false;
};

enum class OptionStyle {
    Posix,   // "--start-log" only
    Windows, // "--start-log" and "/startlog"
};

// `arguments` without the program's own name, UTF-8.
StartOptions parseCommandLine(const std::vector<std::string>& arguments, OptionStyle style);

} // namespace qv
