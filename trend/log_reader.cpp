#include "trend/log_reader.h"

#include "text/substitute.h"
#include "text/texts.h"

#include "trend/log_input.h"

#include <algorithm>
#include <cfloat>
#include <ctime>
#include <new>
#include <stdexcept>

namespace qv::trend {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;
// A float widened to double has at most 39 integer digits.
constexpr std::size_t kMaxValueLength = 48;
// Longer than any line in the format: a longer start of a line is not kept whole, so a
// file without line ends (a binary file opened by mistake) costs no more memory than this.
constexpr std::size_t kMaxKeptLine = 256;

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

// A value as "%4.1f" writes it: optional '-', digits, '.', one digit; spaces in front only
// as padding up to four characters.
std::optional<float> parseValue(std::string_view field) {
    if (field.size() < 4 || field.size() > kMaxValueLength)
        return std::nullopt;
    std::size_t at = 0;
    while (at < field.size() && field[at] == ' ')
        ++at;
    if (at > 0 && field.size() != 4)
        return std::nullopt;
    const bool negative = at < field.size() && field[at] == '-';
    at += negative ? 1 : 0;
    const std::size_t point = field.size() - 2;
    if (at >= point || field[point] != '.' || !isDigit(field[point + 1]))
        return std::nullopt;
    double whole = 0.0;
    for (; at < point; ++at) {
        if (!isDigit(field[at]))
            return std::nullopt;
        whole = whole * 10.0 + (field[at] - '0');
    }
    // Tenths over ten rather than whole + 0.1 * d: 45.3 comes out as the nearest double.
    const double value = (whole * 10.0 + (field[point + 1] - '0')) / 10.0;
    // Beyond the largest float "%4.1f" never writes; the float would be infinite.
    if (!(value <= FLT_MAX))
        return std::nullopt;
    return static_cast<float>(negative ? -value : value);
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
        const std::time_t start = std::mktime(&local);
        if (start == static_cast<std::time_t>(-1))
            return std::nullopt;
        key_ = key;
        hourStart_ = start;
    }
    return hourStart_ + minute * 60 + second;
}

std::optional<TimedReading> parseLogLine(std::string_view line, LocalTimeCache& times) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    // "MM/DD/YYYY\tHH:MM:SS\t" is 20 characters, then at least "x.x\tx.x".
    if (line.size() < 20 + 4 + 1 + 4 || line[2] != '/' || line[5] != '/' || line[10] != '\t' ||
        line[13] != ':' || line[16] != ':' || line[19] != '\t')
        return std::nullopt;
    const int month = digits(line, 0, 2), day = digits(line, 3, 2), year = digits(line, 6, 4);
    const int hour = digits(line, 11, 2), minute = digits(line, 14, 2),
              second = digits(line, 17, 2);
    if (month < 1 || month > 12 || year < 1 || day < 1 || day > daysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return std::nullopt;

    const std::string_view values = line.substr(20);
    const std::size_t tab = values.find('\t');
    if (tab == std::string_view::npos)
        return std::nullopt;
    const auto humidity = parseValue(values.substr(0, tab));
    const auto temperature = parseValue(values.substr(tab + 1));
    if (!humidity || !temperature)
        return std::nullopt;
    const auto time = times.toEpoch(year, month, day, hour, minute, second);
    if (!time)
        return std::nullopt;
    return TimedReading{*time, *humidity, *temperature};
}

namespace {

LogReadResult ended(LogReadStatus status) {
    LogReadResult result;
    result.status = status;
    return result;
}

// readLogFile without its guard: allocations may throw.
LogReadResult readWhole(const std::filesystem::path& path, const std::atomic<bool>* cancelled) {
    LogInput input;
    if (const LogReadStatus opened = input.open(path); opened != LogReadStatus::Ok)
        return ended(opened);
    // No room is reserved from the file's size: a sparse or mislabelled file may claim
    // far more than it holds in readings.
    LogReadResult result;
    LocalTimeCache times;
    std::string block(kBlockSize, '\0');
    std::string carry; // the start of a line cut by the block's end
    std::uint64_t offset = 0;
    const auto takeLine = [&](std::string_view line) {
        if (auto reading = parseLogLine(line, times))
            result.readings.push_back(*reading);
        else
            ++result.skippedLines;
    };
    for (;;) {
        const auto got = input.readAt(offset, block.data(), block.size());
        if (!got)
            return ended(LogReadStatus::Unreadable);
        if (*got == 0)
            break;
        offset += *got;
        std::string_view rest(block.data(), *got);
        if (!carry.empty()) {
            const std::size_t end = rest.find('\n');
            if (end == std::string_view::npos) {
                carry.append(rest.substr(0, kMaxKeptLine - std::min(kMaxKeptLine, carry.size())));
                rest = {};
            } else {
                carry.append(rest.substr(0, std::min(end, kMaxKeptLine)));
                takeLine(carry);
                carry.clear();
                rest.remove_prefix(end + 1);
            }
        }
        for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
            takeLine(rest.substr(0, end));
            rest.remove_prefix(end + 1);
        }
        if (!rest.empty())
            carry.assign(rest.substr(0, kMaxKeptLine));
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return ended(LogReadStatus::Cancelled);
    }
    if (!carry.empty())
        takeLine(carry); // a last line without its end-of-line
    if (offset == 0)
        result.status = LogReadStatus::Empty;
    else if (result.readings.empty())
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

} // namespace

LogReadResult readLogFile(const std::filesystem::path& path, const std::atomic<bool>* cancelled) {
    // The readings of a file too large for the memory are given up whole; the memory
    // taken so far is freed on the way out.
    try {
        return readWhole(path, cancelled);
    } catch (const std::bad_alloc&) {
        return ended(LogReadStatus::OutOfMemory);
    } catch (const std::length_error&) {
        return ended(LogReadStatus::OutOfMemory);
    }
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
