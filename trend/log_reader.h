#pragma once

// Reads the program's own log files for the trend view, in the format of
// log_format/log_line_format.h (a bare LF ends a line too). Lines of any other shape are
// skipped and counted, never fatal.
// Hand-written parsing, no streams per line and no locale: a year of 1-second readings
// (31.5 million lines) reads in seconds. No exceptions leave this file. Shares no state:
// any thread may read a log (log_read_worker.h reads one off the user-interface thread).

#include "trend/log_summary.h"
#include "trend/timed_reading.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::trend {

enum class LogReadStatus {
    Ok,          // at least one reading
    Missing,     // no such file
    Unreadable,  // cannot be opened or read (rights, an I/O error)
    NotRegular,  // a folder, pipe, device or terminal: refused unopened or unread
    Empty,       // no bytes at all
    NoReadings,  // lines, but none in the log's format
    OutOfMemory, // more readings than the memory holds
    Cancelled,   // stopped on request before the end
};

struct LogReadResult {
    LogReadStatus status = LogReadStatus::Ok;
    std::vector<TimedReading> readings; // in time order
    std::size_t skippedLines = 0;       // lines not in the format (blank lines included)

    ReadingSpans spans() const { return {readings, {}}; }
};

// The whole file, read in large blocks. `cancelled`, when given, is looked at after each
// block: once set, the read stops there with Cancelled and its readings are dropped.
LogReadResult readLogFile(const std::filesystem::path& path,
                          const std::atomic<bool>* cancelled = nullptr);
// The readings from `range.from` to `range.to` (both included) among the lines that start
// in bytes [range.begin, range.end), in time order: the lines of a span, where the file's
// summary says they are. Status Ok (or an error) however many it found.
LogReadResult readLogRange(const std::filesystem::path& path, const LogRange& range,
                           const std::atomic<bool>* cancelled = nullptr);

// What to tell the user about a read: the error, or for a good read with skipped lines
// "3 lines were not readings"; empty for a clean read.
std::string describe(const LogReadResult& result);

// Turns local date-and-time fields into seconds since the epoch, calling the C library's
// mktime once per hour of the log only: within an hour local time runs evenly.
// The line parser keeps here the date-and-hour text of the last good line, so that the
// lines of the same hour need only their minutes and seconds read.
class LocalTimeCache {
public:
    std::optional<std::int64_t> toEpoch(int year, int month, int day, int hour, int minute,
                                        int second);

    // `line` (at least a stamp long) starts with the date and hour last remembered, whose
    // start hourStart() is.
    bool sameHour(std::string_view line) const;
    void rememberHour(std::string_view line);
    std::int64_t hourStart() const { return hourStart_; }

private:
    std::int64_t key_ = -1; // year, month, day and hour packed; -1: nothing cached
    std::int64_t hourStart_ = 0;
    char hour_[14] = {}; // "MM/DD/YYYY\tHH:" of the last good line
    bool hasHour_ = false;
};

// One line without its end-of-line (a trailing CR is allowed); nullopt when the line is
// not in the format.
std::optional<TimedReading> parseLogLine(std::string_view line, LocalTimeCache& times);

} // namespace qv::trend
