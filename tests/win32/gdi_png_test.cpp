// The GDI painter drawing into the off-screen bitmap, and that bitmap written as PNG and
// read back through WIC's decoder, as another program would read it.

#include "app/win32/gdi_painter.h"
#include "app/win32/png_writer.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <wincodec.h>

namespace {

using qv::trend::Colour;

constexpr Colour kRed{200, 0, 0};
constexpr Colour kBlue{0, 0, 255};

// A picture with a fill, a wide line and a one-pixel outline at known places.
void drawPicture(qv::win32::GdiPainter& painter) {
    painter.fillRect({0, 0, 40, 30}, {255, 255, 255});
    painter.fillRect({10, 5, 10, 10}, kRed);
    painter.setPen(kBlue, 3.0f);
    painter.drawLine({2, 25}, {38, 25});
    painter.setPen({0, 0, 0}, 1.0f);
    painter.drawRect({25, 2, 10, 10});
}

struct Pixel {
    int x, y;
    Colour colour;
};

TEST(GdiPainterPng, DrawsWhereAskedAndTheFileReadsBackTheSame) {
    qv::win32::OffscreenBitmap bitmap(40, 30);
    ASSERT_NE(bitmap.dc(), nullptr);
    {
        qv::win32::GdiPainter painter(bitmap.dc(), nullptr);
        drawPicture(painter);
        EXPECT_GT(painter.textWidth("mean 45.1"), painter.textWidth("mean"));
        EXPECT_GT(painter.lineHeight(), 0.0f);
    }
    qv::test::TempFolder folder;
    const std::wstring path = (folder.path() / "chart.png").wstring();
    ASSERT_EQ(
        qv::win32::writePng(path, bitmap.width(), bitmap.height(), bitmap.stride(), bitmap.bits()),
        S_OK);

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IWICImagingFactory* factory = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IWICBitmapDecoder* decoder = nullptr;
    ASSERT_EQ(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                 WICDecodeMetadataCacheOnLoad, &decoder),
              S_OK);
    GUID container{};
    decoder->GetContainerFormat(&container);
    EXPECT_TRUE(IsEqualGUID(container, GUID_ContainerFormatPng));
    IWICBitmapFrameDecode* frame = nullptr;
    ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
    UINT width = 0, height = 0;
    frame->GetSize(&width, &height);
    EXPECT_EQ(width, 40u);
    EXPECT_EQ(height, 30u);
    IWICFormatConverter* converter = nullptr;
    factory->CreateFormatConverter(&converter);
    converter->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                          WICBitmapPaletteTypeCustom);
    std::vector<BYTE> pixels(40 * 30 * 4);
    ASSERT_EQ(
        converter->CopyPixels(nullptr, 40 * 4, static_cast<UINT>(pixels.size()), pixels.data()),
        S_OK);
    const Pixel rows[] = {
        {15, 10, kRed},           // inside the fill
        {9, 10, {255, 255, 255}}, // just left of it
        {20, 24, kBlue},          // the wide line, one pixel above its middle
        {25, 7, {0, 0, 0}},       // the outline's left side
        {35, 12, {0, 0, 0}},      // its bottom right corner
        {30, 7, {255, 255, 255}}, // its inside
    };
    for (const Pixel& row : rows) {
        const BYTE* p = &pixels[static_cast<std::size_t>((row.y * 40 + row.x) * 4)];
        EXPECT_EQ(RGB(p[2], p[1], p[0]), RGB(row.colour.red, row.colour.green, row.colour.blue))
            << row.x << "," << row.y;
    }
    converter->Release();
    frame->Release();
    decoder->Release();
    factory->Release();
    CoUninitialize();
}

} // namespace
