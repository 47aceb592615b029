#include "platform/win32/picture_codecs.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "formats/orientation.h"
#include "formats/picture.h"
#include "platform/win32/com_apartment.h"

namespace paneloom::platform::win32 {

namespace {

using Microsoft::WRL::ComPtr;

// Source rows are fetched this many bytes at a time.
constexpr std::size_t kBandBytes = std::size_t{1} << 19;

}  // namespace

HBITMAP DecodePicture(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return nullptr;
    // Wine's JPEG codec reads past its buffer on a cut file.
    const bool jpeg = formats::SniffPicture(bytes.data(), bytes.size()) == formats::PictureKind::Jpeg;
    if (jpeg && !formats::JpegHasItsEnd(bytes.data(), bytes.size())) return nullptr;
    // Wine's codecs decode every pixel as soon as they are handed the file:
    // the size its header declares is checked first.
    std::uint32_t declaredWidth = 0;
    std::uint32_t declaredHeight = 0;
    if (formats::DeclaredPictureSize(bytes.data(), bytes.size(), declaredWidth, declaredHeight) &&
        !formats::PictureFitsLimit(declaredWidth, declaredHeight)) {
        return nullptr;
    }
    ComApartment com;
    if (!com.Usable()) return nullptr;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf())))) {
        return nullptr;
    }
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(factory->CreateStream(stream.GetAddressOf())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.GetAddressOf())) ||
        FAILED(decoder->GetFrame(0, frame.GetAddressOf()))) {
        return nullptr;
    }
    UINT width = 0;
    UINT height = 0;
    if (FAILED(frame->GetSize(&width, &height)) || !formats::PictureFitsLimit(width, height)) return nullptr;

    ComPtr<IWICFormatConverter> converter;
    // Premultiplied colour is colour over black.
    if (FAILED(factory->CreateFormatConverter(converter.GetAddressOf())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom))) {
        return nullptr;
    }

    const int tag = jpeg ? formats::JpegExifOrientation(bytes.data(), bytes.size()) : 1;
    const formats::Orientation orientation(tag, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = orientation.UprightWidth();
    info.bmiHeader.biHeight = orientation.UprightHeight();  // bottom-up, as LoadImageA makes them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) {
        if (section != nullptr) DeleteObject(section);
        return nullptr;
    }

    const std::size_t stride = (static_cast<std::size_t>(info.bmiHeader.biWidth) * 3 + 3) & ~std::size_t{3};
    const auto uprightHeight = static_cast<std::size_t>(orientation.UprightHeight());
    auto* rows = static_cast<std::uint8_t*>(bits);
    auto pixelAt = [&](std::int32_t ux, std::int32_t uy) {
        return rows + stride * (uprightHeight - 1 - static_cast<std::size_t>(uy)) + 3 * static_cast<std::size_t>(ux);
    };

    const std::size_t sourceStride = 4 * std::size_t{width};
    const UINT band = static_cast<UINT>(std::max<std::size_t>(1, std::min<std::size_t>(height, kBandBytes / sourceStride)));
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(sourceStride * band);
    } catch (const std::bad_alloc&) {
        DeleteObject(section);
        return nullptr;
    }
    for (UINT first = 0; first < height; first += band) {
        const UINT count = std::min(band, height - first);
        const WICRect rect{0, static_cast<INT>(first), static_cast<INT>(width), static_cast<INT>(count)};
        if (FAILED(converter->CopyPixels(&rect, static_cast<UINT>(sourceStride), static_cast<UINT>(sourceStride * count),
                                         buffer.data()))) {
            DeleteObject(section);
            return nullptr;
        }
        for (UINT r = 0; r < count; ++r) {
            const std::uint8_t* in = buffer.data() + sourceStride * r;
            const auto y = static_cast<std::int32_t>(first + r);
            if (orientation.Upright()) {
                std::uint8_t* out = pixelAt(0, y);
                for (UINT x = 0; x < width; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
                continue;
            }
            for (UINT x = 0; x < width; ++x, in += 4) {
                std::int32_t ux = 0;
                std::int32_t uy = 0;
                orientation.Place(static_cast<std::int32_t>(x), y, ux, uy);
                std::memcpy(pixelAt(ux, uy), in, 3);
            }
        }
    }
    return section;
}

}  // namespace paneloom::platform::win32
