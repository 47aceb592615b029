#include "platform/linux/drawing/bmp_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "common/little_endian.h"

namespace paneloom::platform::lnx {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kV5HeaderSize = 124;
constexpr std::size_t kMaskBytes = 12;

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

// Two's-complement reading done by hand: a plain cast is implementation-defined
// before C++20.
std::int64_t ReadS32(const std::uint8_t* p) {
    const std::uint32_t v = ReadU32(p);
    return v < 0x80000000u ? static_cast<std::int64_t>(v)
                           : static_cast<std::int64_t>(v) - (std::int64_t{1} << 32);
}

// Everything the headers say that decoding needs, already checked for sense.
struct Layout {
    std::int32_t width = 0;
    std::int32_t height = 0;  // number of rows, always positive
    bool topDown = false;
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t sizeImage = 0;
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue; BI_BITFIELDS only
    std::uint64_t tableOffset = 0;       // first colour-table entry
    std::uint64_t entrySize = 4;         // 4 (RGBQUAD) or 3 (core RGBTRIPLE)
    std::uint64_t colourCount = 0;       // declared entries, 8 bits per pixel or less
    std::uint64_t extraTable = 0;        // biClrUsed entries above 8 bits per pixel
};

bool DepthFitsCompression(std::uint16_t bpp, std::uint32_t compression, bool topDown) {
    switch (compression) {
        case kBiRgb:
            return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
        case kBiRle8:
            return bpp == 8 && !topDown;  // RLE bitmaps are always bottom-up
        case kBiRle4:
            return bpp == 4 && !topDown;
        case kBiBitfields:
            return bpp == 16 || bpp == 32;
        default:
            return false;
    }
}

bool ReadLayout(const std::uint8_t* data, std::size_t size, Layout& layout) {
    if (size < kFileHeaderSize + 4) return false;
    if (data[0] != 'B' || data[1] != 'M') return false;
    const std::uint8_t* info = data + kFileHeaderSize;
    const std::uint32_t headerSize = ReadU32(info);
    if (headerSize != kCoreHeaderSize && headerSize != kInfoHeaderSize && headerSize != kV4HeaderSize &&
        headerSize != kV5HeaderSize) {
        return false;
    }
    if (size - kFileHeaderSize < headerSize) return false;

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t planes = 0;
    std::uint32_t clrUsed = 0;
    layout.tableOffset = kFileHeaderSize + headerSize;
    if (headerSize == kCoreHeaderSize) {
        // The OS/2 form: unsigned 16-bit dimensions, RGBTRIPLE colour table,
        // never compressed, never top-down.
        width = ReadU16(info + 4);
        height = ReadU16(info + 6);
        planes = ReadU16(info + 8);
        layout.bitsPerPixel = ReadU16(info + 10);
        layout.compression = kBiRgb;
        layout.entrySize = 3;
        if (layout.bitsPerPixel != 1 && layout.bitsPerPixel != 4 && layout.bitsPerPixel != 8 &&
            layout.bitsPerPixel != 24) {
            return false;
        }
    } else {
        width = ReadS32(info + 4);
        height = ReadS32(info + 8);
        planes = ReadU16(info + 12);
        layout.bitsPerPixel = ReadU16(info + 14);
        layout.compression = ReadU32(info + 16);
        layout.sizeImage = ReadU32(info + 20);
        clrUsed = ReadU32(info + 32);
        layout.entrySize = 4;
        if (layout.compression == kBiBitfields) {
            // A 40-byte header is followed by the three masks; the V4 and V5
            // headers carry them inside, at the same place.
            if (headerSize == kInfoHeaderSize) {
                if (size - kFileHeaderSize - headerSize < kMaskBytes) return false;
                layout.tableOffset += kMaskBytes;
            }
            for (int i = 0; i < 3; ++i) layout.masks[i] = ReadU32(info + kInfoHeaderSize + 4 * i);
        }
    }

    if (planes != 1) return false;
    if (width <= 0 || height == 0) return false;
    if (height < 0) {
        layout.topDown = true;
        height = -height;
    }
    // INT32_MIN has no positive counterpart in the bitmap's signed height.
    if (height > 0x7FFFFFFF) return false;
    layout.width = static_cast<std::int32_t>(width);
    layout.height = static_cast<std::int32_t>(height);
    if (!DepthFitsCompression(layout.bitsPerPixel, layout.compression, layout.topDown)) return false;

    if (layout.bitsPerPixel <= 8) {
        const std::uint64_t maxColours = std::uint64_t{1} << layout.bitsPerPixel;
        layout.colourCount = clrUsed != 0 ? clrUsed : maxColours;
        if (layout.colourCount > maxColours) return false;
    } else {
        layout.extraTable = clrUsed;
    }
    return true;
}

// Where the pixel data starts: bfOffBits, or right after the colour table
// when bfOffBits is 0. Never inside the headers or masks, never past the end.
bool FindPixelOffset(const std::uint8_t* data, std::size_t size, const Layout& layout, std::uint64_t& offset) {
    const std::uint32_t offBits = ReadU32(data + 10);
    if (offBits != 0) {
        offset = offBits;
    } else {
        const std::uint64_t entries = layout.bitsPerPixel <= 8 ? layout.colourCount : layout.extraTable;
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
        q.blue = p[0];
        q.green = p[1];
        q.red = p[2];
        q.reserved = layout.entrySize == 4 ? p[3] : 0;
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

// One colour channel of a BI_BITFIELDS pixel.
struct Channel {
    std::uint32_t mask = 0;
    unsigned shift = 0;
    unsigned bits = 0;  // 0: the channel always reads 0
};

bool MakeChannel(std::uint32_t mask, unsigned bitsPerPixel, Channel& channel) {
    channel = Channel{};
    if (mask == 0) return true;
    if (bitsPerPixel < 32 && (mask >> bitsPerPixel) != 0) return false;
    unsigned shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    const std::uint32_t value = mask >> shift;
    if ((value & (value + 1u)) != 0) return false;  // not one run of ones
    unsigned bits = 0;
    for (std::uint32_t v = value; v != 0; v >>= 1) ++bits;
    channel.mask = mask;
    channel.shift = shift;
    channel.bits = bits;
    return true;
}

// The channel's value rescaled to `toBits` bits: truncated when narrowing,
// rounded to the nearest level when widening (so full scale stays full).
unsigned Extract(std::uint32_t pixel, const Channel& c, unsigned toBits) {
    if (c.bits == 0) return 0;
    const std::uint32_t v = (pixel & c.mask) >> c.shift;
    if (c.bits >= toBits) return v >> (c.bits - toBits);
    const std::uint32_t maxFrom = (1u << c.bits) - 1u;
    const std::uint32_t maxTo = (1u << toBits) - 1u;
    return (v * maxTo + maxFrom / 2u) / maxFrom;
}

bool ConvertBitfields(const std::uint8_t* src, const Layout& layout, Dib& dib) {
    Channel red, green, blue;
    if (!MakeChannel(layout.masks[0], layout.bitsPerPixel, red) ||
        !MakeChannel(layout.masks[1], layout.bitsPerPixel, green) ||
        !MakeChannel(layout.masks[2], layout.bitsPerPixel, blue)) {
        return false;
    }
    const std::size_t stride = dib.Stride();
    const std::size_t width = static_cast<std::size_t>(layout.width);
    for (std::int64_t r = 0; r < layout.height; ++r) {
        const std::uint8_t* in = src + stride * static_cast<std::size_t>(r);
        std::uint8_t* out = dib.bits.data() + stride * DibRowFor(layout, r);
        if (layout.bitsPerPixel == 16) {
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = ReadU16(in + 2 * x);
                const unsigned v = (Extract(pixel, red, 5) << 10) | (Extract(pixel, green, 5) << 5) |
                                   Extract(pixel, blue, 5);
                out[2 * x] = static_cast<std::uint8_t>(v & 0xFFu);
                out[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        } else {
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = ReadU32(in + 4 * x);
                out[4 * x] = static_cast<std::uint8_t>(Extract(pixel, blue, 8));
                out[4 * x + 1] = static_cast<std::uint8_t>(Extract(pixel, green, 8));
                out[4 * x + 2] = static_cast<std::uint8_t>(Extract(pixel, red, 8));
                out[4 * x + 3] = 0;
            }
        }
    }
    return true;
}

// Decodes a BI_RLE8 or BI_RLE4 stream into the zeroed bitmap. Rows count
// from the bottom. Pixels beyond the right edge are dropped; leaving the image
// at the top ends the decoding. False when the stream runs out before the
// end-of-bitmap mark while rows remain to be drawn.
bool DecodeRle(const std::uint8_t* stream, std::size_t length, bool fourBit, Dib& dib) {
    const std::int64_t width = dib.width;
    const std::int64_t height = dib.height;
    const std::size_t stride = dib.Stride();
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::size_t pos = 0;

    // Writes `count` pixels from the cursor, taking pixel i's index from
    // indexAt(i); only the part that lies inside the row is written.
    auto emit = [&](std::int64_t count, auto indexAt) {
        const std::int64_t visible = std::max<std::int64_t>(0, std::min(count, width - x));
        std::uint8_t* row = dib.bits.data() + stride * static_cast<std::size_t>(height - 1 - y);
        for (std::int64_t i = 0; i < visible; ++i) {
            const std::size_t px = static_cast<std::size_t>(x + i);
            const unsigned index = indexAt(i);
            if (fourBit) {
                std::uint8_t& byte = row[px / 2];
                byte = (px % 2 == 0) ? static_cast<std::uint8_t>((byte & 0x0Fu) | (index << 4))
                                     : static_cast<std::uint8_t>((byte & 0xF0u) | index);
            } else {
                row[px] = static_cast<std::uint8_t>(index);
            }
        }
        x = std::min(x + count, width);
    };

    for (;;) {
        if (y >= height) return true;  // nothing further could land inside the image
        if (length - pos < 2) return false;
        const unsigned count = stream[pos];
        const unsigned value = stream[pos + 1];
        pos += 2;
        if (count != 0) {
            // Encoded run; RLE4 alternates the two nibbles of the value.
            emit(count, [&](std::int64_t i) {
                if (!fourBit) return value;
                return (i % 2 == 0) ? (value >> 4) : (value & 0x0Fu);
            });
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return true;
            case 2:  // delta: move right and up
                if (length - pos < 2) return false;
                x = std::min<std::int64_t>(x + stream[pos], width);
                y += stream[pos + 1];
                pos += 2;
                break;
            default: {  // absolute run of `value` pixels, padded to a 16-bit boundary
                const std::size_t bytes = fourBit ? (value + 1u) / 2u : value;
                const std::size_t padded = bytes + (bytes & 1u);
                if (length - pos < padded) return false;
                const std::uint8_t* run = stream + pos;
                emit(value, [&](std::int64_t i) {
                    if (!fourBit) return static_cast<unsigned>(run[i]);
                    const unsigned byte = run[i / 2];
                    return (i % 2 == 0) ? (byte >> 4) : (byte & 0x0Fu);
                });
                pos += padded;
                break;
            }
        }
    }
}

}  // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, Dib& out) {
    if (data == nullptr) return false;
    Layout layout;
    if (!ReadLayout(data, size, layout)) return false;
    std::uint64_t pixelOffset = 0;
    if (!FindPixelOffset(data, size, layout, pixelOffset)) return false;

    const std::size_t stride = DibStride(layout.width, layout.bitsPerPixel);
    if (stride == 0) return false;
    const std::uint64_t total = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(layout.height);
    if (total > kMaxBmpPixelBytes) return false;

    Dib dib;
    if (layout.bitsPerPixel <= 8 && !ReadPalette(data, layout, pixelOffset, dib.palette)) return false;

    const std::uint8_t* pixels = data + pixelOffset;
    const std::uint64_t available = size - pixelOffset;
    switch (layout.compression) {
        case kBiRgb:
        case kBiBitfields:
            // Uncompressed rows have the same stride in the file as in memory.
            if (available < total) return false;
            if (!dib.Allocate(layout.width, layout.height, layout.bitsPerPixel)) return false;
            if (layout.compression == kBiRgb) {
                CopyRows(pixels, layout, dib);
            } else if (!ConvertBitfields(pixels, layout, dib)) {
                return false;
            }
            break;
        case kBiRle8:
        case kBiRle4: {
            if (layout.sizeImage > available) return false;
            const std::uint64_t length = layout.sizeImage != 0 ? layout.sizeImage : available;
            if (!dib.Allocate(layout.width, layout.height, layout.bitsPerPixel)) return false;
            if (!DecodeRle(pixels, static_cast<std::size_t>(length), layout.compression == kBiRle4, dib)) {
                return false;
            }
            break;
        }
        default:
            return false;
    }
    out = std::move(dib);
    return true;
}

bool DecodeBmpFile(const std::string& path, Dib& out) {
    // One read into a buffer of the file's own size: no growing buffer to
    // copy, and never more than the file and the bitmap in memory at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uint64_t>(info.st_size) > kMaxBmpFileBytes) {
        ::close(fd);
        return false;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]);
    std::size_t total = 0;
    while (bytes != nullptr && total < size) {
        const ssize_t got = ::read(fd, bytes.get() + total, size - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (bytes == nullptr || total != size) return false;
    return DecodeBmp(bytes.get(), size, out);
}

}  // namespace paneloom::platform::lnx
