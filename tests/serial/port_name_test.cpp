#include "serial/port_name.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace qv {
namespace {

TEST(PortName, IsComAndTheNumberAndItsEntryTheSameInLowerCase) {
    EXPECT_EQ(portName(1), "COM1");
    EXPECT_EQ(portName(256), "COM256");
    EXPECT_EQ(portEntryName(12), "com12");
}

struct NumberRow : test::NamedRow {
    const char* text;
    std::optional<int> number;
};

class PortNumber : public testing::TestWithParam<NumberRow> {};

TEST_P(PortNumber, ReadsBackOnlyWhatPortNameWrites) {
    EXPECT_EQ(portNumber(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Names, PortNumber,
                         testing::Values(NumberRow{"First", "COM1", 1},
                                         NumberRow{"Last", "COM256", 256},
                                         NumberRow{"NoSelection", "", std::nullopt},
                                         NumberRow{"NoNumber", "COM", std::nullopt},
                                         NumberRow{"LeadingZero", "COM07", std::nullopt},
                                         NumberRow{"LowerCase", "com7", std::nullopt},
                                         NumberRow{"TrailingText", "COM7 ", std::nullopt},
                                         NumberRow{"Sign", "COM+7", std::nullopt},
                                         NumberRow{"BeyondInt", "COM99999999999", std::nullopt}),
                         test::RowName{});

} // namespace
} // namespace qv
