#include "tools/sim_options.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace qv::sim {
namespace {

using namespace std::chrono_literals;

ParseOutcome parse(const std::vector<std::string_view>& args) {
    return parseSimOptions(args);
}

struct BadRow : qv::test::NamedRow {
    std::vector<std::string_view> args;
    std::string mentions; // the error must name what is wrong
};

class RefusedArguments : public testing::TestWithParam<BadRow> {};

TEST_P(RefusedArguments, GiveAnErrorNamingTheProblem) {
    const auto outcome = parse(GetParam().args);
    const auto* error = std::get_if<UsageError>(&outcome);
    ASSERT_NE(error, nullptr);
    EXPECT_NE(error->message.find(GetParam().mentions), std::string::npos) << error->message;
}

INSTANTIATE_TEST_SUITE_P(
    Options, RefusedArguments,
    testing::Values(BadRow{"PortZero", {"--port", "0"}, "--port"},
                    BadRow{"PortAbove256", {"--port", "257"}, "1 to 256"},
                    BadRow{"PortNotANumber", {"--port", "3x"}, "'3x'"},
                    BadRow{"PortNegative", {"--port=-1"}, "--port"},
                    BadRow{"PeriodZero", {"--period-ms", "0"}, "--period-ms"},
                    BadRow{"PeriodFraction", {"--period-ms", "2.5"}, "--period-ms"},
                    BadRow{"NoiseAboveOne", {"--noise", "1.5"}, "--noise"},
                    BadRow{"NoiseNotANumber", {"--noise", "nan"}, "--noise"},
                    BadRow{"UnplugNegative", {"--unplug-after", "-1"}, "--unplug-after"},
                    BadRow{"UnplugInfinite", {"--unplug-after", "inf"}, "--unplug-after"},
                    BadRow{"ReplugWithoutUnplug", {"--replug-after", "1"}, "needs --unplug-after"},
                    BadRow{"CountZero", {"--count", "0"}, "--count"},
                    BadRow{"CountWithSilent", {"--silent", "--count", "3"}, "--silent"},
                    BadRow{"UnknownOptionWithValue", {"--colour=red"}, "unknown option '--colour'"},
                    BadRow{"FlagGivenAValue", {"--silent=1"}, "unknown option '--silent'"},
                    BadRow{"StrayArgument", {"3"}, "unexpected argument '3'"}),
    [](const auto& info) { return info.param.name; });

TEST(AcceptedArguments, DefaultsWithoutArguments) {
    const auto o = std::get<SimOptions>(parse({}));
    EXPECT_EQ(o.port, 1);
    EXPECT_TRUE(o.portsDir.empty());
    EXPECT_EQ(o.period, 1000ms);
    EXPECT_EQ(o.noiseRate, 0.0);
    EXPECT_FALSE(o.silent || o.quiet || o.verbose || o.unplugAfter || o.count || o.seed);
}

TEST(AcceptedArguments, EveryOptionInBothSpellings) {
    const auto o = std::get<SimOptions>(
        parse({"--port", "256", "--ports-dir=/tmp/p q", "--period-ms", "20", "--noise=0.25",
               "--unplug-after", "1.5", "--replug-after=0", "--count", "7", "--seed",
               "18446744073709551615", "--records-log", "r.log", "--verbose"}));
    EXPECT_EQ(o.port, 256);
    EXPECT_EQ(o.portsDir, "/tmp/p q");
    EXPECT_EQ(o.period, 20ms);
    EXPECT_EQ(o.noiseRate, 0.25);
    EXPECT_EQ(o.unplugAfter, 1500ms);
    EXPECT_EQ(o.replugAfter, 0ms);
    EXPECT_EQ(o.count, 7u);
    EXPECT_EQ(o.seed, 18446744073709551615u);
    EXPECT_EQ(o.recordsLog, "r.log");
    EXPECT_TRUE(o.verbose);
}

TEST(AcceptedArguments, HelpWinsOverEverythingElse) {
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(parse({"--port", "1", "--help"})));
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(parse({"-h", "--bogus"})));
}

TEST(Usage, ExplainsEveryOption) {
    const std::string usage = simUsage();
    for (const char* option :
         {"--port", "--ports-dir", "--period-ms", "--noise", "--silent", "--unplug-after",
          "--replug-after", "--count", "--seed", "--records-log", "--quiet", "--verbose", "--help"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

} // namespace
} // namespace qv::sim
