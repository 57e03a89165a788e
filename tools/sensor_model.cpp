#include "tools/sensor_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qv::sim {
namespace {

// Room conditions the values drift around, and how hard they are pulled back (per step).
constexpr double kRoomHumidity = 45.0;
constexpr double kRoomTemperature = 22.0;
constexpr double kPullBack = 0.02;
constexpr double kHumidityStep = 0.3;    // standard deviation of one step, %RH
constexpr double kTemperatureStep = 0.1; // standard deviation of one step, degC

int toTenths(double value) {
    return static_cast<int>(std::lround(value * 10.0));
}

} // namespace

std::string_view junkKindName(JunkKind kind) {
    switch (kind) {
    case JunkKind::RandomBytes:
        return "random bytes";
    case JunkKind::TruncatedRecord:
        return "truncated record";
    case JunkKind::LineFeedBeforeCr:
        return "line feed before CR";
    case JunkKind::MinusInHumidity:
        return "minus in humidity";
    case JunkKind::BlankHumidity:
        return "blank humidity";
    }
    return "junk";
}

std::string formatField(int tenths) {
    char text[16];
    std::snprintf(text, sizeof text, "%5.1f", tenths / 10.0);
    return text;
}

std::string formatRecord(const Sample& s) {
    return "H" + formatField(s.humidityTenths) + " T" + formatField(s.temperatureTenths) + "\r";
}

std::string formatLogLine(const Sample& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f\t%.1f\n", s.humidityTenths / 10.0,
                  s.temperatureTenths / 10.0);
    return text;
}

SensorModel::SensorModel(std::uint64_t seed) : rng_(seed) {
    std::uniform_real_distribution<double> spread(-1.0, 1.0);
    humidity_ = kRoomHumidity + 10.0 * spread(rng_);
    temperature_ = kRoomTemperature + 3.0 * spread(rng_);
}

Sample SensorModel::next() {
    std::normal_distribution<double> step(0.0, 1.0);
    humidity_ += kPullBack * (kRoomHumidity - humidity_) + kHumidityStep * step(rng_);
    temperature_ += kPullBack * (kRoomTemperature - temperature_) + kTemperatureStep * step(rng_);
    humidity_ = std::clamp(humidity_, kMinHumidityTenths / 10.0, kMaxHumidityTenths / 10.0);
    temperature_ =
        std::clamp(temperature_, kMinTemperatureTenths / 10.0, kMaxTemperatureTenths / 10.0);
    return {toTenths(humidity_), toTenths(temperature_)};
}

bool SensorModel::junkDue(double rate) {
    if (rate <= 0.0)
        return false;
    return std::bernoulli_distribution(std::min(rate, 1.0))(rng_);
}

std::string SensorModel::junk(JunkKind* kindOut) {
    const auto kind =
        static_cast<JunkKind>(std::uniform_int_distribution<int>(0, kJunkKinds - 1)(rng_));
    if (kindOut)
        *kindOut = kind;
    // Plausible values for the broken records, without disturbing the drift.
    const Sample shown{toTenths(humidity_), toTenths(temperature_)};
    std::string bytes;
    switch (kind) {
    case JunkKind::RandomBytes: {
        const int length = std::uniform_int_distribution<int>(1, 16)(rng_);
        std::uniform_int_distribution<int> byte(0, 255);
        while (static_cast<int>(bytes.size()) < length) {
            const int b = byte(rng_);
            if (b != '\r')
                bytes.push_back(static_cast<char>(b));
        }
        break;
    }
    case JunkKind::TruncatedRecord: {
        const std::string record = formatRecord(shown);
        // Keep at least the "H", drop at least the CR.
        const auto keep = std::uniform_int_distribution<std::size_t>(1, record.size() - 1)(rng_);
        bytes = record.substr(0, keep);
        break;
    }
    case JunkKind::LineFeedBeforeCr: {
        bytes = formatRecord(shown);
        bytes.insert(bytes.size() - 1, "\n");
        break;
    }
    case JunkKind::MinusInHumidity:
        bytes = "H-" + formatField(shown.humidityTenths).substr(1) + " T" +
                formatField(shown.temperatureTenths) + "\r";
        break;
    case JunkKind::BlankHumidity:
        bytes = "H      T" + formatField(shown.temperatureTenths) + "\r";
        break;
    }
    bytes.push_back('\n');
    return bytes;
}

} // namespace qv::sim
