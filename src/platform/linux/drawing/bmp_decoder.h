// Reads .bmp files into our own bitmap for the Linux build, standing in for
// LoadImageA(..., LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE):
// the bitmap keeps the file's own depth and, up to 8 bits per pixel, its
// colour table.
//
// What is understood:
//   - information headers of 12 (core), 40, 108 (V4) and 124 (V5) bytes;
//   - 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed (BI_RGB);
//   - BI_BITFIELDS at 16 and 32 bits per pixel, with any contiguous masks
//     (after a 40-byte header, or inside a V4/V5 header); 16-bit pixels are
//     converted to X1R5G5B5 and 32-bit pixels to blue, green, red, unused,
//     so the alpha channel is dropped;
//   - BI_RLE8 at 8 and BI_RLE4 at 4 bits per pixel, decoded into indexes;
//   - bottom-up (positive height) and top-down (negative height) rows, the
//     latter not with RLE.
// The pixel data is taken at bfOffBits as the platform loader does; a zero
// bfOffBits means "directly after the headers, masks and colour table".
//
// The decoder never trusts the file: everything it reads is checked to lie
// inside the buffer, and anything it cannot decode safely is refused as a
// whole. Refused in particular: a wrong signature; any other header size;
// planes other than 1; a width that is not positive, a zero height (or
// INT32_MIN); a decoded image above kMaxBmpPixelBytes; a colour count above
// 2^bpp at 8 bits per pixel or less; a colour table missing entirely;
// compression other than the four above, or not fitting the depth; masks
// that are not contiguous or reach beyond the pixel's bits (a zero mask is
// accepted: its channel reads 0); pixel data placed inside the headers or
// masks, or past the end of the file; uncompressed rows that do not all fit
// in the file; an RLE stream running past the end of the file (or past a
// nonzero biSizeImage), or ending before the image is complete. The colour
// table of a file above 8 bits per pixel (biClrUsed) is not read.
//
// Colour table: when bfOffBits comes before the end of the declared table,
// only the whole entries in front of the pixel data are kept (the table is
// clamped; indexes without an entry read as black). Every kept entry lies
// inside the file, so this never reads pixel bytes as colours.
//
// RLE: pixels of a run that would fall past the end of its row are dropped
// (the cursor never wraps to the next row); an end-of-line or delta that
// moves below the last row ends the decoding, keeping what was drawn so far.
// Nothing is ever written outside the bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/dib.h"
#include "platform/linux/drawing/dib.h"

namespace paneloom::platform::lnx {

// Largest decoded pixel buffer accepted (row stride times height): the
// readers' limit of 1 GiB. A tiny RLE file can describe a huge bitmap, so
// the cap also bounds what a hostile file can make us allocate.
inline constexpr std::uint64_t kMaxBmpPixelBytes = formats::kMaxPixelBytes;

// Largest RLE stream read into memory: 2 GiB, room for any stream of an
// accepted bitmap with generous overhead.
inline constexpr std::uint64_t kMaxBmpFileBytes = std::uint64_t{1} << 31;

// Decodes a whole .bmp file held in memory. Returns false, leaving `out`
// untouched, for anything it cannot decode safely. A pure function of the
// bytes: no global state, no input/output.
bool DecodeBmp(const std::uint8_t* data, std::size_t size, Dib& out);

// Decodes a file as DecodeBmp decodes it in memory, deciding everything from
// its first bytes and its size before any pixel is read: a file that does
// not hold what its headers describe, or that describes more than the
// limit, costs a read of its headers. The uncompressed bottom-up rows of a
// picture of 1 MiB and more are the file's own pages, mapped privately
// (file_mapping.h); other uncompressed rows are read straight into the
// bitmap; bit-field rows pass through a small buffer; an RLE stream is read
// whole. False when the file cannot be opened or is not a regular file
// (never waiting on a FIFO), cannot be read, or changes while it is read.
bool DecodeBmpFile(const std::string& path, Dib& out);

// The same for a regular file already open on `fd`, `size` bytes long (its
// descriptor stays open; what is read is read at given offsets).
bool DecodeBmpFrom(int fd, std::uint64_t size, Dib& out);

}  // namespace paneloom::platform::lnx
