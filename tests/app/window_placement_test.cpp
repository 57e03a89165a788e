// Where the windows open, over desktops of one and two monitors: 1920 x 1040 work area of
// the primary monitor at the origin, a 1280 x 984 one to its left.

#include "app/window_placement.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace qv {
namespace {

const std::vector<ScreenRect> kOne{{0, 0, 1920, 1040}};
const std::vector<ScreenRect> kTwo{{0, 0, 1920, 1040}, {-1280, 0, 1280, 984}};

struct MainRow : test::NamedRow {
    std::optional<ScreenPoint> stored;
    int width, height;
    std::vector<ScreenRect> areas;
    ScreenPoint expected;
};

const MainRow kMainRows[] = {
    {"FirstStartCentredOnThePrimary", std::nullopt, 400, 200, kOne, {760, 420}},
    {"FirstStartOnThePrimaryNotTheLeftmost", std::nullopt, 400, 200, kTwo, {760, 420}},
    {"StoredInsideIsKept", ScreenPoint{100, 50}, 400, 200, kOne, {100, 50}},
    {"StoredOnTheOtherMonitorIsKept", ScreenPoint{-1000, 100}, 400, 200, kTwo, {-1000, 100}},
    {"MonitorGoneBringsItToTheNearest", ScreenPoint{-1000, 100}, 400, 200, kOne, {0, 100}},
    {"PartlyOffTheRightEdgeMovesIn", ScreenPoint{1800, 100}, 400, 200, kOne, {1520, 100}},
    {"UnderTheTaskBarMovesUp", ScreenPoint{100, 1000}, 400, 200, kOne, {100, 840}},
    {"FarAwayAboveAndLeft", ScreenPoint{-50000, -50000}, 400, 200, kOne, {0, 0}},
    {"AcrossTwoMonitorsGoesWhereMostOfItIs", ScreenPoint{-100, 100}, 400, 200, kTwo, {0, 100}},
    {"LargerThanTheAreaKeepsItsCornerVisible", ScreenPoint{300, 300}, 2500, 1200, kOne, {0, 0}},
    {"NoAreasKnownKeepsTheStoredPlace", ScreenPoint{-7, 9}, 400, 200, {}, {-7, 9}},
};

class MainWindowPosition : public testing::TestWithParam<MainRow> {};

TEST_P(MainWindowPosition, IsWhereLeftInsideTheDesktopOrCentred) {
    const MainRow& r = GetParam();
    EXPECT_EQ(mainWindowPosition(r.stored, r.width, r.height, r.areas), r.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MainWindowPosition, testing::ValuesIn(kMainRows), test::RowName{});

struct DialogRow : test::NamedRow {
    ScreenRect owner;
    std::vector<ScreenRect> areas;
    ScreenPoint expected; // of a 200 x 100 dialog
};

const DialogRow kDialogRows[] = {
    {"CentredOverItsOwner", {100, 100, 400, 300}, kOne, {200, 200}},
    {"OwnerOnTheLeftMonitor", {-1000, 100, 400, 300}, kTwo, {-900, 200}},
    {"OwnerHalfOffTheDesktopKeepsTheDialogOn", {-300, 900, 400, 300}, kOne, {0, 940}},
};

class DialogPosition : public testing::TestWithParam<DialogRow> {};

TEST_P(DialogPosition, IsCentredOverItsOwnerInsideTheDesktop) {
    EXPECT_EQ(dialogPosition(GetParam().owner, 200, 100, GetParam().areas), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, DialogPosition, testing::ValuesIn(kDialogRows), test::RowName{});

} // namespace
} // namespace qv
