#pragma once

// The log's file, behind a small seam: the platform's implementation (log_file_posix.cpp,
// log_file_win32.cpp) and test doubles that fail on demand.
//
// Thread contract: one thread at a time. The user-interface thread opens the file and
// moves to its end; then the file belongs to the log's writer thread (log_writer.h),
// which writes, syncs, cuts back and closes it. fullPath() is set by open() and may be
// read from either thread afterwards.

#include "text/substitute.h"
#include "text/texts.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace qv {

// How long a pipe or terminal named as the log may take nothing before the line fails.
inline constexpr auto kLogStallLimit = std::chrono::seconds{2};

// A duration as the details say it: "2 seconds", "300 ms".
inline std::string durationText(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    return ms % 1000 == 0 ? substitute(text::kSeconds, {std::to_string(ms / 1000)})
                          : substitute(text::kMilliseconds, {std::to_string(ms)});
}
// The detail every platform's file gives for a reader that stopped reading for `limit`
// (lastErrorText); for a file held elsewhere it is text::kLogInUse.
inline std::string logStalledText(std::chrono::milliseconds limit = kLogStallLimit) {
    return substitute(text::kLogStalled, {durationText(limit)});
}

class LogFile {
public:
    virtual ~LogFile() = default;
    // Opens `path` for writing, creating it when missing, exclusively (a file held by
    // someone else fails and is left unchanged). With `truncate`, an existing file is
    // emptied once the exclusive hold is taken. Devices and pipes are used as they are,
    // neither held nor emptied, and never waited on without bound. False on failure.
    virtual bool open(const std::string& path, bool truncate) = 0;
    // Moves the write position to the end of the file.
    virtual bool seekToEnd() = 0;
    // Appends all of `line`, or cuts back what it wrote of it (by the rule of
    // appended_line.h) and fails. Lines that other programs append meanwhile are never
    // overwritten. A reader that takes nothing for the stall limit fails it too.
    virtual bool write(std::string_view line) = 0;
    // Hands what was written to the disk. Files that cannot be synchronised (devices,
    // pipes) succeed.
    virtual bool sync() = 0;
    // Removes the line of the last successful write (after its sync failed), so that
    // writing it again leaves no doubled line; left as it is when another program has
    // appended after it (appended_line.h).
    virtual void cutBackLastWrite() = 0;
    // Releases the file. False if the close reported an error.
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    // The absolute path of the open (or last tried) file, for messages.
    virtual std::string fullPath() const = 0;
    // The last failure of open, write, sync or close in plain words, as the operating
    // system says it ("No such file or directory").
    virtual std::string lastErrorText() const = 0;
};

// The platform's file, with kLogStallLimit or with `stallLimit` (tests).
std::unique_ptr<LogFile> makePlatformLogFile();
std::unique_ptr<LogFile> makePlatformLogFile(std::chrono::milliseconds stallLimit);

} // namespace qv
