#include "settings/default_log_file.h"

namespace qv {

std::string windowsDefaultLogFile(const std::string& documents) {
    if (documents.empty())
        return std::string("c:\\") + kLogFileBaseName;
    const char last = documents.back();
    const bool endsInSeparator = last == '\\' || last == '/';
    return documents + (endsInSeparator ? "" : "\\") + kLogFileBaseName;
}

} // namespace qv
