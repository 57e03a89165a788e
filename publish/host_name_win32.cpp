#include "publish/topics.h"

#include <windows.h>

namespace qv::publish {

std::string localHostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length) || length == 0)
        return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), result.data(), bytes,
                            nullptr, nullptr);
    return result;
}

} // namespace qv::publish
