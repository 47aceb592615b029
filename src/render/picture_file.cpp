#include "render/picture_file.h"

#include <memory>

#include "common/format.h"
#include "common/scan.h"
#include "formats/dib.h"
#include "formats/dib_channels.h"
#include "log/error_log.h"
#include "platform/files.h"
#include "platform/png_encoder.h"

namespace paneloom {

namespace {

constexpr std::uint32_t kBandLines = 64;

struct Palette {
    std::vector<formats::RgbQuad> entries;
    formats::Channel red, green, blue;
};

void PutPixel(const Palette& palette, std::uint32_t index, std::uint8_t* out) {
    if (index < palette.entries.size()) {
        out[0] = palette.entries[index].red;
        out[1] = palette.entries[index].green;
        out[2] = palette.entries[index].blue;
    } else {
        out[0] = out[1] = out[2] = 0;
    }
}

void ConvertRow(const std::uint8_t* row, std::uint32_t width, std::uint32_t bitCount, const Palette& palette,
                std::uint8_t* out) {
    for (std::uint32_t x = 0; x < width; ++x, out += 3) {
        switch (bitCount) {
            case 1: PutPixel(palette, (row[x / 8] >> (7 - x % 8)) & 1u, out); break;
            case 4: PutPixel(palette, (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xFu, out); break;
            case 8: PutPixel(palette, row[x], out); break;
            case 16:
            case 32: {
                const std::uint32_t pixel = bitCount == 16 ? ReadU16(row + x * 2) : ReadU32(row + x * 4);
                out[0] = palette.red.To8Bits(pixel);
                out[1] = palette.green.To8Bits(pixel);
                out[2] = palette.blue.To8Bits(pixel);
                break;
            }
            default:  // 24
                out[0] = row[x * 3 + 2];
                out[1] = row[x * 3 + 1];
                out[2] = row[x * 3];
                break;
        }
    }
}

}  // namespace

bool ReadRgbPixels(DibConversion& dib, RgbPicture& picture) {
    const std::vector<std::uint8_t>& info = dib.Info();
    if (info.size() < formats::kInfoHeaderSize) return false;
    const formats::InfoHeader header = formats::InfoHeader::Read(info.data());
    const std::uint32_t bitCount = header.bitCount;
    if (header.width <= 0 || !formats::IsSupportedDepth(bitCount)) return false;
    if (header.compression != formats::kBiRgb &&
        !(header.compression == formats::kBiBitfields && (bitCount == 16 || bitCount == 32)))
        return false;

    Palette palette;
    if (bitCount <= 8) {
        const std::size_t entries = std::min<std::size_t>((info.size() - formats::kInfoHeaderSize) / formats::kRgbQuadSize,
                                                          std::size_t{1} << bitCount);
        for (std::size_t i = 0; i < entries; ++i) {
            palette.entries.push_back(
                formats::RgbQuad::Read(info.data() + formats::kInfoHeaderSize + i * formats::kRgbQuadSize));
        }
    } else {
        std::uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
        if (bitCount == 16) std::copy(formats::kRgb555Masks, formats::kRgb555Masks + 3, masks);
        if (header.compression == formats::kBiBitfields &&
            info.size() >= formats::kInfoHeaderSize + formats::kMaskBytes) {
            for (int i = 0; i < 3; ++i) masks[i] = ReadU32(info.data() + formats::kInfoHeaderSize + 4 * i);
        }
        palette.red = formats::Channel::FromMask(masks[0]);
        palette.green = formats::Channel::FromMask(masks[1]);
        palette.blue = formats::Channel::FromMask(masks[2]);
    }

    const std::uint32_t width = static_cast<std::uint32_t>(header.width);
    const std::uint32_t lines = dib.Lines();
    const std::uint64_t stride = dib.Stride();
    // Rows stored top-down when the height is negative.
    const bool topDown = header.height < 0;
    picture.width = width;
    picture.height = lines;
    picture.rgb.assign(static_cast<std::size_t>(width) * lines * 3, 0);
    std::vector<std::uint8_t> band(static_cast<std::size_t>(stride * kBandLines));
    const std::uint8_t* inPlace = dib.RowsInPlace();
    for (std::uint32_t first = 0; first < lines; first += kBandLines) {
        const std::uint32_t count = std::min(kBandLines, lines - first);
        const std::uint8_t* rows = inPlace != nullptr ? inPlace + first * stride : band.data();
        if (inPlace == nullptr && dib.FetchRows(first, count, band.data()) != count) return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t line = first + i;
            const std::uint32_t y = topDown ? line : lines - 1 - line;
            ConvertRow(rows + i * stride, width, bitCount, palette,
                       picture.rgb.data() + static_cast<std::size_t>(y) * width * 3);
        }
    }
    return true;
}

bool NamesPng(const std::string& path) { return EndsWith(LowerAscii(path), ".png"); }

bool WritePicture(const std::string& path, platform::BitmapHandle bitmap, platform::PaletteHandle palette) {
    std::unique_ptr<DibConversion> dib = BitmapToDIB(bitmap, palette);
    if (!NamesPng(path)) {
        // As WriteBMPImage writes it, but a file that was not written is
        // told to the caller as well.
        if (dib == nullptr) return false;
        if (WriteDIBFile(path, *dib) == platform::ReplaceResult::Replaced) return true;
        LogError(StringPrintf("Could not write <%s>!\n", path.c_str()));
        return false;
    }
    RgbPicture picture;
    std::vector<std::uint8_t> png;
    if (dib == nullptr || !ReadRgbPixels(*dib, picture) ||
        !platform::Get<platform::PngEncoder>().Encode(picture.width, picture.height, picture.rgb, png)) {
        LogError(StringPrintf("Could not make a PNG of the picture for <%s>!\n", path.c_str()));
        return false;
    }
    dib.reset();
    const platform::FileFiller fill = [&png](platform::FileSink& sink) {
        sink.Write(png.data(), png.size());
        return true;
    };
    if (platform::Get<platform::Files>().ReplaceWhole(path, fill) != platform::ReplaceResult::Replaced) {
        LogError(StringPrintf("Could not write <%s>!\n", path.c_str()));
        return false;
    }
    return true;
}

}  // namespace paneloom
