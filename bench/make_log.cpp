// Writes a long log of 1-second readings in the log's own format, fast, for the trend
// view's benchmarks: a year is 31,536,000 lines, about 1 GB.
//
// Usage: qv_bench_make_log FILE DAYS [START]
//   START: seconds since the epoch of the first reading (default 1 January 2025, 00:00
//   local time). Prints the number of lines written on stdout.

#include "log_format/log_line_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kLowestTenths = -1000, kHighestTenths = 2000;

// The day's swing and a slower one over the year, in tenths.
int humidityTenths(std::int64_t t) {
    const double day = 2 * M_PI * static_cast<double>(t % 86400) / 86400.0;
    const double year = 2 * M_PI * static_cast<double>(t % 31'536'000) / 31'536'000.0;
    return static_cast<int>(std::lround(10 * (50 + 12 * std::sin(day) + 8 * std::sin(year))));
}

int temperatureTenths(std::int64_t t) {
    const double day = 2 * M_PI * static_cast<double>(t % 86400) / 86400.0;
    const double year = 2 * M_PI * static_cast<double>(t % 31'536'000) / 31'536'000.0;
    return static_cast<int>(std::lround(10 * (15 - 4 * std::cos(day) - 10 * std::cos(year))));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qv_bench_make_log FILE DAYS [START]\n");
        return 2;
    }
    const long days = std::atol(argv[2]);
    std::int64_t start = 0;
    if (argc > 3) {
        start = std::atoll(argv[3]);
    } else {
        std::tm first{};
        first.tm_year = 125, first.tm_mday = 1, first.tm_isdst = -1;
        start = std::mktime(&first);
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out)
        return 1;
    // Every value the file holds, formatted once.
    std::vector<std::string> values;
    for (int tenths = kLowestTenths; tenths <= kHighestTenths; ++tenths) {
        std::string text;
        qv::logline::appendValue(text, static_cast<float>(tenths) / 10.0f);
        values.push_back(text);
    }
    const auto value = [&](int tenths) -> const std::string& {
        return values[static_cast<std::size_t>(std::clamp(tenths, kLowestTenths, kHighestTenths) -
                                               kLowestTenths)];
    };
    std::string buffer;
    buffer.reserve(std::size_t{9} << 20);
    const std::int64_t end = start + std::int64_t{days} * 86400;
    std::uint64_t lines = 0;
    // Local time once a minute; the seconds within it counted by hand.
    for (std::int64_t minute = start; minute < end; minute += 60) {
        const auto t = static_cast<std::time_t>(minute);
        std::tm local{};
        localtime_r(&t, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%m/%d/%Y\t%H:%M:", &local);
        const int first = local.tm_sec;
        for (int s = 0; s < 60 && minute + s < end; ++s) {
            const std::int64_t when = minute + s;
            const int second = (first + s) % 60;
            buffer += stamp;
            buffer += static_cast<char>('0' + second / 10);
            buffer += static_cast<char>('0' + second % 10);
            buffer += qv::logline::kFieldSeparator;
            buffer += value(humidityTenths(when));
            buffer += qv::logline::kFieldSeparator;
            buffer += value(temperatureTenths(when));
            buffer += qv::logline::kLineEnd;
            ++lines;
        }
        if (buffer.size() >= (std::size_t{8} << 20)) {
            if (std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size())
                return 1;
            buffer.clear();
        }
    }
    if (std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size() || std::fclose(out) != 0)
        return 1;
    std::printf("%llu\n", static_cast<unsigned long long>(lines));
    return 0;
}
