#pragma once

// The checks behind the fuzz targets, shared with the corpus replay test so that a
// saved crash input becomes a plain unit test. Each check takes one arbitrary input
// and returns an empty string when every property holds, otherwise a description of
// the first one that failed. Header only: the fuzz build compiles the sources under
// test directly, the normal build links their libraries.

#include "acquisition/reading_parser.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#ifdef QV_FUZZ_HAS_INTERVAL_SCAN
#include "app/interval_scan.h"
#endif

namespace qv::fuzz {

// ---- Reading parser -------------------------------------------------------------------
//
// Input layout: byte 0 modulo 8 is the number n of chunk-size bytes that follow it; the
// rest is the byte stream. The stream is fed to one parser in chunks of those sizes, used
// in turn (a size of 0 makes an empty feed call, then one byte), or as one block when n is
// 0, and byte by byte to a second parser. Both must deliver the same Readings, and both
// must agree with an independent reading of the record rules over the whole stream.
// A third parser is fed byte by byte too, but its sink goes on feeding the following bytes
// itself, as a message box's nested loop does in the program (the first chunk size, or 64
// when there is none, is how many bytes each nested run takes): every record must still
// be delivered once, in order.

inline constexpr std::size_t kFieldLength = 5;

inline bool isDigitByte(unsigned char b) {
    return b >= '0' && b <= '9';
}
inline bool isHumidityByte(unsigned char b) {
    return b == ' ' || b == '.' || isDigitByte(b);
}
inline bool isTemperatureByte(unsigned char b) {
    return b == ' ' || b == '-' || b == '.' || isDigitByte(b);
}

// strtof on the field, which accepts what "%f" accepts; nullopt when nothing converts.
inline std::optional<float> convertField(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const float value = std::strtof(begin, &end);
    if (end == begin)
        return std::nullopt;
    return value;
}

// The record rules read over a whole stream at once, by position rather than by state:
// "H", five field bytes, spaces, "T", five field bytes, spaces, CR. A byte that breaks a
// record is consumed by the failure (an "H" there starts nothing).
inline std::vector<Reading> referenceReadings(const unsigned char* s, std::size_t n) {
    std::vector<Reading> out;
    std::size_t i = 0;
    auto field = [&](bool (*allowed)(unsigned char), std::string& text) {
        text.clear();
        while (text.size() < kFieldLength && i < n && allowed(s[i]))
            text.push_back(static_cast<char>(s[i++]));
        return text.size() == kFieldLength;
    };
    auto skipSpaces = [&] {
        while (i < n && s[i] == ' ')
            ++i;
    };
    while (i < n) {
        if (s[i++] != 'H')
            continue;
        Reading r;
        if (!field(isHumidityByte, r.humidityText)) {
            ++i; // the offending byte (past the end when the stream stopped)
            continue;
        }
        skipSpaces();
        if (i >= n || s[i++] != 'T')
            continue;
        if (!field(isTemperatureByte, r.temperatureText)) {
            ++i;
            continue;
        }
        skipSpaces();
        if (i >= n || s[i++] != '\r')
            continue;
        const auto h = convertField(r.humidityText);
        const auto t = convertField(r.temperatureText);
        if (!h || !t)
            continue;
        r.humidity = *h;
        r.temperature = *t;
        out.push_back(std::move(r));
    }
    return out;
}

inline std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

inline std::string describe(const Reading& r) {
    std::ostringstream os;
    os << "{\"" << printable(r.humidityText) << "\" \"" << printable(r.temperatureText) << "\" "
       << r.humidity << " " << r.temperature << "}";
    return os.str();
}

inline bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool sameReading(const Reading& a, const Reading& b) {
    return a.humidityText == b.humidityText && a.temperatureText == b.temperatureText &&
           sameBits(a.humidity, b.humidity) && sameBits(a.temperature, b.temperature);
}

// What every delivered Reading must satisfy, whoever produced it.
inline std::string checkReadingInvariants(const Reading& r) {
    auto fieldOk = [](const std::string& text, bool (*allowed)(unsigned char)) {
        bool digit = false;
        for (unsigned char c : text) {
            if (!allowed(c))
                return false;
            digit = digit || isDigitByte(c);
        }
        // Without a digit nothing converts, so such a field cannot have been accepted.
        return text.size() == kFieldLength && digit;
    };
    if (!fieldOk(r.humidityText, isHumidityByte))
        return "bad humidity text in " + describe(r);
    if (!fieldOk(r.temperatureText, isTemperatureByte))
        return "bad temperature text in " + describe(r);
    const auto h = convertField(r.humidityText);
    const auto t = convertField(r.temperatureText);
    if (!h || !t || !sameBits(*h, r.humidity) || !sameBits(*t, r.temperature))
        return "values do not match the texts in " + describe(r);
    return {};
}

inline std::string compareReadings(const char* what, const std::vector<Reading>& expected,
                                   const std::vector<Reading>& actual) {
    const std::size_t common = std::min(expected.size(), actual.size());
    for (std::size_t k = 0; k < common; ++k) {
        if (!sameReading(expected[k], actual[k]))
            return std::string(what) + ": Reading " + std::to_string(k) + " is " +
                   describe(actual[k]) + ", expected " + describe(expected[k]);
    }
    if (expected.size() != actual.size())
        return std::string(what) + ": " + std::to_string(actual.size()) + " Readings, expected " +
               std::to_string(expected.size());
    return {};
}

inline std::string checkReadingParser(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return {};
    const std::size_t headerLength = std::min<std::size_t>(data[0] % 8, size - 1);
    const std::uint8_t* sizes = data + 1;
    const std::uint8_t* stream = data + 1 + headerLength;
    const std::size_t streamLength = size - 1 - headerLength;

    std::vector<Reading> chunked, bytewise;
    ReadingParser chunkedParser, bytewiseParser;
    chunkedParser.setSink([&](const Reading& r) { chunked.push_back(r); });
    bytewiseParser.setSink([&](const Reading& r) { bytewise.push_back(r); });

    // Each chunk goes in through its own exactly sized copy, so that ASan sees any read
    // past the count the parser was given.
    auto feedCopy = [](ReadingParser& parser, const std::uint8_t* bytes, std::size_t count) {
        std::vector<std::uint8_t> copy(bytes, bytes + count);
        parser.feed(copy.empty() ? nullptr : copy.data(), count);
    };
    std::size_t pos = 0;
    for (std::size_t k = 0; pos < streamLength; ++k) {
        std::size_t chunk = headerLength == 0 ? streamLength : sizes[k % headerLength];
        if (chunk == 0) {
            feedCopy(chunkedParser, stream + pos, 0);
            chunk = 1;
        }
        chunk = std::min(chunk, streamLength - pos);
        feedCopy(chunkedParser, stream + pos, chunk);
        pos += chunk;
    }
    for (std::size_t k = 0; k < streamLength; ++k) {
        const std::uint8_t byte = stream[k]; // a lone byte: a read past it is an ASan report too
        bytewiseParser.feed(&byte, 1);
    }

    std::vector<Reading> nested;
    ReadingParser nestedParser;
    std::size_t next = 0;
    int depth = 0;
    constexpr int kMaxDepth = 16;
    const std::size_t nestedRun = headerLength == 0 ? 64 : sizes[0];
    std::function<void(std::size_t)> pump = [&](std::size_t limit) {
        for (std::size_t k = 0; k < limit && next < streamLength; ++k) {
            const std::uint8_t byte = stream[next++];
            nestedParser.feed(&byte, 1);
        }
    };
    nestedParser.setSink([&](const Reading& r) {
        nested.push_back(r);
        if (depth < kMaxDepth) {
            ++depth;
            pump(nestedRun);
            --depth;
        }
    });
    pump(streamLength);

    for (const Reading& r : bytewise) {
        if (auto failure = checkReadingInvariants(r); !failure.empty())
            return failure;
    }
    if (auto failure = compareReadings("chunked against byte by byte", bytewise, chunked);
        !failure.empty())
        return failure;
    if (auto failure = compareReadings("fed from the sink against byte by byte", bytewise, nested);
        !failure.empty())
        return failure;
    if (chunkedParser.state() != bytewiseParser.state() ||
        nestedParser.state() != bytewiseParser.state())
        return "final states differ: chunked " + std::to_string(chunkedParser.state()) +
               ", fed from the sink " + std::to_string(nestedParser.state()) + ", byte by byte " +
               std::to_string(bytewiseParser.state());
    return compareReadings("byte by byte against the record rules",
                           referenceReadings(stream, streamLength), bytewise);
}

// ---- Interval scan ----------------------------------------------------------------------
//
// Input: the whole field text, any bytes. The reference is the C library: "%d" on a
// NUL-terminated copy of at most the first 63 bytes where the number fits an int, and
// strtoll (same syntax as "%d") to tell which way an out-of-range number must saturate,
// since "%d" itself has no defined result there.

#ifdef QV_FUZZ_HAS_INTERVAL_SCAN

inline constexpr std::size_t kScannedLength = 63;

inline std::string describeScan(std::optional<int> value) {
    return value ? std::to_string(*value) : std::string("no value");
}

inline std::string checkIntervalScan(const std::uint8_t* data, std::size_t size) {
    // Exactly sized heap copy: a read past the view is an ASan report.
    std::vector<char> text(data, data + size);
    const std::optional<int> actual =
        scanIntervalText(std::string_view(text.empty() ? nullptr : text.data(), text.size()));

    char field[kScannedLength + 1] = {};
    std::copy_n(text.begin(), std::min(size, kScannedLength), field);

    std::optional<int> expected;
    errno = 0;
    char* end = nullptr;
    const long long wide = std::strtoll(field, &end, 10);
    if (end != field) {
        if (errno == ERANGE || wide > INT_MAX || wide < INT_MIN) {
            expected = wide > 0 ? INT_MAX : INT_MIN;
        } else {
            int value = 0;
            if (std::sscanf(field, "%d", &value) != 1 || value != wide)
                return "reference disagreement on \"" + printable(field) + "\"";
            expected = value;
        }
    } else {
        int value = 0;
        if (std::sscanf(field, "%d", &value) == 1)
            return "reference disagreement on \"" + printable(field) + "\"";
    }
    if (actual != expected)
        return "scan of \"" + printable(std::string(text.begin(), text.end())) + "\" gave " +
               describeScan(actual) + ", expected " + describeScan(expected);
    return {};
}

#endif

} // namespace qv::fuzz
