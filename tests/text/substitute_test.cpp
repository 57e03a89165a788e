#include "text/substitute.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

struct Row : test::NamedRow {
    const char* format;
    std::string filled; // with the arguments "a" and "%1"
};

class Substitute : public testing::TestWithParam<Row> {};

TEST_P(Substitute, FillsEachPlaceWithItsArgumentOnce) {
    EXPECT_EQ(substitute(GetParam().format, {"a", "%1"}), GetParam().filled);
}

INSTANTIATE_TEST_SUITE_P(Formats, Substitute,
                         testing::Values(Row{"OnePlace", "Disk full while accessing %1.",
                                             "Disk full while accessing a."},
                                         Row{"PlacesInAnyOrder", "%2 and %1", "%1 and a"},
                                         Row{"EveryOccurrence", "%1%1", "aa"},
                                         Row{"PlaceWithoutArgumentKept", "%3 %0 %", "%3 %0 %"},
                                         Row{"PercentBeforeAPlace", "100%%1", "100%a"},
                                         Row{"NoPlaces", "Start Log", "Start Log"}),
                         test::RowName{});

} // namespace
} // namespace qv
