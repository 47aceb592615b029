// The packed device-independent bitmap as it is stored in a .bmp file and
// handed across the drawing seam: a 14-byte file header (files only), the
// 40-byte information header, optional bit-field masks, the colour table of
// RGBQUAD entries and the pixel rows, all little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/little_endian.h"

namespace paneloom::formats {

inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::size_t kInfoHeaderSize = 40;
inline constexpr std::size_t kMaskBytes = 12;
inline constexpr std::size_t kRgbQuadSize = 4;

inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;

using paneloom::ReadU16;
using paneloom::ReadU32;
using paneloom::WriteU16;
using paneloom::WriteU32;
inline std::int32_t ReadS32(const std::uint8_t* p) { return static_cast<std::int32_t>(ReadU32(p)); }
inline void WriteS32(std::uint8_t* p, std::int32_t v) { WriteU32(p, static_cast<std::uint32_t>(v)); }

// BITMAPINFOHEADER, field by field.
struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;

    // `p` must hold kInfoHeaderSize bytes.
    static InfoHeader Read(const std::uint8_t* p) {
        InfoHeader h;
        h.size = ReadU32(p);
        h.width = ReadS32(p + 4);
        h.height = ReadS32(p + 8);
        h.planes = ReadU16(p + 12);
        h.bitCount = ReadU16(p + 14);
        h.compression = ReadU32(p + 16);
        h.sizeImage = ReadU32(p + 20);
        h.xPelsPerMeter = ReadS32(p + 24);
        h.yPelsPerMeter = ReadS32(p + 28);
        h.clrUsed = ReadU32(p + 32);
        h.clrImportant = ReadU32(p + 36);
        return h;
    }

    void Write(std::uint8_t* p) const {
        WriteU32(p, size);
        WriteS32(p + 4, width);
        WriteS32(p + 8, height);
        WriteU16(p + 12, planes);
        WriteU16(p + 14, bitCount);
        WriteU32(p + 16, compression);
        WriteU32(p + 20, sizeImage);
        WriteS32(p + 24, xPelsPerMeter);
        WriteS32(p + 28, yPelsPerMeter);
        WriteU32(p + 32, clrUsed);
        WriteU32(p + 36, clrImportant);
    }
};

// Bytes in one stored row: whole 32-bit words. 0 for a width that is not
// positive; computed in 64 bits so that no width overflows it.
inline std::uint64_t RowStride(std::int64_t width, std::uint32_t bitCount) {
    if (width <= 0) return 0;
    return (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
}

// Walks an RLE8 (`fourBit` false) or RLE4 stream of `length` bytes, bottom
// row first, and hands every pixel that falls inside a row of `width` pixels
// to `put(x, row, index)` (row 0 is the bottom row; pixels past the end of a
// row are dropped). True when the stream ends properly: at an end-of-bitmap
// marker, or at an end-of-line or delta that leaves the last of `height`
// rows. False when it runs past `length` before that; nothing is ever read
// beyond it.
template <class Put>
bool WalkRle(const std::uint8_t* stream, std::size_t length, bool fourBit, std::int64_t width, std::int64_t height,
             Put&& put) {
    std::size_t pos = 0;
    std::int64_t x = 0;
    std::int64_t row = 0;
    auto nibble = [](std::uint8_t byte, unsigned i) -> unsigned { return (i & 1u) ? byte & 0x0Fu : byte >> 4; };
    while (true) {
        if (length - pos < 2) return false;
        const std::uint8_t count = stream[pos];
        const std::uint8_t value = stream[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < width; ++i, ++x) {
                put(x, row, fourBit ? nibble(value, i) : value);
            }
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                if (++row >= height) return true;
                break;
            case 1:  // end of bitmap
                return true;
            case 2:  // delta
                if (length - pos < 2) return false;
                x += stream[pos];
                row += stream[pos + 1];
                pos += 2;
                if (row >= height) return true;
                break;
            default: {  // absolute run of `value` pixels, padded to a word
                const std::size_t bytes = fourBit ? (value + 1u) / 2u : value;
                const std::size_t padded = (bytes + 1u) & ~std::size_t{1};
                if (length - pos < padded) return false;
                for (unsigned i = 0; i < value && x < width; ++i, ++x) {
                    put(x, row, fourBit ? nibble(stream[pos + i / 2], i) : stream[pos + i]);
                }
                pos += padded;
                break;
            }
        }
    }
}

}  // namespace paneloom::formats
