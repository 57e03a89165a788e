#include "app/win32/png_writer.h"

#include <wincodec.h>

namespace qv::win32 {
namespace {

// The owning reference of a COM interface, released when it goes.
template <typename T> class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_)
            p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** out() { return &p_; }

private:
    T* p_ = nullptr;
};

HRESULT encode(const std::wstring& path, int width, int height, int stride,
               const std::uint8_t* pixels) {
    ComRef<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
    if (FAILED(hr))
        return hr;
    // The GDI pixels as a bitmap source; the frame converts them to a format PNG has.
    ComRef<IWICBitmap> source;
    const auto size = static_cast<UINT>(stride) * static_cast<UINT>(height);
    hr = factory->CreateBitmapFromMemory(static_cast<UINT>(width), static_cast<UINT>(height),
                                         GUID_WICPixelFormat32bppBGR, static_cast<UINT>(stride),
                                         size, const_cast<BYTE*>(pixels), source.out());
    if (FAILED(hr))
        return hr;
    ComRef<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(stream.out())) ||
        FAILED(hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)))
        return hr;
    ComRef<IWICBitmapEncoder> encoder;
    if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) ||
        FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)))
        return hr;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(hr = encoder->CreateNewFrame(frame.out(), options.out())) ||
        FAILED(hr = frame->Initialize(options.get())) ||
        FAILED(hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) ||
        FAILED(hr = frame->SetPixelFormat(&format)) ||
        FAILED(hr = frame->WriteSource(source.get(), nullptr)) || FAILED(hr = frame->Commit()))
        return hr;
    return encoder->Commit();
}

} // namespace

HRESULT writePng(const std::wstring& path, int width, int height, int stride,
                 const std::uint8_t* pixels) {
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4)
        return E_INVALIDARG;
    // S_FALSE: COM was already initialised on this thread; the call pairs up either way.
    // RPC_E_CHANGED_MODE: another model is in use, which serves as well, and is not ours
    // to end.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT hr = encode(path, width, height, stride, pixels);
    if (SUCCEEDED(com))
        CoUninitialize();
    return hr;
}

} // namespace qv::win32
