// .bmp files made by the tests, the benchmarks and the fuzz targets, byte by
// byte, so that each one states the very layout it feeds in. Written apart
// from the program's own format code, so that a fault there cannot hide in
// both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace paneloom::testing {

struct BmpParts {
    std::int32_t width = 1;
    std::int32_t height = 1;  // negative: rows stored top-down
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t sizeImage = 0;
    // biSize as written. 12 writes the core header (16-bit width and height,
    // planes and depth, nothing more); above 40 the masks go inside the
    // header, which is padded with zero bytes to its size (at most 124).
    std::uint32_t headerSize = 40;
    std::vector<std::uint32_t> masks;  // after a 40-byte header; inside a larger one (red, green, blue, alpha)
    std::string table;                 // colour table bytes (RGBQUADs, RGBTRIPLEs after a core header)
    std::string gap;                   // bytes between the table and the bits
    std::string bits;                  // pixel data as stored
    std::optional<std::uint32_t> offBits;  // bfOffBits; by default it points at the bits
};

// The whole file: file header (bfSize the file's length), information
// header, masks, table, gap, bits.
std::string MakeBmp(const BmpParts& bmp);

// The packed description without the file header, the gap or the bits:
// information header, masks and table, as CreateDIBitmap and GetDIBits take it.
std::string MakeDibInfo(const BmpParts& bmp);

// Bytes in one stored row.
std::size_t Stride(std::int32_t width, std::uint16_t bitCount);

// Rows of a deterministic pattern, each padded with zero bytes. 16-bit
// pixels keep their top bit clear and 32-bit pixels their fourth byte 0, as
// X1R5G5B5 and X8R8G8B8 pixels have them.
std::string PatternRows(std::int32_t width, std::int32_t rows, std::uint16_t bitCount, unsigned seed = 1);

// `entries` colour-table entries of distinct colours, reserved bytes 0.
std::string PatternTable(std::size_t entries);

// A file of that size and depth, with no colour table and no bits yet.
BmpParts BlankBmp(std::int32_t width, std::int32_t height, std::uint16_t bitCount = 24);

// A file of that size and depth with pattern rows and, up to 8 bits per
// pixel, a full pattern colour table.
BmpParts PatternBmp(std::int32_t width, std::int32_t height, std::uint16_t bitCount, unsigned seed = 1);

// The whole PatternBmp file as the program writes its pictures: biSizeImage
// filled in with the size of the bits.
std::string PatternBmpAsWritten(std::int32_t width, std::int32_t height, std::uint16_t bitCount, unsigned seed = 1);

// The colour (0x00BBGGRR) of pixel x in the stored row `row` of BI_RGB
// data: through `table` up to 8 bits, X1R5G5B5 widened as GDI widens it
// at 16 bits.
std::uint32_t StoredColour(const std::string& bits, const std::string& table, std::int32_t width,
                           std::uint16_t bitCount, std::int32_t x, std::int32_t row);

// Little-endian fields of a file read back.
std::uint16_t U16At(const std::string& bytes, std::size_t offset);
std::uint32_t U32At(const std::string& bytes, std::size_t offset);

}  // namespace paneloom::testing
