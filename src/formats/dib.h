// The device-independent bitmap as a .bmp file stores it and as it crosses
// the drawing seam (a packed DIB: the file without its 14-byte file header):
// the information header, the bit-field masks, the colour table of RGBQUAD
// entries and the pixel rows, all little-endian. The layouts and the rules
// that tie their fields together are written here once, for the bitmap
// reader and writer and for both platform layers. dib_channels.h reads the
// colours of bit-field pixels; dib_rle.h walks compressed rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/little_endian.h"

namespace paneloom::formats {

inline constexpr std::size_t kFileHeaderSize = 14;   // BITMAPFILEHEADER
inline constexpr std::size_t kCoreHeaderSize = 12;   // BITMAPCOREHEADER
inline constexpr std::size_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
inline constexpr std::size_t kV4HeaderSize = 108;    // BITMAPV4HEADER
inline constexpr std::size_t kV5HeaderSize = 124;    // BITMAPV5HEADER
inline constexpr std::size_t kMaskBytes = 12;        // red, green and blue masks
inline constexpr std::size_t kRgbQuadSize = 4;       // colour-table entry
inline constexpr std::size_t kRgbTripleSize = 3;     // colour-table entry after a core header

// The largest bitmap a reader makes, in bytes of pixel rows: 1 GiB, room
// for 16384 x 16384 pixels at 32 bits. A few bytes of RLE, or a header
// alone, can describe any size; the limit bounds what a file can make the
// program allocate.
inline constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{1} << 30;

// biCompression.
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;

// Two's complement by hand: before C++20 a plain cast of a value above
// INT32_MAX is implementation-defined.
inline std::int32_t ReadS32(const std::uint8_t* p) {
    const std::uint32_t v = ReadU32(p);
    return v <= 0x7FFFFFFFu ? static_cast<std::int32_t>(v)
                            : static_cast<std::int32_t>(static_cast<std::int64_t>(v) - (std::int64_t{1} << 32));
}
inline void WriteS32(std::uint8_t* p, std::int32_t v) { WriteU32(p, static_cast<std::uint32_t>(v)); }

// True when `p` (at least two bytes) starts with the file signature "BM".
inline bool HasBmpSignature(const std::uint8_t* p) { return p[0] == 'B' && p[1] == 'M'; }

// BITMAPFILEHEADER: the signature, the file's size, two reserved words and
// the offset of the pixel bits from the start of the file.
struct FileHeader {
    std::uint32_t fileSize = 0;
    std::uint32_t offBits = 0;

    // `p` must hold kFileHeaderSize bytes; the signature is not checked.
    static FileHeader Read(const std::uint8_t* p) { return {ReadU32(p + 2), ReadU32(p + 10)}; }

    // Writes the signature, both fields and zero reserved words.
    void Write(std::uint8_t* p) const {
        p[0] = 'B';
        p[1] = 'M';
        WriteU32(p + 2, fileSize);
        WriteU32(p + 6, 0);
        WriteU32(p + 10, offBits);
    }
};

// BITMAPINFOHEADER, field by field. The V4 and V5 headers begin with the
// same fields and carry the masks right after them.
struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows stored top-down
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

    // The OS/2 form (`p` holds kCoreHeaderSize bytes) in the fields of the
    // 40-byte one: unsigned 16-bit dimensions, never compressed, bottom-up.
    static InfoHeader ReadCore(const std::uint8_t* p) {
        InfoHeader h;
        h.size = ReadU32(p);
        h.width = ReadU16(p + 4);
        h.height = ReadU16(p + 6);
        h.planes = ReadU16(p + 8);
        h.bitCount = ReadU16(p + 10);
        h.compression = kBiRgb;
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

// One colour-table entry (RGBQUAD).
struct RgbQuad {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;

    // `p` holds kRgbQuadSize bytes.
    static RgbQuad Read(const std::uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }
    // An RGBTRIPLE of a core header's table (kRgbTripleSize bytes).
    static RgbQuad ReadTriple(const std::uint8_t* p) { return {p[0], p[1], p[2], 0}; }
    void Write(std::uint8_t* p) const {
        p[0] = blue;
        p[1] = green;
        p[2] = red;
        p[3] = reserved;
    }
};

// Bytes in one stored row: whole 32-bit words. 0 for a width that is not
// positive; computed in 64 bits so that no width overflows it.
inline std::uint64_t RowStride(std::int64_t width, std::uint32_t bitCount) {
    if (width <= 0) return 0;
    return (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
}

// The depths GDI reads and writes: 1, 4, 8, 16, 24 and 32 bits per pixel.
bool IsSupportedDepth(std::uint32_t bitCount);

// Whether GDI can read the pixels the header describes: a positive width;
// a height that is neither 0 nor INT32_MIN; a supported depth with a
// compression that fits it (none at any depth, bit fields at 16 and 32
// bits, RLE8 at 8 and RLE4 at 4 bits, and RLE only bottom-up). The header's
// size and planes are the caller's to check.
bool DescribesReadablePixels(const InfoHeader& header);

// The header's colour count: biClrUsed when it is nonzero, otherwise 2 to
// the power of biBitCount (more than 256 for every depth above 8).
std::uint64_t ColourCount(const InfoHeader& header);

// The colour-table entries GDI reads after a header: up to 8 bits per
// pixel the colour count, but never more than the depth can index; none
// above 8 bits.
std::uint32_t TableEntriesRead(const InfoHeader& header);

// Bytes that GDI reads after a 40-byte header before the pixels: the masks
// of BI_BITFIELDS and the table entries it reads.
std::size_t MasksAndTableBytes(const InfoHeader& header);

// Whether a .bmp file of `fileSize` bytes, whose first bytes are `head`
// (`headSize` of them: the file header, the information header of any of
// the four forms and, after a 40-byte one, its masks), holds everything its
// headers point at: an information header of a known form, the colour
// table, and the pixel bits from bfOffBits (or, when it is 0, from the end
// of the table) for the rows the header gives. The platform loader reads
// such a file without looking; the question is asked before it is handed
// one.
bool BmpHoldsItsBits(const std::uint8_t* head, std::size_t headSize, std::uint64_t fileSize);

// The full colour table of a depth, as GetDIBits fills it and the written
// file holds it: 2^depth entries up to 8 bits per pixel, none above.
std::size_t FullTableBytes(std::uint32_t bitCount);

}  // namespace paneloom::formats
