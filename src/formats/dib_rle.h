// Walking the run-length encoded pixels of BI_RLE8 and BI_RLE4 bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/dib.h"

namespace paneloom::formats {

// Which encoding a stream uses: one 8-bit index a pixel, or two 4-bit ones
// a byte.
enum class RleForm { Rle8, Rle4 };

// Whether a header's pixels are a run-length encoded stream rather than rows.
inline bool IsRle(std::uint32_t compression) { return compression == kBiRle8 || compression == kBiRle4; }

// The form of a BI_RLE8 or BI_RLE4 header's stream.
inline RleForm RleFormOf(std::uint32_t compression) {
    return compression == kBiRle4 ? RleForm::Rle4 : RleForm::Rle8;
}

// Walks a stream of `length` bytes, bottom row first, and hands every pixel
// that falls inside a row of `width` pixels to `put(x, row, index)` (row 0
// is the bottom row; pixels past the end of a row are dropped, the cursor
// never wraps). True when the stream ends properly: at an end-of-bitmap
// marker, or at an end-of-line or delta that leaves the last of `height`
// rows. False when it runs past `length` before that; nothing is ever read
// beyond it.
template <class Put>
bool WalkRle(const std::uint8_t* stream, std::size_t length, RleForm form, std::int64_t width, std::int64_t height,
             Put&& put) {
    const bool fourBit = form == RleForm::Rle4;
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
            // An encoded run; RLE4 alternates the two nibbles of the value.
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
            case 2:  // delta: right and up
                if (length - pos < 2) return false;
                x += stream[pos];
                row += stream[pos + 1];
                pos += 2;
                if (row >= height) return true;
                break;
            default: {  // absolute run of `value` pixels, padded to a 16-bit word
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
