// Pixel sizes between DPI settings: the scales Windows offers, rounding, and an unknown DPI.

#include "app/win32/dpi_scale.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name;
    int pixels;
    unsigned fromDpi, toDpi;
    int expected;
};

constexpr Row kRows[] = {
    {"unchanged at 100 %", 16, 96, 96, 16},
    {"125 % rounds 2.5 up", 2, 96, 120, 3},
    {"150 % of a small icon", 16, 96, 144, 24},
    {"200 % of a big icon", 32, 96, 192, 64},
    {"175 % rounds 29.75 up", 17, 96, 168, 30},
    {"back from 150 % to 100 %", 24, 144, 96, 16},
    {"150 % to 125 %, between monitors", 300, 144, 120, 250},
    {"a negative offset rounds away from zero", -1, 96, 144, -2},
    {"unknown source DPI leaves it", 40, 0, 144, 40},
    {"unknown target DPI leaves it", 40, 96, 0, 40},
    {"a large size does not overflow", 30000, 96, 480, 150000},
};

TEST(DpiScale, RescalesAsMulDivRounds) {
    for (const Row& row : kRows)
        EXPECT_EQ(qv::win32::rescaledForDpi(row.pixels, row.fromDpi, row.toDpi), row.expected)
            << row.name;
    static_assert(qv::win32::scaledToDpi(32, 144) == 48);
}

} // namespace
