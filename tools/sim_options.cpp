#include "tools/sim_options.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace qv::sim {
namespace {

template <typename Int> std::optional<Int> parseInteger(std::string_view text) {
    Int value{};
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end)
        return std::nullopt;
    return value;
}

std::optional<double> parseDecimal(std::string_view text) {
    double value = 0.0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || ec != std::errc{} || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// Applies one option that takes a value; returns an error message or nothing.
std::optional<std::string> applyValue(SimOptions& o, std::string_view name,
                                      std::string_view value) {
    if (name == "--port") {
        const auto n = parseInteger<int>(value);
        if (!n || *n < kMinPort || *n > kMaxPort)
            return "--port needs a whole number from 1 to 256 (COM1 to COM256), got " +
                   quoted(value);
        o.port = *n;
    } else if (name == "--ports-dir") {
        if (value.empty())
            return "--ports-dir needs a folder";
        o.portsDir = std::filesystem::path(value);
    } else if (name == "--period-ms") {
        const auto n = parseInteger<long long>(value);
        if (!n || *n < 1 || *n > kMaxPeriod.count())
            return "--period-ms needs a whole number of milliseconds from 1 to 3600000, got " +
                   quoted(value);
        o.period = std::chrono::milliseconds{*n};
    } else if (name == "--noise") {
        const auto rate = parseDecimal(value);
        if (!rate || *rate < 0.0 || *rate > 1.0)
            return "--noise needs a rate from 0 to 1 (e.g. 0.2 = noise before one record in "
                   "five), got " +
                   quoted(value);
        o.noiseRate = *rate;
    } else if (name == "--unplug-after" || name == "--replug-after") {
        const auto seconds = parseDecimal(value);
        if (!seconds || *seconds < 0.0 || *seconds > kMaxDelaySeconds)
            return std::string(name) + " needs a number of seconds (e.g. 5 or 0.5), got " +
                   quoted(value);
        const auto ms = std::chrono::milliseconds{std::llround(*seconds * 1000.0)};
        (name == "--unplug-after" ? o.unplugAfter : o.replugAfter) = ms;
    } else if (name == "--count") {
        const auto n = parseInteger<std::uint64_t>(value);
        if (!n || *n == 0)
            return "--count needs a whole number of records of at least 1, got " + quoted(value);
        o.count = *n;
    } else if (name == "--seed") {
        const auto n = parseInteger<std::uint64_t>(value);
        if (!n)
            return "--seed needs a whole number from 0 to 18446744073709551615, got " +
                   quoted(value);
        o.seed = *n;
    } else if (name == "--records-log") {
        if (value.empty())
            return "--records-log needs a file name";
        o.recordsLog = std::filesystem::path(value);
    } else {
        return "unknown option " + quoted(name);
    }
    return std::nullopt;
}

bool takesValue(std::string_view name) {
    for (std::string_view known :
         {"--port", "--ports-dir", "--period-ms", "--noise", "--unplug-after", "--replug-after",
          "--count", "--seed", "--records-log"}) {
        if (name == known)
            return true;
    }
    return false;
}

} // namespace

ParseOutcome parseSimOptions(std::span<const std::string_view> args) {
    SimOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h")
            return ShowHelp{};
        if (arg == "--silent") {
            o.silent = true;
            continue;
        }
        if (arg == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (arg == "--verbose") {
            o.verbose = true;
            continue;
        }
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (!takesValue(name)) {
            if (value || arg.starts_with("-"))
                return UsageError{"unknown option " + quoted(name)};
            return UsageError{"unexpected argument " + quoted(arg) +
                              " (every setting is an option, e.g. --port 2)"};
        }
        if (!value) {
            if (i + 1 >= args.size())
                return UsageError{std::string(name) + " needs a value"};
            value = args[++i];
        }
        if (auto error = applyValue(o, name, *value))
            return UsageError{std::move(*error)};
    }

    if (o.replugAfter && !o.unplugAfter)
        return UsageError{"--replug-after needs --unplug-after (it counts from the unplug)"};
    if (o.silent && o.count)
        return UsageError{"--count cannot be reached with --silent, which sends no record"};
    if (o.quiet && o.verbose)
        return UsageError{"--quiet and --verbose contradict each other"};
    return o;
}

std::string simUsage() {
    return R"(Usage: qv-sensor-sim [options]

Plays a QV-5300 humidity/temperature sensor on a pseudo-terminal, so that the QV-5300
logger can be run and tested without the device.

It creates a pseudo-terminal and puts a link "comN" to it into a port folder; the logger
opens COMn through that link. Every period it sends one record in the sensor's format,
  H<5 characters> T<5 characters> CR     e.g. "H 45.3 T 23.1\r"
with slowly drifting values (humidity 0 to 100 %, temperature -40 to 125 degC, one
decimal). A pseudo-terminal has no RTS/DTR lines, so the simulator cannot see the
logger's polls and answers on its own clock instead. Records are only sent while some
program has the port open; the others are counted as not delivered.

While a port folder exists, the logger sees only the ports listed in it, not the
machine's serial ports. If the simulator has to create the folder it says so, and it
removes the folder again at the end when it is empty. The link is removed at the end,
also on Ctrl+C and SIGTERM.

Options:
  --port N            port number: the link is "comN" (1 to 256; default 1)
  --ports-dir DIR     port folder (default: the user's, $XDG_CONFIG_HOME/Tavrin QV-5300/ports,
                      or ~/.config/Tavrin QV-5300/ports)
  --period-ms MS      one record every MS milliseconds (1 to 3600000; default 1000)
  --noise RATE        with probability RATE (0 to 1) per period, send junk before the record:
                      random bytes or broken records (truncated, a line feed before the
                      CR, "-" in the humidity, blank humidity). Junk never completes a record
                      and leaves the logger ready for the next good one.
  --silent            never send a record: the logger's display blanks
  --unplug-after S    after S seconds (decimals allowed) close the pseudo-terminal and
                      remove the link: the logger reports "COM port disconnected"
  --replug-after S    S seconds after the unplug, come back under the same link
                      (a new pseudo-terminal); without it the simulator stays unplugged
                      until it is ended
  --count N           end after N records sent to a program that has the port open;
                      records due while no program has it open are not sent and do not
                      count, so with no program on the port the simulator runs on
  --seed N            seed of the values and the noise, for repeatable runs
  --records-log FILE  append the values of every record sent ("45.3<TAB>23.1"), one per line
  --quiet             print errors only
  --verbose           also print every record sent
  -h, --help          show this help

Exit status: 0 when ended by Ctrl+C, SIGTERM or --count; 1 on a failure (the link
cannot be created, ...); 2 on a bad argument.

Example:
  qv-sensor-sim --ports-dir /tmp/qv/ports --port 3 --period-ms 500 --noise 0.1
)";
}

} // namespace qv::sim
