#include "bench/sensor_stream.h"

#include <cstdio>
#include <random>
#include <string>

namespace qv::bench {
namespace {

// One well-formed record: "H", five humidity characters, 0-2 spaces, "T", five
// temperature characters, 0-2 spaces, CR, and a line feed on most lines.
std::string goodRecord(std::mt19937& rng) {
    std::uniform_real_distribution<float> humidity(0.0f, 100.0f);
    std::uniform_real_distribution<float> temperature(-40.0f, 99.9f);
    std::uniform_int_distribution<int> gap(0, 2);
    char h[16];
    char t[16];
    std::snprintf(h, sizeof h, "%5.1f", static_cast<double>(humidity(rng)));
    std::snprintf(t, sizeof t, "%5.1f", static_cast<double>(temperature(rng)));
    std::string r = "H";
    r += h;
    r.append(static_cast<std::size_t>(gap(rng)), ' ');
    r += 'T';
    r += t;
    r.append(static_cast<std::size_t>(gap(rng)), ' ');
    r += '\r';
    return r;
}

} // namespace

SensorStream makeSensorStream(std::size_t records, StreamMix mix, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<int> noiseLength(1, 24);
    std::uniform_int_distribution<int> anyByte(0, 255);
    SensorStream s;
    s.bytes.reserve(records * 20);
    for (std::size_t i = 0; i < records; ++i) {
        if (chance(rng) < mix.noiseShare) {
            // Noise never holds an "H": a stray "H" would swallow the next record's
            // start, which is the parser's documented behaviour but would make the
            // count of good records depend on the noise.
            for (int n = noiseLength(rng); n > 0; --n) {
                int b = anyByte(rng);
                s.bytes.push_back(static_cast<std::uint8_t>(b == 'H' ? 'h' : b));
            }
            s.bytes.push_back('\n'); // ends whatever the noise started
        }
        std::string r = goodRecord(rng);
        if (chance(rng) < mix.brokenShare) {
            if (chance(rng) < 0.5) {
                // Cut off before the CR; the line feed drops it in any state.
                std::uniform_int_distribution<std::size_t> cut(1, r.size() - 1);
                r.resize(cut(rng));
            } else {
                // A garbled character inside one of the two fields.
                std::uniform_int_distribution<std::size_t> at(1, 5);
                r[at(rng) + (chance(rng) < 0.5 ? 0 : r.find('T'))] = 'x';
            }
            r += '\n';
        } else {
            ++s.goodRecords;
            if (chance(rng) < 0.8)
                r += '\n';
        }
        s.bytes.insert(s.bytes.end(), r.begin(), r.end());
    }
    return s;
}

} // namespace qv::bench
