#pragma once

// A log file the user picked, opened for reading only if it is a regular file: a pipe, a
// device, a terminal or a folder is refused without being waited on (no open that blocks
// for a writer, no endless read). The platform's implementation is log_input_posix.cpp or
// log_input_win32.cpp. One thread at a time; no exceptions.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace qv::trend {

enum class LogReadStatus; // log_reader.h

class LogInput {
public:
    LogInput() = default;
    ~LogInput();
    LogInput(const LogInput&) = delete;
    LogInput& operator=(const LogInput&) = delete;

    // Ok when `path` names a regular file (a symbolic link to one included) and it is now
    // open; else Missing, NotRegular or Unreadable, and nothing stays open.
    LogReadStatus open(const std::filesystem::path& path);
    // Up to `size` bytes from byte `offset` into `buffer`: how many (0 at the end), or
    // nothing on an error of the system.
    std::optional<std::size_t> readAt(std::uint64_t offset, char* buffer, std::size_t size);
    // The file's size now, in bytes; nothing on an error of the system.
    std::optional<std::uint64_t> size() const;

private:
    void close();

    std::intptr_t handle_ = -1; // a descriptor, or a HANDLE; -1 (INVALID_HANDLE_VALUE): none
};

} // namespace qv::trend
