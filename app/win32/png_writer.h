#pragma once

// PNG files of pixels drawn with GDI, through the Windows Imaging Component's own PNG
// encoder (windowscodecs: IWICImagingFactory, IWICBitmapEncoder). Any thread; it
// initialises COM for the call when the thread has not.

#include <windows.h>

#include <cstdint>
#include <string>

namespace qv::win32 {

// Writes `height` top-down rows of `width` 32-bit pixels (blue, green, red, unused),
// `stride` bytes apart, as a 24-bit PNG file at `path`, replacing a file of that name.
// S_OK, or the failing call's HRESULT (the file may then be partly written).
HRESULT writePng(const std::wstring& path, int width, int height, int stride,
                 const std::uint8_t* pixels);

} // namespace qv::win32
