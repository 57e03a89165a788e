#include "app/interval_scan.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

namespace {

struct Row : qv::test::NamedRow {
    std::string text;
    std::optional<int> expected;
};

class IntervalScan : public testing::TestWithParam<Row> {};

TEST_P(IntervalScan, ReadsLikePercentD) {
    EXPECT_EQ(qv::scanIntervalText(GetParam().text), GetParam().expected);
}

const Row kRows[] = {
    {"Plain", "7", 7},
    {"LeadingSpace", " 7", 7},
    {"TrailingText", "7 s", 7},
    {"UnitGlued", "12s", 12},
    {"AllCWhiteSpace", " \t\n\v\f\r9", 9},
    {"PlusSign", "+5", 5},
    {"MinusSign", "-3", -3},
    {"ZeroIsANumber", "0", 0},
    {"LeadingZeros", "0010", 10},
    {"Empty", "", std::nullopt},
    {"OnlySpaces", "   ", std::nullopt},
    {"Letters", "abc", std::nullopt},
    {"SignAlone", "-", std::nullopt},
    {"SpaceAfterSign", "+ 5", std::nullopt},
    {"DoubleSign", "--5", std::nullopt},
    {"DecimalPointStops", "2.5", 2},
    {"JustAboveIntSaturates", "2147483648", INT_MAX},
    {"IntMaxExact", "2147483647", INT_MAX},
    {"IntMinExact", "-2147483648", INT_MIN},
    {"JustBelowIntSaturates", "-2147483649", INT_MIN},
    {"HugeSaturates", "99999999999999999999999999", INT_MAX},
    {"HugeNegativeSaturates", "-99999999999999999999999999", INT_MIN},
    // Only the first 63 characters are read.
    {"DigitAtLastReadPlace", std::string(62, ' ') + "5", 5},
    {"DigitJustBeyond", std::string(63, ' ') + "5", std::nullopt},
    {"NumberCutAtTheLimit", std::string(61, ' ') + "123", 12},
};

INSTANTIATE_TEST_SUITE_P(Rows, IntervalScan, testing::ValuesIn(kRows), qv::test::RowName{});

} // namespace
