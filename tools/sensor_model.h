#pragma once

// What the simulated QV-5300 says: slowly drifting humidity and temperature values in
// the sensor's record format, and the junk that --noise puts between records.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace qv::sim {

// Measuring ranges of the sensor, in tenths (the sensor reports one decimal).
inline constexpr int kMinHumidityTenths = 0;
inline constexpr int kMaxHumidityTenths = 1000;
inline constexpr int kMinTemperatureTenths = -400;
inline constexpr int kMaxTemperatureTenths = 1250;

struct Sample {
    int humidityTenths = 0;
    int temperatureTenths = 0;
    bool operator==(const Sample&) const = default;
};

enum class JunkKind {
    RandomBytes,      // 1 to 16 arbitrary bytes, never a carriage return
    TruncatedRecord,  // a record cut before its carriage return
    LineFeedBeforeCr, // a whole record with a line feed between the values and the CR
    MinusInHumidity,  // "H-45.3 ...": the humidity field takes no sign
    BlankHumidity,    // five spaces as humidity: nothing to convert
};
inline constexpr int kJunkKinds = 5;

std::string_view junkKindName(JunkKind kind);

// One field as the sensor sends it: exactly five characters, "%5.1f" of tenths / 10
// (" 45.3", "-12.5", "100.0"). Defined for the measuring ranges above.
std::string formatField(int tenths);
// "H" humidity " T" temperature CR, e.g. "H 45.3 T 23.1\r".
std::string formatRecord(const Sample& sample);
// The --records-log line: "45.3\t23.1\n".
std::string formatLogLine(const Sample& sample);

// Deterministic for a given seed (on one standard library).
class SensorModel {
public:
    explicit SensorModel(std::uint64_t seed);

    // The next reading: a small random step that is pulled back towards room
    // conditions, clamped to the measuring ranges.
    Sample next();

    // True with probability `rate` (0 to 1).
    bool junkDue(double rate);

    // Junk of a random kind. It never completes a record, however a reader splits it,
    // and ends with a line feed, so that a reader in any state is back to waiting for
    // "H" before the next record.
    std::string junk(JunkKind* kindOut = nullptr);

private:
    std::mt19937_64 rng_;
    double humidity_;    // %RH
    double temperature_; // degC
};

} // namespace qv::sim
