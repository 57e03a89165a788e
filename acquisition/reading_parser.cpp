#include "acquisition/reading_parser.h"

#include <charconv>

namespace qv {
namespace {

constexpr std::size_t kFieldLength = 5;

bool isDigit(std::uint8_t b) {
    return b >= '0' && b <= '9';
}
bool isHumidityChar(std::uint8_t b) {
    return b == ' ' || b == '.' || isDigit(b);
}
bool isTemperatureChar(std::uint8_t b) {
    return b == ' ' || b == '-' || b == '.' || isDigit(b);
}

// Converts a field the way scanf's "%f" does in the "C" locale: leading blanks skipped,
// then the longest number the field begins with. For the characters a field may hold
// (blanks, digits, '.', '-') that is exactly what from_chars takes, value for value;
// a field that starts with no number (blanks only, "-", ".", "--1") converts to
// nothing. Unlike scanf it neither parses a format nor follows the user's locale.
bool convertField(const std::string& field, float& value) {
    const char* begin = field.data();
    const char* const end = begin + field.size();
    while (begin != end && *begin == ' ')
        ++begin;
    return std::from_chars(begin, end, value, std::chars_format::fixed).ec == std::errc();
}

} // namespace

ReadingParser& ReadingParser::processInstance() {
    static ReadingParser instance;
    return instance;
}

void ReadingParser::setSink(Sink sink) {
    sink_ = std::move(sink);
}

void ReadingParser::feed(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state_) {
        case 0:
            if (b == 'H') {
                humidity_.clear();
                state_ = 1;
            }
            break;
        case 1:
            if (isHumidityChar(b)) {
                humidity_.push_back(static_cast<char>(b));
                if (humidity_.size() >= kFieldLength)
                    state_ = 2;
            } else {
                state_ = 0; // this byte is not looked at again: an "H" starts nothing
            }
            break;
        case 2:
            if (b == 'T') {
                temperature_.clear();
                state_ = 3;
            } else if (b != ' ') {
                state_ = 0;
            }
            break;
        case 3:
            if (isTemperatureChar(b)) {
                temperature_.push_back(static_cast<char>(b));
                if (temperature_.size() >= kFieldLength)
                    state_ = 4;
            } else {
                state_ = 0;
            }
            break;
        default: // 4: waiting for the carriage return
            if (b == '\r')
                completeRecord();
            else if (b != ' ')
                state_ = 0;
            break;
        }
    }
}

void ReadingParser::completeRecord() {
    Reading reading;
    const bool converted = convertField(humidity_, reading.humidity) &&
                           convertField(temperature_, reading.temperature);
    // Back to waiting before the sink runs: the sink may show a message box whose
    // nested loop feeds further bytes, and those must start afresh rather than find
    // the finished record still in state 4 and complete it a second time.
    state_ = 0;
    if (!converted)
        return;
    reading.humidityText = humidity_;
    reading.temperatureText = temperature_;
    if (sink_)
        sink_(reading);
}

} // namespace qv
