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

// What converting the rows of a packed description to the screen's 32 bits
// takes from its header, masks and colour table.
class ScreenRows {
public:
    // False for a description that GDI would not take or that does not fit
    // inside `infoSize` bytes.
    bool Read(const std::uint8_t* info, std::size_t infoSize) {
        if (info == nullptr || infoSize < formats::kInfoHeaderSize) return false;
        header = formats::InfoHeader::Read(info);
        if (header.size != formats::kInfoHeaderSize || !formats::DescribesReadablePixels(header)) return false;
        if (infoSize - formats::kInfoHeaderSize < formats::MasksAndTableBytes(header)) return false;
        topDown = header.height < 0;
        height = topDown ? -header.height : header.height;

        // Masks: given after the header for BI_BITFIELDS; X1R5G5B5 for plain
        // 16-bit pixels. Order: red, green, blue.
        std::size_t tableStart = formats::kInfoHeaderSize;
        if (header.compression == formats::kBiBitfields) {
            for (int i = 0; i < 3; ++i) channels_[i] = Channel::FromMask(ReadU32(info + tableStart + 4 * i));
            channelsUsed_ = channels_;
            tableStart += formats::kMaskBytes;
        } else if (header.bitCount == 16) {
            for (int i = 0; i < 3; ++i) channels_[i] = Channel::FromMask(formats::kRgb555Masks[i]);
            channelsUsed_ = channels_;
        }

        // Colour table: the entries GDI reads; indexes past them read black.
        const std::uint32_t entries = formats::TableEntriesRead(header);
        for (std::uint32_t i = 0; i < entries; ++i) {
            table[i] = RgbQuad::Read(info + tableStart + formats::kRgbQuadSize * i);
        }
        packed_ = PackedTable(table);
        return true;
    }

    bool Compressed() const {
        return formats::IsRle(header.compression);
    }

    // A screen bitmap of the description's size, zero; false past the
    // platform loader's size limit (a few bytes of RLE can describe any size).
    bool Allocate(Dib& dib) const {
        if (formats::RowStride(header.width, 32) * static_cast<std::uint64_t>(height) > kMaxBmpPixelBytes) return false;
        return dib.Allocate(header.width, height, 32);
    }

    // Uncompressed stored rows first .. first + count - 1 (in the order the
    // description stores them) from `src` into the screen bitmap.
    void Convert(const std::uint8_t* src, std::int32_t first, std::int32_t count, Dib& dib) const {
        const std::uint64_t stride = formats::RowStride(header.width, header.bitCount);
        for (std::int32_t r = 0; r < count; ++r) {
            const std::int32_t stored = first + r;
            ConvertRow(src + stride * static_cast<std::uint64_t>(r), dib.Row(topDown ? stored : height - 1 - stored),
                       header.width, header.bitCount, packed_, channelsUsed_);
        }
    }

    formats::InfoHeader header;
    bool topDown = false;
    std::int32_t height = 0;
    RgbQuad table[256];

private:
    Channel channels_[3];
    const Channel* channelsUsed_ = nullptr;
    PackedTable packed_{table};
};

}  // namespace

bool UnpackToScreen(const std::uint8_t* info, std::size_t infoSize, const std::uint8_t* bits, std::size_t bitsSize,
                    Dib& out) {
    ScreenRows rows;
    if (!rows.Read(info, infoSize)) return false;
    const formats::InfoHeader& h = rows.header;
    const std::int32_t height = rows.height;
    Dib result;
    if (!rows.Allocate(result)) return false;

    if (bits == nullptr) {
        // CreateDIBitmap without CBM_INIT: the rows come later.
    } else if (rows.Compressed()) {
        const std::size_t length = h.sizeImage != 0 ? std::min<std::size_t>(h.sizeImage, bitsSize) : bitsSize;
        const bool ended = formats::WalkRle(bits, length, formats::RleFormOf(h.compression), h.width, height,
                                            [&](std::int64_t x, std::int64_t row, unsigned index) {
                                                const RgbQuad& c = rows.table[index & 0xFFu];
                                                Put(result.Row(static_cast<std::int32_t>(height - 1 - row)) + 4 * x,
                                                    c.blue, c.green, c.red);
                                            });
        if (!ended) return false;
    } else {
        const std::uint64_t stride = formats::RowStride(h.width, h.bitCount);
        if (stride == 0 || stride > bitsSize / static_cast<std::uint64_t>(height)) return false;
        rows.Convert(bits, 0, height, result);
    }
    out = std::move(result);
    return true;
}

int SetScreenRows(Dib& dib, std::uint32_t firstLine, std::uint32_t lines, const std::uint8_t* bits,
                  std::size_t bitsSize, const std::uint8_t* info, std::size_t infoSize) {
    ScreenRows rows;
    if (bits == nullptr || !rows.Read(info, infoSize) || rows.Compressed() || rows.topDown) return 0;
    if (dib.bitsPerPixel != 32 || dib.width != rows.header.width || dib.height != rows.height || !dib.Valid()) return 0;
    const auto height = static_cast<std::uint32_t>(rows.height);
    if (firstLine >= height) return 0;
    const std::uint32_t count = std::min(lines, height - firstLine);
    const std::uint64_t stride = formats::RowStride(rows.header.width, rows.header.bitCount);
    if (stride == 0 || count > bitsSize / stride) return 0;
    rows.Convert(bits, static_cast<std::int32_t>(firstLine), static_cast<std::int32_t>(count), dib);
    return static_cast<int>(count);
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

const std::uint8_t* PackedRowsInPlace(const Dib& dib, const std::uint8_t* info, std::size_t infoSize) {
    if (!dib.Valid() || info == nullptr || infoSize < formats::kInfoHeaderSize) return nullptr;
    const formats::InfoHeader h = formats::InfoHeader::Read(info);
    const bool asKept = h.size == formats::kInfoHeaderSize && h.compression == formats::kBiRgb &&
                        h.bitCount == dib.bitsPerPixel && h.width == dib.width && h.height == dib.height;
    return asKept ? dib.bits.data() : nullptr;
}

}  // namespace paneloom::platform::lnx
