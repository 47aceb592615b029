// The Windows scaler: the imaging component's (WIC) own bitmap scaler,
// started through COM at the first scaling, so a run that scales nothing
// never loads it.
#include "platform/scaler.h"

#include <windows.h>
#include <wincodec.h>

#include "platform/win32/com_apartment.h"

namespace paneloom::platform {

namespace {

using Microsoft::WRL::ComPtr;
using win32::ComApartment;

// Written out here rather than linked from an import library, which would
// make the program import the codec library by name.
const CLSID kImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
const GUID kPixelFormat32bppBGR = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0e}};
// Windows 10 and later; Fant where it is missing.
constexpr auto kHighQualityCubic = static_cast<WICBitmapInterpolationMode>(4);

class WicScaler final : public Scaler {
public:
    bool Scale(const Pixels& source, const ScaledPart& part, Pixels& result) override {
        if (!part.Valid() || source.width < 1 || source.height < 1 ||
            source.data.size() != static_cast<std::size_t>(source.width) * static_cast<std::size_t>(source.height)) {
            return false;
        }
        const std::uint64_t sourceBytes = static_cast<std::uint64_t>(source.data.size()) * 4;
        const std::uint64_t partBytes = static_cast<std::uint64_t>(part.width) * static_cast<std::uint64_t>(part.height) * 4;
        if (sourceBytes > 0xFFFFFFFFu || partBytes > 0xFFFFFFFFu) return false;

        ComApartment com;
        if (!com.Usable()) return false;
        ComPtr<IWICImagingFactory> factory;
        if (FAILED(CoCreateInstance(kImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
                                    reinterpret_cast<void**>(factory.GetAddressOf())))) {
            return false;
        }
        ComPtr<IWICBitmap> bitmap;
        if (FAILED(factory->CreateBitmapFromMemory(
                static_cast<UINT>(source.width), static_cast<UINT>(source.height), kPixelFormat32bppBGR,
                static_cast<UINT>(source.width) * 4, static_cast<UINT>(sourceBytes),
                reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(source.data.data())), bitmap.GetAddressOf()))) {
            return false;
        }
        ComPtr<IWICBitmapScaler> scaler;
        if (FAILED(factory->CreateBitmapScaler(scaler.GetAddressOf()))) return false;
        const UINT width = static_cast<UINT>(part.scaledWidth);
        const UINT height = static_cast<UINT>(part.scaledHeight);
        if (FAILED(scaler->Initialize(bitmap.Get(), width, height, kHighQualityCubic)) &&
            FAILED(scaler->Initialize(bitmap.Get(), width, height, WICBitmapInterpolationModeFant))) {
            return false;
        }
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(part.width) * static_cast<std::size_t>(part.height));
        const WICRect rect = {part.left, part.top, part.width, part.height};
        if (FAILED(scaler->CopyPixels(&rect, static_cast<UINT>(part.width) * 4, static_cast<UINT>(partBytes),
                                      reinterpret_cast<BYTE*>(pixels.data())))) {
            return false;
        }
        result.width = part.width;
        result.height = part.height;
        result.data.swap(pixels);
        return true;
    }
};

}  // namespace

template <>
Scaler& RealImpl<Scaler>() {
    static WicScaler scaler;
    return scaler;
}

}  // namespace paneloom::platform
