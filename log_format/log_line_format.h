#pragma once

// The log file's line, the one format its writer (acquisition/measurement_log.cpp) and its
// readers (trend/log_reader.cpp) share:
//
//   MM/DD/YYYY <tab> HH:MM:SS <tab> humidity <tab> temperature CR LF
//
// local date and time of the reading, then each value with one decimal, right-aligned in
// at least four characters ("%4.1f" of the "C" locale). Header-only and standard library
// only, in a folder of its own below both acquisition/ and trend/, so that the writer and
// the readers agree without either including the other.

#include <charconv>
#include <cstddef>
#include <string>

namespace qv::logline {

// strftime's format of the date-and-time stamp that starts a line, its separator included.
inline constexpr char kStampFormat[] = "%m/%d/%Y\t%H:%M:%S\t";
// The stamp's length and where its fields and separators stand in it.
inline constexpr std::size_t kStampLength = 20;
inline constexpr std::size_t kMonthAt = 0, kDayAt = 3, kYearAt = 6;
inline constexpr std::size_t kHourAt = 11, kMinuteAt = 14, kSecondAt = 17;
inline constexpr std::size_t kDateSeparatorsAt[] = {2, 5};
inline constexpr std::size_t kTimeSeparatorsAt[] = {13, 16};
inline constexpr std::size_t kFieldSeparatorsAt[] = {10, 19};
inline constexpr char kDateSeparator = '/';
inline constexpr char kTimeSeparator = ':';
// Between the stamp's date and time, after the stamp, and between the two values.
inline constexpr char kFieldSeparator = '\t';

// Values: one decimal after a point, at least this wide, spaces in front as padding.
inline constexpr int kDecimals = 1;
inline constexpr std::size_t kMinValueWidth = 4;
inline constexpr char kDecimalPoint = '.';
// The longest value text: a float widened to double has at most 39 integer digits.
inline constexpr std::size_t kMaxValueLength = 48;
// The shortest line: a stamp and two values of the narrowest width.
inline constexpr std::size_t kMinLineLength = kStampLength + 2 * kMinValueWidth + 1;

// Written after each line whatever the platform, so that logs are alike everywhere; the
// readers also take a bare LF.
inline constexpr char kLineEnd[] = "\r\n";

// Appends `value` as "%4.1f" would in the "C" locale: one decimal, rounded as printf
// rounds, a point whatever the user's locale, right-aligned in at least kMinValueWidth.
inline void appendValue(std::string& out, float value) {
    char digits[64];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                                   std::chars_format::fixed, kDecimals)
                         .ptr;
    const auto length = static_cast<std::size_t>(end - digits);
    if (length < kMinValueWidth)
        out.append(kMinValueWidth - length, ' ');
    out.append(digits, length);
}

} // namespace qv::logline
