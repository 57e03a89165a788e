#pragma once

// The line a front end writes to the standard error stream for every message box, so
// that a failure seen on the screen can also be found in a terminal or a session log.

#include <cstdio>
#include <string>

namespace qv {

// "<application>: <text>" and, when there is a detail, ": <detail>"; no line break.
inline std::string errorReportLine(const std::string& application, const std::string& text,
                                   const std::string& detail) {
    std::string line = application + ": " + text;
    if (!detail.empty())
        line += ": " + detail;
    return line;
}

inline void reportToStandardError(const std::string& application, const std::string& text,
                                  const std::string& detail) {
    const std::string line = errorReportLine(application, text, detail) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace qv
