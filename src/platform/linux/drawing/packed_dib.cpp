#include "platform/linux/drawing/packed_dib.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "formats/dib.h"
#include "formats/dib_channels.h"
#include "formats/dib_rle.h"
#include "platform/linux/drawing/bmp_decoder.h"

namespace paneloom::platform::lnx {

namespace {

using formats::Channel;

void Put(std::uint8_t* dst, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    dst[0] = blue;
    dst[1] = green;
    dst[2] = red;
    dst[3] = 0;
}

// Palette colours as the 32-bit pixels they become: blue, green, red,
// unused, in memory order.
struct PackedTable {
    std::uint8_t pixels[256][4];

    explicit PackedTable(const RgbQuad* table) {
        for (std::size_t i = 0; i < 256; ++i) {
            pixels[i][0] = table[i].blue;
            pixels[i][1] = table[i].green;
            pixels[i][2] = table[i].red;
            pixels[i][3] = 0;
        }
    }
};

// One row of any depth as blue, green, red, unused: palette indexes through
// `table`, 16- and 32-bit pixels through `channels` (red, green, blue) when
// there are any.
void ConvertRow(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, unsigned bpp, const PackedTable& table,
                const Channel* channels) {
    const auto count = static_cast<std::size_t>(width);
    switch (bpp) {
        case 8:
            for (std::size_t x = 0; x < count; ++x) std::memcpy(dst + 4 * x, table.pixels[src[x]], 4);
            break;
        case 1:
        case 4: {
            const unsigned perByte = 8u / bpp;
            const unsigned mask = (1u << bpp) - 1u;
            for (std::size_t x = 0; x < count; ++x) {
                const unsigned shift = 8u - bpp * (static_cast<unsigned>(x % perByte) + 1u);
                std::memcpy(dst + 4 * x, table.pixels[(src[x / perByte] >> shift) & mask], 4);
            }
            break;
        }
        case 16:
            for (std::size_t x = 0; x < count; ++x) {
                const std::uint32_t v = ReadU16(src + 2 * x);
                Put(dst + 4 * x, channels[2].To8Bits(v), channels[1].To8Bits(v), channels[0].To8Bits(v));
            }
            break;
        case 24:
            for (std::size_t x = 0; x < count; ++x) {
                const std::uint8_t* p = src + 3 * x;
                Put(dst + 4 * x, p[0], p[1], p[2]);
            }
            break;
        case 32:
            if (channels == nullptr) {
                for (std::size_t x = 0; x < count; ++x) {
                    const std::uint8_t* p = src + 4 * x;
                    Put(dst + 4 * x, p[0], p[1], p[2]);
                }
            } else {
                for (std::size_t x = 0; x < count; ++x) {
                    const std::uint32_t v = ReadU32(src + 4 * x);
                    Put(dst + 4 * x, channels[2].To8Bits(v), channels[1].To8Bits(v), channels[0].To8Bits(v));
                }
            }
            break;
        default:
            break;
    }
}

}  // namespace

bool UnpackToScreen(const std::uint8_t* info, std::size_t infoSize, const std::uint8_t* bits, std::size_t bitsSize,
                    Dib& out) {
    if (info == nullptr || bits == nullptr || infoSize < formats::kInfoHeaderSize) return false;
    const formats::InfoHeader h = formats::InfoHeader::Read(info);
    if (h.size != formats::kInfoHeaderSize || !formats::DescribesReadablePixels(h)) return false;
    if (infoSize - formats::kInfoHeaderSize < formats::MasksAndTableBytes(h)) return false;
    const bool topDown = h.height < 0;
    const std::int32_t height = topDown ? -h.height : h.height;
    const unsigned bpp = h.bitCount;

    // Masks: given after the header for BI_BITFIELDS; X1R5G5B5 for plain
    // 16-bit pixels. Order: red, green, blue.
    Channel channels[3];
    const Channel* channelsUsed = nullptr;
    std::size_t tableStart = formats::kInfoHeaderSize;
    if (h.compression == formats::kBiBitfields) {
        for (int i = 0; i < 3; ++i) channels[i] = Channel::FromMask(ReadU32(info + tableStart + 4 * i));
        channelsUsed = channels;
        tableStart += formats::kMaskBytes;
    } else if (bpp == 16) {
        for (int i = 0; i < 3; ++i) channels[i] = Channel::FromMask(formats::kRgb555Masks[i]);
        channelsUsed = channels;
    }

    // Colour table: the entries GDI reads; indexes past them read black.
    RgbQuad table[256];
    const std::uint32_t entries = formats::TableEntriesRead(h);
    for (std::uint32_t i = 0; i < entries; ++i) {
        table[i] = RgbQuad::Read(info + tableStart + formats::kRgbQuadSize * i);
    }
    const PackedTable packed(table);

    // A few bytes of RLE can describe any size: the screen bitmap is held to
    // the platform loader's limit.
    if (formats::RowStride(h.width, 32) * static_cast<std::uint64_t>(height) > kMaxBmpPixelBytes) return false;
    Dib result;
    if (!result.Allocate(h.width, height, 32)) return false;

    if (h.compression == formats::kBiRle8 || h.compression == formats::kBiRle4) {
        const std::size_t length = h.sizeImage != 0 ? std::min<std::size_t>(h.sizeImage, bitsSize) : bitsSize;
        const bool ended = formats::WalkRle(bits, length, formats::RleFormOf(h.compression), h.width, height,
                                            [&](std::int64_t x, std::int64_t row, unsigned index) {
                                                const RgbQuad& c = table[index & 0xFFu];
                                                Put(result.Row(static_cast<std::int32_t>(height - 1 - row)) + 4 * x,
                                                    c.blue, c.green, c.red);
                                            });
        if (!ended) return false;
    } else {
        const std::uint64_t stride = formats::RowStride(h.width, bpp);
        if (stride == 0 || stride > bitsSize / static_cast<std::uint64_t>(height)) return false;
        for (std::int32_t r = 0; r < height; ++r) {
            const std::uint8_t* src = bits + stride * static_cast<std::uint64_t>(r);
            ConvertRow(src, result.Row(topDown ? r : height - 1 - r), h.width, bpp, packed, channelsUsed);
        }
    }
    out = std::move(result);
    return true;
}

int PackRows(const Dib& dib, const std::vector<RgbQuad>& dcPalette, std::uint32_t firstLine, std::uint32_t lines,
             std::uint8_t* bits, std::size_t bitsSize, std::uint8_t* info, std::size_t infoSize) {
    if (!dib.Valid() || info == nullptr || infoSize < formats::kInfoHeaderSize) return 0;
    formats::InfoHeader h = formats::InfoHeader::Read(info);
    if (h.size != formats::kInfoHeaderSize || h.compression != formats::kBiRgb ||
        !formats::IsSupportedDepth(h.bitCount)) {
        return 0;
    }
    if (h.width != dib.width || (h.height != dib.height && h.height != -dib.height)) return 0;
    const bool topDown = h.height < 0;
    const unsigned bpp = h.bitCount;
    const std::uint64_t stride = formats::RowStride(dib.width, bpp);
    const std::size_t tableBytes = formats::FullTableBytes(bpp);
    if (infoSize - formats::kInfoHeaderSize < tableBytes) return 0;

    std::vector<RgbQuad> palette;
    if (tableBytes != 0) {
        const std::size_t entries = tableBytes / formats::kRgbQuadSize;
        palette = bpp == dib.bitsPerPixel ? dib.palette : dcPalette;
        palette.resize(entries);
        for (std::size_t i = 0; i < entries; ++i) {
            const RgbQuad entry{palette[i].blue, palette[i].green, palette[i].red, 0};
            entry.Write(info + formats::kInfoHeaderSize + formats::kRgbQuadSize * i);
        }
    }
    const std::uint64_t image = stride * static_cast<std::uint64_t>(dib.height);
    h.sizeImage = image <= std::numeric_limits<std::uint32_t>::max() ? static_cast<std::uint32_t>(image) : 0;
    h.Write(info);
    if (bits == nullptr) return dib.height;

    const auto height = static_cast<std::uint32_t>(dib.height);
    if (firstLine >= height) return 0;
    const std::uint32_t count = std::min(lines, height - firstLine);
    if (stride == 0 || count > bitsSize / stride) return 0;

    const bool sameDepth = bpp == dib.bitsPerPixel;
    Dib scratch;  // one row at the requested depth, for a change of depth
    if (!sameDepth) {
        if (!scratch.Allocate(dib.width, 1, static_cast<std::uint16_t>(bpp))) return 0;
        scratch.palette = palette;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t line = firstLine + i;
        const auto y = static_cast<std::int32_t>(topDown ? line : height - 1 - line);
        std::uint8_t* dst = bits + stride * i;
        if (sameDepth) {
            std::memcpy(dst, dib.Row(y), stride);
        } else {
            for (std::int32_t x = 0; x < dib.width; ++x) scratch.SetPixel(x, 0, dib.GetPixel(x, y));
            std::memcpy(dst, scratch.Row(0), stride);
        }
    }
    return static_cast<int>(count);
}

}  // namespace paneloom::platform::lnx
