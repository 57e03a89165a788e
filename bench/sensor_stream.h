#pragma once

// A reproducible byte stream as a serial line from the sensor carries it: mostly good
// records, with line noise and records broken off or garbled in between.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::bench {

struct StreamMix {
    double noiseShare = 0.10;  // share of records preceded by a burst of random bytes
    double brokenShare = 0.05; // share of records cut short or carrying a bad byte
};

struct SensorStream {
    std::vector<std::uint8_t> bytes;
    std::size_t goodRecords = 0; // records that a correct parser must complete
};

// `records` records generated from `seed`; the same arguments give the same bytes.
SensorStream makeSensorStream(std::size_t records, StreamMix mix = {}, std::uint32_t seed = 5300);

} // namespace qv::bench
