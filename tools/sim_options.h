#pragma once

// Command line of qv-sensor-sim, the stand-in for a QV-5300 sensor on a pseudo-terminal.
// Parsing is pure (no I/O) so that every accepted and refused argument can be tested.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace qv::sim {

inline constexpr int kMinPort = 1;
inline constexpr int kMaxPort = 256;
inline constexpr auto kDefaultPeriod = std::chrono::milliseconds{1000};
inline constexpr auto kMaxPeriod = std::chrono::milliseconds{3'600'000};
// Longest delay --unplug-after / --replug-after take: one year, far beyond any test.
inline constexpr double kMaxDelaySeconds = 365.0 * 24 * 3600;

struct SimOptions {
    int port = 1;
    // Empty: the user's port folder, resolved by the caller.
    std::filesystem::path portsDir;
    std::chrono::milliseconds period = kDefaultPeriod;
    double noiseRate = 0.0; // probability, per period, of a burst of noise before the record
    bool silent = false;    // send no record at all (noise, if asked for, still goes out)
    std::optional<std::chrono::milliseconds> unplugAfter; // from start
    std::optional<std::chrono::milliseconds> replugAfter; // from the unplug
    std::optional<std::uint64_t> count;                   // stop after N records reached a reader
    std::optional<std::uint64_t> seed;                    // nullopt: a random seed
    bool quiet = false;
    bool verbose = false;             // one line per record sent
    std::filesystem::path recordsLog; // empty: none
};

struct ShowHelp {};
struct UsageError {
    std::string message; // one line, without the program name
};

using ParseOutcome = std::variant<SimOptions, ShowHelp, UsageError>;

// Parses the arguments after the program name. Accepts "--opt value" and "--opt=value".
ParseOutcome parseSimOptions(std::span<const std::string_view> args);

// The --help text.
std::string simUsage();

} // namespace qv::sim
