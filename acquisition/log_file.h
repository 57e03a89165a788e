#pragma once

// The log's file, behind a small seam: the platform's implementation (log_file_posix.cpp)
// and test doubles that fail on demand.

#include <memory>
#include <string>
#include <string_view>

namespace qv {

class LogFile {
public:
    virtual ~LogFile() = default;
    // Opens `path` for writing, creating it when missing, exclusively (a file held by
    // someone else fails and is left unchanged). With `truncate`, an existing file is
    // emptied once the exclusive hold is taken. Devices and pipes are used as they are,
    // neither held nor emptied. False on failure.
    virtual bool open(const std::string& path, bool truncate) = 0;
    // Moves the write position to the end of the file.
    virtual bool seekToEnd() = 0;
    // Writes all of `data` and hands it to the operating system. False on any failure.
    virtual bool write(std::string_view data) = 0;
    // Releases the file. False if the close reported an error.
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    // The absolute path of the open (or last opened) file, for messages.
    virtual std::string fullPath() const = 0;
};

std::unique_ptr<LogFile> makePlatformLogFile();

} // namespace qv
