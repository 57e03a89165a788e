// The command line as both front ends read it.

#include "app/command_line.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

namespace {

using qv::OptionStyle;

struct CommandLineRow : qv::test::NamedRow {
    std::vector<std::string> arguments;
    OptionStyle style;
    bool startLogging;
};

class CommandLine : public testing::TestWithParam<CommandLineRow> {};

TEST_P(CommandLine, StartsLoggingOnlyForItsOption) {
    EXPECT_EQ(qv::parseCommandLine(GetParam().arguments, GetParam().style).startLogging,
              GetParam().startLogging);
}

const CommandLineRow kCommandLines[] = {
    {"Nothing", {}, OptionStyle::Posix, false},
    {"AmongUnknownOnes", {"-x", "--start-log", "file.txt"}, OptionStyle::Posix, true},
    {"LookAlikesIgnored",
     {"--start-logging", "-start-log", "", "/start"},
     OptionStyle::Windows,
     false},
    {"PosixCaseAndSlashAreNotIt", {"--Start-Log", "/startlog"}, OptionStyle::Posix, false},
    {"SlashOnWindowsInAnyCase", {"/StartLOG"}, OptionStyle::Windows, true},
    {"DoubleDashOnWindows", {"--start-log"}, OptionStyle::Windows, true},
};
INSTANTIATE_TEST_SUITE_P(Arguments, CommandLine, testing::ValuesIn(kCommandLines),
                         qv::test::RowName{});

} // namespace
