#include "trend/log_reader.h"

#include "log_format/log_line_format.h"
#include "text/substitute.h"
#include "text/texts.h"
#include "trend/line_scanner.h"
#include "trend/log_input.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <stdexcept>

namespace qv::trend {
namespace {

namespace fmt = logline;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// `count` digits at `at`; -1 when one is not a digit.
int digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!isDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Values written as "%4.1f" up to this many tenths, as floats: most values of a log come
// from here rather than from a division.
constexpr int kTabledTenths = 20'000;
constexpr auto kTenths = [] {
    std::array<float, kTabledTenths + 1> table{};
    for (int i = 0; i <= kTabledTenths; ++i)
        table[static_cast<std::size_t>(i)] = static_cast<float>(static_cast<double>(i) / 10.0);
    return table;
}();
// Digits before the point that a double holds exactly as tenths.
constexpr std::size_t kExactDigits = 14;

// A value as the log writes it: optional '-', digits, the point, one digit; spaces in
// front only as padding up to the least width. False when `field` is not one. (A flag and
// an out-value, not an optional: the optional's return costs more than the parse.)
inline bool parseValue(std::string_view field, float& out) {
    static_assert(fmt::kDecimals == 1, "one digit after the point");
    if (field.size() < fmt::kMinValueWidth || field.size() > fmt::kMaxValueLength)
        return false;
    std::size_t at = 0;
    while (at < field.size() && field[at] == ' ')
        ++at;
    if (at > 0 && field.size() != fmt::kMinValueWidth)
        return false;
    const bool negative = at < field.size() && field[at] == '-';
    at += negative ? 1 : 0;
    const std::size_t point = field.size() - 2;
    if (at >= point || field[point] != fmt::kDecimalPoint || !isDigit(field[point + 1]))
        return false;
    double value = 0.0;
    if (point - at <= kExactDigits) {
        std::uint64_t tenths = 0;
        for (; at < point; ++at) {
            if (!isDigit(field[at]))
                return false;
            tenths = tenths * 10 + static_cast<std::uint64_t>(field[at] - '0');
        }
        tenths = tenths * 10 + static_cast<std::uint64_t>(field[point + 1] - '0');
        if (tenths <= kTabledTenths) {
            const float tabled = kTenths[tenths];
            out = negative ? -tabled : tabled;
            return true;
        }
        // Tenths over ten rather than whole + 0.1 * d: 45.3 comes out as the nearest double.
        value = static_cast<double>(tenths) / 10.0;
    } else {
        double whole = 0.0;
        for (; at < point; ++at) {
            if (!isDigit(field[at]))
                return false;
            whole = whole * 10.0 + (field[at] - '0');
        }
        value = (whole * 10.0 + (field[point + 1] - '0')) / 10.0;
    }
    // Beyond the largest float "%4.1f" never writes; the float would be infinite.
    if (!(value <= FLT_MAX))
        return false;
    out = static_cast<float>(negative ? -value : value);
    return true;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

std::optional<std::int64_t> LocalTimeCache::toEpoch(int year, int month, int day, int hour,
                                                    int minute, int second) {
    const std::int64_t key =
        ((static_cast<std::int64_t>(year) * 16 + month) * 32 + day) * 32 + hour;
    if (key != key_) {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_isdst = -1; // summer time as the zone has it on that date
        std::time_t start = 0;
        {
            // The C library's time-zone state is shared by the threads that read logs at
            // once; mktime runs once an hour of log, so one at a time costs nothing.
            static std::mutex zone;
            std::lock_guard lock(zone);
            start = std::mktime(&local);
        }
        if (start == static_cast<std::time_t>(-1))
            return std::nullopt;
        key_ = key;
        hasHour_ = false; // the hour remembered is no longer the one cached
        hourStart_ = start;
    }
    return hourStart_ + minute * 60 + second;
}

bool LocalTimeCache::sameHour(std::string_view line) const {
    return hasHour_ && std::memcmp(line.data(), hour_, sizeof hour_) == 0;
}

void LocalTimeCache::rememberHour(std::string_view line) {
    std::memcpy(hour_, line.data(), sizeof hour_);
    hasHour_ = true;
}

std::optional<TimedReading> parseLogLine(std::string_view line, LocalTimeCache& times) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.size() < fmt::kMinLineLength)
        return std::nullopt;
    std::optional<std::int64_t> time;
    if (times.sameHour(line)) {
        // Date, hour and their separators as in the last good line: the rest of the stamp.
        if (line[fmt::kTimeSeparatorsAt[1]] != fmt::kTimeSeparator ||
            line[fmt::kFieldSeparatorsAt[1]] != fmt::kFieldSeparator)
            return std::nullopt;
        const int minute = digits(line, fmt::kMinuteAt, 2),
                  second = digits(line, fmt::kSecondAt, 2);
        if (minute < 0 || minute > 59 || second < 0 || second > 60)
            return std::nullopt;
        time = times.hourStart() + minute * 60 + second;
    } else {
        for (std::size_t at : fmt::kDateSeparatorsAt)
            if (line[at] != fmt::kDateSeparator)
                return std::nullopt;
        for (std::size_t at : fmt::kTimeSeparatorsAt)
            if (line[at] != fmt::kTimeSeparator)
                return std::nullopt;
        for (std::size_t at : fmt::kFieldSeparatorsAt)
            if (line[at] != fmt::kFieldSeparator)
                return std::nullopt;
        const int month = digits(line, fmt::kMonthAt, 2), day = digits(line, fmt::kDayAt, 2),
                  year = digits(line, fmt::kYearAt, 4);
        const int hour = digits(line, fmt::kHourAt, 2), minute = digits(line, fmt::kMinuteAt, 2),
                  second = digits(line, fmt::kSecondAt, 2);
        if (month < 1 || month > 12 || year < 1 || day < 1 || day > daysInMonth(year, month) ||
            hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
            return std::nullopt;
        time = times.toEpoch(year, month, day, hour, minute, second);
        if (!time)
            return std::nullopt;
    }

    const std::string_view values = line.substr(fmt::kStampLength);
    const std::size_t tab = values.find(fmt::kFieldSeparator);
    if (tab == std::string_view::npos)
        return std::nullopt;
    float humidity = 0.0f, temperature = 0.0f;
    if (!parseValue(values.substr(0, tab), humidity) ||
        !parseValue(values.substr(tab + 1), temperature))
        return std::nullopt;
    // The stamp was good: the next line of the same hour needs no more than its minutes.
    times.rememberHour(line);
    return TimedReading{*time, humidity, temperature};
}

namespace {

LogReadResult ended(LogReadStatus status) {
    LogReadResult result;
    result.status = status;
    return result;
}

// readLogRange without its guard: allocations may throw.
LogReadResult readRange(const std::filesystem::path& path, const LogRange& range, bool whole,
                        const std::atomic<bool>* cancelled) {
    LogInput input;
    if (const LogReadStatus opened = input.open(path); opened != LogReadStatus::Ok)
        return ended(opened);
    // No room is reserved from the file's size: a sparse or mislabelled file may claim
    // far more than it holds in readings.
    LogReadResult result;
    LocalTimeCache times;
    LineScanner scanner;
    const ScanRange bytes = whole ? ScanRange{} : ScanRange{range.begin, range.end, true};
    const ScanResult scanned = scanner.scan(
        input, bytes, cancelled, [&](std::string_view line, std::uint64_t, std::uint64_t) {
            if (auto reading = parseLogLine(line, times)) {
                if (whole || (reading->time >= range.from && reading->time <= range.to))
                    result.readings.push_back(*reading);
            } else {
                ++result.skippedLines;
            }
        });
    if (scanned.how == ScanEnd::Unreadable)
        return ended(LogReadStatus::Unreadable);
    if (scanned.how == ScanEnd::Cancelled)
        return ended(LogReadStatus::Cancelled);
    if (whole && scanned.bytesRead == 0)
        result.status = LogReadStatus::Empty;
    else if (whole && result.readings.empty())
        result.status = LogReadStatus::NoReadings;
    // Lines appended by hand, or the hour that repeats when summer time ends, can be out
    // of order; the charts need time order.
    const auto earlier = [](const TimedReading& a, const TimedReading& b) {
        return a.time < b.time;
    };
    if (!std::is_sorted(result.readings.begin(), result.readings.end(), earlier))
        std::stable_sort(result.readings.begin(), result.readings.end(), earlier);
    return result;
}

// The readings of a file too large for the memory are given up whole; the memory taken
// so far is freed on the way out.
LogReadResult guarded(const std::filesystem::path& path, const LogRange& range, bool whole,
                      const std::atomic<bool>* cancelled) {
    try {
        return readRange(path, range, whole, cancelled);
    } catch (const std::bad_alloc&) {
        return ended(LogReadStatus::OutOfMemory);
    } catch (const std::length_error&) {
        return ended(LogReadStatus::OutOfMemory);
    }
}

} // namespace

LogReadResult readLogFile(const std::filesystem::path& path, const std::atomic<bool>* cancelled) {
    return guarded(path, {}, true, cancelled);
}

LogReadResult readLogRange(const std::filesystem::path& path, const LogRange& range,
                           const std::atomic<bool>* cancelled) {
    return guarded(path, range, false, cancelled);
}

std::string describe(const LogReadResult& result) {
    switch (result.status) {
    case LogReadStatus::Missing:
        return text::kFileMissing;
    case LogReadStatus::Unreadable:
        return text::kFileUnreadable;
    case LogReadStatus::NotRegular:
        return text::kFileNotRegular;
    case LogReadStatus::OutOfMemory:
        return text::kFileTooLarge;
    case LogReadStatus::Empty:
        return text::kFileEmpty;
    case LogReadStatus::NoReadings:
        return text::kFileWithoutReadings;
    case LogReadStatus::Cancelled: // asked for: nothing to tell
    case LogReadStatus::Ok:
        break;
    }
    if (result.skippedLines == 0)
        return {};
    if (result.skippedLines == 1)
        return text::kOneLineSkipped;
    return substitute(text::kLinesSkipped, {std::to_string(result.skippedLines)});
}

} // namespace qv::trend
