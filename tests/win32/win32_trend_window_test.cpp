// The Win32 trend window in this process: how small it can be made, that erasing its
// background leaves the paint's DC able to draw the charts, and the progress bar and
// Cancel of a long read, which Escape stops before it closes the window; its charts at
// the display's DPI (scripts/test-windows runs it at 96 and at 144 DPI).

#include "app/trend_window.h"
#include "app/win32/dpi_scale.h"
#include "app/win32/gdi_painter.h"
#include "app/win32/win32_trend_window.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

class Win32TrendWindowTest : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "Wine makes windows only on a display: scripts/wine-run --display";
        window_.show(nullptr);
        ASSERT_NE(window_.window(), nullptr);
    }

    qv::trend::ReadingHistory history_{10};
    qv::test::FakeWindowServices services_;
    qv::test::FakeFrontEnd frontEnd_;
    qv::TrendWindow logic_{history_, services_, frontEnd_};
    qv::win32::Win32TrendWindow window_{GetModuleHandleW(nullptr), logic_};
};

TEST_F(Win32TrendWindowTest, CannotBeMadeSmallerThanItsTemplate) {
    RECT made{}, small{};
    GetWindowRect(window_.window(), &made);
    SetWindowPos(window_.window(), nullptr, 0, 0, 40, 40, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(window_.window(), &small);
    EXPECT_EQ(small.right - small.left, made.right - made.left);
    EXPECT_EQ(small.bottom - small.top, made.bottom - made.top);
}

TEST_F(Win32TrendWindowTest, ErasingLeavesTheDcUnclipped) {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(window_.window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(dc, clip), 0) << "a clip region is left for the paint";
    DeleteObject(clip);
    DeleteDC(dc);
}

TEST_F(Win32TrendWindowTest, ALongReadShowsItsProgressAndEscapeStopsItBeforeClosing) {
    HWND window = window_.window();
    HWND bar = GetDlgItem(window, qv::ctl::kTrendProgress);
    HWND cancel = GetDlgItem(window, qv::ctl::kTrendCancel);
    ASSERT_TRUE(bar && cancel);
    wchar_t cls[64] = {};
    GetClassNameW(bar, cls, 64);
    EXPECT_STREQ(cls, L"msctls_progress32");
    EXPECT_FALSE(IsWindowVisible(bar));

    qv::test::TempFolder folder("qv-trend");
    const auto big = folder / "big.log";
    std::ofstream(big).flush();
    std::filesystem::resize_file(big, std::uintmax_t{1} << 34); // zeros, for a long while
    frontEnd_.openAnswer = big.string();
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(qv::ctl::kOpenLog, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, qv::ctl::kOpenLog)));
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_TRUE(IsWindowVisible(cancel));
    // Escape comes to a dialog as IDCANCEL.
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_FALSE(logic_.readingLog());
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(window));
}

// Per-monitor aware through the program's manifest (linked in): the charts' units are
// 96-DPI pixels drawn at the window's DPI, so a one-unit line is as thick as the DPI
// makes it, and the font is the template's point size at that DPI.
TEST_F(Win32TrendWindowTest, ChartsFollowTheWindowsDpi) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    if (const char* expected = std::getenv("QV_EXPECTED_DPI")) {
        EXPECT_EQ(dpi, std::atoi(expected)) << "the display's LogPixels";
    }
    EXPECT_FLOAT_EQ(window_.chartScale() * 96, static_cast<float>(dpi));

    LOGFONTW font{};
    ASSERT_NE(GetObjectW(window_.font(), sizeof font, &font), 0);
    const int points = qv::res::dialogTemplate(qv::res::kTrendDialogId).pointSize;
    EXPECT_EQ(font.lfHeight, -MulDiv(points, dpi, 72));

    qv::win32::OffscreenBitmap image(8, 16);
    ASSERT_TRUE(image.dc());
    PatBlt(image.dc(), 0, 0, image.width(), image.height(), WHITENESS);
    {
        qv::win32::GdiPainter painter(image.dc(), window_.font(), window_.chartScale());
        painter.setPen({}, 1.0f);
        painter.drawLine({0, 5}, {4, 5});
    }
    int dark = 0; // down the line's third column
    for (int y = 0; y < image.height(); ++y)
        dark += image.bits()[y * image.stride() + 2 * 4] < 128 ? 1 : 0;
    EXPECT_EQ(dark, qv::win32::scaledToDpi(1, static_cast<unsigned>(dpi)));
}

} // namespace
