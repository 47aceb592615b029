#include "platform/linux/drawing/bmp_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "formats/dib.h"
#include "formats/dib_channels.h"
#include "formats/dib_rle.h"
#include "platform/linux/file_reader.h"

namespace paneloom::platform::lnx {

namespace {

using formats::InfoHeader;

// Everything the headers say that decoding needs, already checked for sense.
struct Layout {
    InfoHeader header;  // the core form in the 40-byte one's fields
    std::int32_t height = 0;  // number of rows, always positive
    bool topDown = false;
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue; BI_BITFIELDS only
    std::uint64_t tableOffset = 0;       // first colour-table entry
    std::uint64_t entrySize = formats::kRgbQuadSize;
    std::uint64_t colourCount = 0;       // declared entries, 8 bits per pixel or less
    std::uint64_t extraTable = 0;        // biClrUsed entries above 8 bits per pixel
};

bool IsKnownHeaderSize(std::uint32_t size) {
    return size == formats::kCoreHeaderSize || size == formats::kInfoHeaderSize || size == formats::kV4HeaderSize ||
           size == formats::kV5HeaderSize;
}

bool ReadLayout(const std::uint8_t* data, std::size_t size, Layout& layout) {
    if (size < formats::kFileHeaderSize + 4 || !formats::HasBmpSignature(data)) return false;
    const std::uint8_t* info = data + formats::kFileHeaderSize;
    const std::uint32_t headerSize = ReadU32(info);
    if (!IsKnownHeaderSize(headerSize) || size - formats::kFileHeaderSize < headerSize) return false;

    InfoHeader& h = layout.header;
    layout.tableOffset = formats::kFileHeaderSize + headerSize;
    if (headerSize == formats::kCoreHeaderSize) {
        h = InfoHeader::ReadCore(info);
        layout.entrySize = formats::kRgbTripleSize;
        if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24) return false;
    } else {
        h = InfoHeader::Read(info);
        if (h.compression == formats::kBiBitfields) {
            // A 40-byte header is followed by the three masks; the V4 and V5
            // headers carry them inside, at the same place.
            if (headerSize == formats::kInfoHeaderSize) {
                if (size - formats::kFileHeaderSize - headerSize < formats::kMaskBytes) return false;
                layout.tableOffset += formats::kMaskBytes;
            }
            for (int i = 0; i < 3; ++i) layout.masks[i] = ReadU32(info + formats::kInfoHeaderSize + 4 * i);
        }
    }
    if (h.planes != 1 || !formats::DescribesReadablePixels(h)) return false;
    layout.topDown = h.height < 0;
    layout.height = layout.topDown ? -h.height : h.height;

    if (h.bitCount <= 8) {
        layout.colourCount = formats::ColourCount(h);
        if (layout.colourCount > (std::uint64_t{1} << h.bitCount)) return false;
    } else {
        layout.extraTable = h.clrUsed;
    }
    return true;
}

// Where the pixel data starts: bfOffBits, or right after the colour table
// when bfOffBits is 0. Never inside the headers or masks, never past the end.
bool FindPixelOffset(const std::uint8_t* data, std::size_t size, const Layout& layout, std::uint64_t& offset) {
    const std::uint32_t offBits = formats::FileHeader::Read(data).offBits;
    if (offBits != 0) {
        offset = offBits;
    } else {
        const std::uint64_t entries = layout.header.bitCount <= 8 ? layout.colourCount : layout.extraTable;
        offset = layout.tableOffset + entries * layout.entrySize;
    }
    return offset >= layout.tableOffset && offset <= size;
}

// The colour table, clamped to the entries that lie before the pixel data.
bool ReadPalette(const std::uint8_t* data, const Layout& layout, std::uint64_t pixelOffset,
                 std::vector<RgbQuad>& palette) {
    const std::uint64_t room = (pixelOffset - layout.tableOffset) / layout.entrySize;
    const std::uint64_t entries = std::min(layout.colourCount, room);
    if (entries == 0) return false;  // indexes with no colours at all
    palette.resize(static_cast<std::size_t>(entries));
    const std::uint8_t* p = data + layout.tableOffset;
    for (RgbQuad& q : palette) {
        q = layout.entrySize == formats::kRgbQuadSize ? RgbQuad::Read(p) : RgbQuad::ReadTriple(p);
        p += layout.entrySize;
    }
    return true;
}

std::size_t DibRowFor(const Layout& layout, std::int64_t fileRow) {
    return static_cast<std::size_t>(layout.topDown ? fileRow : layout.height - 1 - fileRow);
}

void CopyRows(const std::uint8_t* src, const Layout& layout, Dib& dib) {
    const std::size_t stride = dib.Stride();
    for (std::int64_t r = 0; r < layout.height; ++r) {
        std::copy_n(src + stride * static_cast<std::size_t>(r), stride,
                    dib.bits.data() + stride * DibRowFor(layout, r));
    }
}

// Bit-field pixels become the ones our bitmap keeps: X1R5G5B5 at 16 bits
// (each channel at 8 bits, then its top 5, as GDI's loader stores them) and
// blue, green, red, unused at 32, so the alpha channel is dropped.
bool ConvertBitfields(const std::uint8_t* src, const Layout& layout, Dib& dib) {
    const unsigned bpp = layout.header.bitCount;
    for (std::uint32_t mask : layout.masks) {
        if (!formats::IsContiguousMask(mask, bpp)) return false;
    }
    const formats::Channel red = formats::Channel::FromMask(layout.masks[0]);
    const formats::Channel green = formats::Channel::FromMask(layout.masks[1]);
    const formats::Channel blue = formats::Channel::FromMask(layout.masks[2]);
    const std::size_t stride = dib.Stride();
    const std::size_t width = static_cast<std::size_t>(layout.header.width);
    for (std::int64_t r = 0; r < layout.height; ++r) {
        const std::uint8_t* in = src + stride * static_cast<std::size_t>(r);
        std::uint8_t* out = dib.bits.data() + stride * DibRowFor(layout, r);
        if (bpp == 16) {
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = ReadU16(in + 2 * x);
                const unsigned v = ((red.To8Bits(pixel) >> 3u) << 10) | ((green.To8Bits(pixel) >> 3u) << 5) |
                                   (blue.To8Bits(pixel) >> 3u);
                WriteU16(out + 2 * x, static_cast<std::uint16_t>(v));
            }
        } else {
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = ReadU32(in + 4 * x);
                out[4 * x] = blue.To8Bits(pixel);
                out[4 * x + 1] = green.To8Bits(pixel);
                out[4 * x + 2] = red.To8Bits(pixel);
                out[4 * x + 3] = 0;
            }
        }
    }
    return true;
}

// Decodes a BI_RLE8 or BI_RLE4 stream into the zeroed bitmap, as indexes at
// the bitmap's own depth.
bool DecodeRle(const std::uint8_t* stream, std::size_t length, formats::RleForm form, Dib& dib) {
    const bool fourBit = form == formats::RleForm::Rle4;
    const std::size_t stride = dib.Stride();
    return formats::WalkRle(stream, length, form, dib.width, dib.height,
                            [&](std::int64_t x, std::int64_t row, unsigned index) {
                                std::uint8_t* line =
                                    dib.bits.data() + stride * static_cast<std::size_t>(dib.height - 1 - row);
                                const auto px = static_cast<std::size_t>(x);
                                if (!fourBit) {
                                    line[px] = static_cast<std::uint8_t>(index);
                                    return;
                                }
                                std::uint8_t& byte = line[px / 2];
                                byte = (px % 2 == 0) ? static_cast<std::uint8_t>((byte & 0x0Fu) | (index << 4))
                                                     : static_cast<std::uint8_t>((byte & 0xF0u) | index);
                            });
}

}  // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, Dib& out) {
    if (data == nullptr) return false;
    Layout layout;
    if (!ReadLayout(data, size, layout)) return false;
    std::uint64_t pixelOffset = 0;
    if (!FindPixelOffset(data, size, layout, pixelOffset)) return false;

    const InfoHeader& h = layout.header;
    const std::size_t stride = DibStride(h.width, h.bitCount);
    if (stride == 0) return false;
    const std::uint64_t total = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(layout.height);
    if (total > kMaxBmpPixelBytes) return false;

    Dib dib;
    if (h.bitCount <= 8 && !ReadPalette(data, layout, pixelOffset, dib.palette)) return false;

    const std::uint8_t* pixels = data + pixelOffset;
    const std::uint64_t available = size - pixelOffset;
    if (h.compression == formats::kBiRle8 || h.compression == formats::kBiRle4) {
        if (h.sizeImage > available) return false;
        const std::uint64_t length = h.sizeImage != 0 ? h.sizeImage : available;
        if (!dib.Allocate(h.width, layout.height, h.bitCount)) return false;
        if (!DecodeRle(pixels, static_cast<std::size_t>(length), formats::RleFormOf(h.compression), dib)) return false;
    } else {
        // Uncompressed rows have the same stride in the file as in memory.
        if (available < total) return false;
        if (!dib.Allocate(h.width, layout.height, h.bitCount)) return false;
        if (h.compression == formats::kBiRgb) {
            CopyRows(pixels, layout, dib);
        } else if (!ConvertBitfields(pixels, layout, dib)) {
            return false;
        }
    }
    out = std::move(dib);
    return true;
}

bool DecodeBmpFile(const std::string& path, Dib& out) {
    // One read into a buffer of the file's own size: no growing buffer to
    // copy, and never more than the file and the bitmap in memory at once.
    struct stat info {};
    const int fd = OpenRegularFile(path, O_RDONLY, info);
    if (fd < 0) return false;
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > kMaxBmpFileBytes) {
        ::close(fd);
        return false;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]);
    std::size_t got = 0;
    const bool read = bytes != nullptr && ReadUpTo(fd, bytes.get(), size, got);
    ::close(fd);
    if (!read || got != size) return false;
    return DecodeBmp(bytes.get(), size, out);
}

}  // namespace paneloom::platform::lnx
