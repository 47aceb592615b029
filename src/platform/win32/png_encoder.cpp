#include "platform/png_encoder.h"

// The imaging component's class and format identifiers are defined here
// rather than taken from its import library, which would import
// windowscodecs.dll; COM loads that library from the system itself.
#include <initguid.h>
#include <windows.h>
#include <wincodec.h>

#include "platform/win32/com_apartment.h"

namespace paneloom::platform {

namespace {

using Microsoft::WRL::ComPtr;
using win32::ComApartment;

bool StreamBytes(IStream* stream, std::vector<std::uint8_t>& png) {
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
    HGLOBAL global = nullptr;
    if (FAILED(GetHGlobalFromStream(stream, &global))) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(global));
    if (bytes == nullptr) return false;
    png.assign(bytes, bytes + static_cast<std::size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(global);
    return true;
}

class WicPngEncoder final : public PngEncoder {
public:
    bool Encode(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb,
                std::vector<std::uint8_t>& png) override {
        if (width == 0 || height == 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3) return false;
        ComApartment apartment;
        if (!apartment.Usable()) return false;
        ComPtr<IWICImagingFactory> factory;
        if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(factory.GetAddressOf()))))
            return false;
        ComPtr<IStream> stream;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()))) return false;
        ComPtr<IWICBitmapEncoder> encoder;
        if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.GetAddressOf())) ||
            FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)))
            return false;
        ComPtr<IWICBitmapFrameEncode> frame;
        ComPtr<IPropertyBag2> options;
        if (FAILED(encoder->CreateNewFrame(frame.GetAddressOf(), options.GetAddressOf())) || FAILED(frame->Initialize(options.Get())) ||
            FAILED(frame->SetSize(width, height)))
            return false;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) return false;

        // The encoder takes blue first.
        const std::size_t stride = static_cast<std::size_t>(width) * 3;
        std::vector<BYTE> bgr(rgb.begin(), rgb.end());
        for (std::size_t i = 0; i + 2 < bgr.size(); i += 3) std::swap(bgr[i], bgr[i + 2]);
        if (FAILED(frame->WritePixels(height, static_cast<UINT>(stride), static_cast<UINT>(bgr.size()), bgr.data())) ||
            FAILED(frame->Commit()) || FAILED(encoder->Commit()))
            return false;
        return StreamBytes(stream.Get(), png);
    }
};

}  // namespace

template <>
PngEncoder& RealImpl<PngEncoder>() {
    static WicPngEncoder encoder;
    return encoder;
}

}  // namespace paneloom::platform
