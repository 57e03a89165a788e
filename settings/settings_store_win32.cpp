// The settings store in the registry: HKEY_CURRENT_USER\Software\<company>\<application>,
// the values directly in that key, REG_DWORD for numbers and REG_SZ for text. Each
// operation opens "Software" (never creating it), creates or opens the company key and
// the application key below it, does its one value operation and closes all three, so a
// first read already leaves the empty key path behind. Text is UTF-8 here and UTF-16 in
// the registry, converted at each call.

#include "settings/settings_store.h"

#include "text/win32_text.h"

#include <cstdint>
#include <string>
#include <utility>

#include <windows.h>
// The store's operations carry the names of the old profile calls, which windows.h
// defines as macros.
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString

namespace qv {
namespace {

using win32::utf8;
using win32::wide;

// The application's key (or a section below it) for one operation; closes what it
// opened, innermost first. key() is null when any level could not be opened or created.
class ProfileKey {
public:
    ProfileKey(const std::string& company, const std::string& application, const char* section) {
        if (company.empty() || RegOpenKeyExW(HKEY_CURRENT_USER, L"software", 0,
                                             KEY_READ | KEY_WRITE, &keys_[0]) != ERROR_SUCCESS)
            return;
        opened_ = 1;
        std::wstring path[3] = {wide(company), wide(application),
                                section ? wide(section) : std::wstring()};
        const int levels = path[2].empty() ? 3 : 4;
        for (; opened_ < levels; ++opened_) {
            if (RegCreateKeyExW(keys_[opened_ - 1], path[opened_ - 1].c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                &keys_[opened_], nullptr) != ERROR_SUCCESS)
                return;
        }
        key_ = keys_[opened_ - 1];
    }
    ~ProfileKey() {
        while (opened_ > 0)
            RegCloseKey(keys_[--opened_]);
    }
    ProfileKey(const ProfileKey&) = delete;
    ProfileKey& operator=(const ProfileKey&) = delete;

    HKEY key() const { return key_; }

private:
    HKEY keys_[4] = {};
    int opened_ = 0;
    HKEY key_ = nullptr;
};

} // namespace

int SettingsStore::GetProfileInt(const char* section, const char* entry, int defaultValue) const {
    const ProfileKey profile(company_, application_, section);
    if (!profile.key())
        return defaultValue;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(profile.key(), wide(entry).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return defaultValue;
    return static_cast<int>(value);
}

std::string SettingsStore::GetProfileString(const char* section, const char* entry,
                                            const std::string& defaultValue) const {
    const ProfileKey profile(company_, application_, section);
    if (!profile.key())
        return defaultValue;
    const std::wstring name = wide(entry);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(profile.key(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return defaultValue;
    // One spare character: a stored text need not end in a zero.
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(profile.key(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return defaultValue;
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return utf8(text);
}

bool SettingsStore::WriteProfileInt(const char* section, const char* entry, int value) {
    const ProfileKey profile(company_, application_, section);
    const DWORD data = static_cast<DWORD>(value);
    return profile.key() &&
           RegSetValueExW(profile.key(), wide(entry).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

bool SettingsStore::WriteProfileString(const char* section, const char* entry,
                                       const std::string& value) {
    const ProfileKey profile(company_, application_, section);
    const std::wstring text = wide(value);
    // The stored size counts the terminating zero.
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return profile.key() &&
           RegSetValueExW(profile.key(), wide(entry).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

std::string applicationNameFromProgramPath(const std::string& programPath) {
    const std::size_t slash = programPath.find_last_of("/\\");
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

} // namespace qv
