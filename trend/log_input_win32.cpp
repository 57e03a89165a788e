// The log file through the wide Win32 calls. CreateFileW never waits for a pipe's other
// end; what was opened is kept only if it is a file on a disk and not a folder (folders
// open too, so that they are told apart from files that cannot be read).

#include "trend/log_input.h"
#include "trend/log_reader.h"

#include <windows.h>

#include <algorithm>

namespace qv::trend {
namespace {

HANDLE handleOf(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

} // namespace

LogInput::~LogInput() {
    close();
}

void LogInput::close() {
    if (handleOf(handle_) != INVALID_HANDLE_VALUE)
        CloseHandle(handleOf(handle_));
    handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

LogReadStatus LogInput::open(const std::filesystem::path& path) {
    close();
    // Shared with everyone, the program's own log writer included.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? LogReadStatus::Missing
                   : LogReadStatus::Unreadable;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    LogReadStatus status = LogReadStatus::Ok;
    if (GetFileType(file) != FILE_TYPE_DISK)
        status = LogReadStatus::NotRegular;
    else if (!GetFileInformationByHandle(file, &info))
        status = LogReadStatus::Unreadable;
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        status = LogReadStatus::NotRegular;
    if (status == LogReadStatus::Ok)
        handle_ = reinterpret_cast<std::intptr_t>(file);
    else
        CloseHandle(file);
    return status;
}

std::optional<std::size_t> LogInput::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    if (handleOf(handle_) == INVALID_HANDLE_VALUE)
        return std::nullopt;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(handleOf(handle_), buffer, want, &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? std::optional<std::size_t>(0) : std::nullopt;
    return got;
}

std::optional<std::uint64_t> LogInput::size() const {
    LARGE_INTEGER size{};
    if (handleOf(handle_) == INVALID_HANDLE_VALUE || !GetFileSizeEx(handleOf(handle_), &size) ||
        size.QuadPart < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

} // namespace qv::trend
