#include "platform/linux/drawing/packed_dib.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "formats/dib.h"
#include "platform/linux/drawing/bmp_decoder.h"

namespace paneloom::platform::lnx {

namespace {

bool SupportedDepth(std::uint32_t bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// One colour channel of a 16- or 32-bit pixel, found by its mask.
struct Channel {
    unsigned shift = 0;
    unsigned width = 0;  // 0: the channel reads 0
};

Channel MakeChannel(std::uint32_t mask) {
    Channel channel;
    if (mask == 0) return channel;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++channel.shift;
    }
    while (mask != 0) {
        mask >>= 1;
        ++channel.width;
    }
    return channel;
}

// A channel value widened (or narrowed) to 8 bits by repeating its bits, as
// GDI widens 5-bit and 6-bit channels.
std::uint8_t Expand(std::uint32_t pixel, const Channel& c) {
    if (c.width == 0) return 0;
    const std::uint32_t value = (pixel >> c.shift) & ((c.width >= 32 ? 0u : (1u << c.width)) - 1u);
    if (c.width >= 8) return static_cast<std::uint8_t>(value >> (c.width - 8));
    std::uint32_t wide = value << (8 - c.width);
    for (unsigned filled = c.width; filled < 8; filled += c.width) wide |= wide >> c.width;
    return static_cast<std::uint8_t>(wide);
}

void Put(std::uint8_t* dst, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    dst[0] = blue;
    dst[1] = green;
    dst[2] = red;
    dst[3] = 0;
}

struct Colour {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
};

void ConvertRow(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, unsigned bpp,
                const Colour* table, const Channel* channels) {
    switch (bpp) {
        case 1:
        case 4:
        case 8: {
            const unsigned perByte = 8u / bpp;
            const unsigned mask = (1u << bpp) - 1u;
            for (std::int32_t x = 0; x < width; ++x) {
                const unsigned shift = 8u - bpp * (static_cast<unsigned>(x) % perByte + 1u);
                const Colour& c = table[(src[static_cast<std::size_t>(x) / perByte] >> shift) & mask];
                Put(dst + 4 * static_cast<std::size_t>(x), c.blue, c.green, c.red);
            }
            break;
        }
        case 16:
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint32_t v = formats::ReadU16(src + 2 * static_cast<std::size_t>(x));
                Put(dst + 4 * static_cast<std::size_t>(x), Expand(v, channels[2]), Expand(v, channels[1]),
                    Expand(v, channels[0]));
            }
            break;
        case 24:
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint8_t* p = src + 3 * static_cast<std::size_t>(x);
                Put(dst + 4 * static_cast<std::size_t>(x), p[0], p[1], p[2]);
            }
            break;
        case 32:
            if (channels == nullptr) {
                for (std::int32_t x = 0; x < width; ++x) {
                    const std::uint8_t* p = src + 4 * static_cast<std::size_t>(x);
                    Put(dst + 4 * static_cast<std::size_t>(x), p[0], p[1], p[2]);
                }
            } else {
                for (std::int32_t x = 0; x < width; ++x) {
                    const std::uint32_t v = formats::ReadU32(src + 4 * static_cast<std::size_t>(x));
                    Put(dst + 4 * static_cast<std::size_t>(x), Expand(v, channels[2]), Expand(v, channels[1]),
                        Expand(v, channels[0]));
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
    if (h.size != formats::kInfoHeaderSize || h.width <= 0 || h.height == 0 ||
        h.height == std::numeric_limits<std::int32_t>::min() || !SupportedDepth(h.bitCount)) {
        return false;
    }
    const bool topDown = h.height < 0;
    const std::int32_t height = topDown ? -h.height : h.height;
    const unsigned bpp = h.bitCount;
    switch (h.compression) {
        case formats::kBiRgb:
            break;
        case formats::kBiBitfields:
            if (bpp != 16 && bpp != 32) return false;
            break;
        case formats::kBiRle8:
            if (bpp != 8 || topDown) return false;
            break;
        case formats::kBiRle4:
            if (bpp != 4 || topDown) return false;
            break;
        default:
            return false;
    }

    // Masks: given after the header for BI_BITFIELDS; X1R5G5B5 for plain
    // 16-bit pixels. Order: red, green, blue.
    Channel channels[3];
    const Channel* channelsUsed = nullptr;
    std::size_t tableStart = formats::kInfoHeaderSize;
    if (h.compression == formats::kBiBitfields) {
        if (infoSize < formats::kInfoHeaderSize + formats::kMaskBytes) return false;
        for (int i = 0; i < 3; ++i) channels[i] = MakeChannel(formats::ReadU32(info + formats::kInfoHeaderSize + 4 * i));
        channelsUsed = channels;
        tableStart += formats::kMaskBytes;
    } else if (bpp == 16) {
        channels[0] = MakeChannel(0x7C00);
        channels[1] = MakeChannel(0x03E0);
        channels[2] = MakeChannel(0x001F);
        channelsUsed = channels;
    }

    // Colour table: biClrUsed entries, or the full 2^bpp; indexes past the
    // table read black.
    Colour table[256];
    if (bpp <= 8) {
        const std::uint32_t full = 1u << bpp;
        const std::uint32_t count = h.clrUsed != 0 && h.clrUsed < full ? h.clrUsed : full;
        if ((infoSize - tableStart) / formats::kRgbQuadSize < count) return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* q = info + tableStart + formats::kRgbQuadSize * i;
            table[i] = Colour{q[0], q[1], q[2]};
        }
    }

    // A few bytes of RLE can describe any size: the screen bitmap is held to
    // the platform loader's limit.
    if (formats::RowStride(h.width, 32) * static_cast<std::uint64_t>(height) > kMaxBmpPixelBytes) return false;
    Dib result;
    if (!result.Allocate(h.width, height, 32)) return false;

    if (h.compression == formats::kBiRle8 || h.compression == formats::kBiRle4) {
        const std::size_t length = h.sizeImage != 0 ? std::min<std::size_t>(h.sizeImage, bitsSize) : bitsSize;
        const bool ended = formats::WalkRle(bits, length, h.compression == formats::kBiRle4, h.width, height,
                                        [&](std::int64_t x, std::int64_t row, unsigned index) {
                                            const Colour& c = table[index & 0xFFu];
                                            Put(result.Row(static_cast<std::int32_t>(height - 1 - row)) + 4 * x,
                                                c.blue, c.green, c.red);
                                        });
        if (!ended) return false;
    } else {
        const std::uint64_t stride = formats::RowStride(h.width, bpp);
        if (stride == 0 || stride > bitsSize / static_cast<std::uint64_t>(height)) return false;
        for (std::int32_t r = 0; r < height; ++r) {
            const std::uint8_t* src = bits + stride * static_cast<std::uint64_t>(r);
            ConvertRow(src, result.Row(topDown ? r : height - 1 - r), h.width, bpp, table, channelsUsed);
        }
    }
    out = std::move(result);
    return true;
}

int PackRows(const Dib& dib, const std::vector<RgbQuad>& dcPalette, std::uint32_t firstLine, std::uint32_t lines,
             std::uint8_t* bits, std::size_t bitsSize, std::uint8_t* info, std::size_t infoSize) {
    if (!dib.Valid() || info == nullptr || infoSize < formats::kInfoHeaderSize) return 0;
    formats::InfoHeader h = formats::InfoHeader::Read(info);
    if (h.size != formats::kInfoHeaderSize || h.compression != formats::kBiRgb || !SupportedDepth(h.bitCount)) return 0;
    if (h.width != dib.width || (h.height != dib.height && h.height != -dib.height)) return 0;
    const bool topDown = h.height < 0;
    const unsigned bpp = h.bitCount;
    const std::uint64_t stride = formats::RowStride(dib.width, bpp);
    const std::size_t entries = bpp <= 8 ? std::size_t{1} << bpp : 0;
    if ((infoSize - formats::kInfoHeaderSize) / formats::kRgbQuadSize < entries) return 0;

    std::vector<RgbQuad> palette;
    if (entries != 0) {
        palette = bpp == dib.bitsPerPixel ? dib.palette : dcPalette;
        palette.resize(entries);
        for (std::size_t i = 0; i < entries; ++i) {
            std::uint8_t* q = info + formats::kInfoHeaderSize + formats::kRgbQuadSize * i;
            q[0] = palette[i].blue;
            q[1] = palette[i].green;
            q[2] = palette[i].red;
            q[3] = 0;
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
