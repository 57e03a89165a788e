#pragma once

// Turns the sensor's byte stream into Readings: "H", five humidity characters, spaces,
// "T", five temperature characters, spaces, CR. One byte at a time, on the
// user-interface thread only; no lock.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qv {

// One humidity/temperature pair: the texts as received and their converted values.
struct Reading {
    std::string humidityText;    // the five characters after "H", as received
    std::string temperatureText; // the five characters after "T", as received
    float humidity = 0.0f;
    float temperature = 0.0f;
};

class ReadingParser {
public:
    using Sink = std::function<void(const Reading&)>;

    // The parser's state is process-wide: the program uses this one instance, created
    // on first use and living until the process ends. Tests may construct their own.
    static ReadingParser& processInstance();

    void setSink(Sink sink);

    // Processes `count` bytes in order. The sink may run a nested event loop that feeds
    // further bytes re-entrantly; each record is still delivered once.
    void feed(const std::uint8_t* bytes, std::size_t count);

    int state() const { return state_; }

private:
    void completeRecord();

    Sink sink_;
    int state_ = 0;
    std::string humidity_;
    std::string temperature_;
};

} // namespace qv
