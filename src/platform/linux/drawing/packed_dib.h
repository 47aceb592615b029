// Conversions between our bitmap and the packed device-independent layout
// (formats/dib.h): what CreateDIBitmap and GetDIBits do on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/linux/drawing/dib.h"

namespace paneloom::platform::lnx {

// CreateDIBitmap for our screen: the description in `info` (the 40-byte
// information header, its masks and colour table, `infoSize` bytes) and the
// pixel data in `bits` (`bitsSize` bytes) become a 32-bit bitmap. Reads
// 1, 4, 8, 16, 24 and 32 bits per pixel, BI_RGB, BI_BITFIELDS (16 and 32
// bits), BI_RLE8 and BI_RLE4, rows bottom-up or top-down. With `bits` null
// (no CBM_INIT) the bitmap is made black, for SetScreenRows to fill. False,
// with `out` untouched, for any description that GDI would not take, that
// does not fit inside the two buffers, or whose bitmap would pass the
// platform loader's size limit (kMaxBmpPixelBytes).
bool UnpackToScreen(const std::uint8_t* info, std::size_t infoSize, const std::uint8_t* bits, std::size_t bitsSize,
                    Dib& out);

// SetDIBits for a screen bitmap made from the same description: the scan
// lines firstLine .. firstLine + lines - 1 (line 0 is the bottom one) of
// uncompressed bottom-up rows, packed in `bits` (at most `bitsSize` bytes
// read). Returns the lines set; 0 for a description that does not match the
// bitmap, compressed or top-down rows, or lines outside it.
int SetScreenRows(Dib& dib, std::uint32_t firstLine, std::uint32_t lines, const std::uint8_t* bits,
                  std::size_t bitsSize, const std::uint8_t* info, std::size_t infoSize);

// GetDIBits: completes the prepared header in `info` (image size and colour
// table; `infoSize` bytes of room) for `dib` at the header's depth (BI_RGB,
// the bitmap's own width and height) and, when `bits` is not null, writes
// the scan lines firstLine .. firstLine + lines - 1 (line 0 is the bottom
// one for a positive height) packed into `bits`, never more than `bitsSize`
// bytes. The colour table is the bitmap's own palette at its own depth, and
// `dcPalette` (the context's palette) for any other depth up to 8 bits.
// Returns the lines written (the bitmap's height for a header alone), 0 on
// failure.
int PackRows(const Dib& dib, const std::vector<RgbQuad>& dcPalette, std::uint32_t firstLine, std::uint32_t lines,
             std::uint8_t* bits, std::size_t bitsSize, std::uint8_t* info, std::size_t infoSize);

// The rows PackRows delivers for the header in `info`, where the bitmap
// keeps them so already (BI_RGB at its own depth and size, bottom-up): its
// own memory, line 0 first. Null otherwise.
const std::uint8_t* PackedRowsInPlace(const Dib& dib, const std::uint8_t* info, std::size_t infoSize);

}  // namespace paneloom::platform::lnx
