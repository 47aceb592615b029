// .bmp files made by the tests, byte by byte, so that each test states the
// very layout it feeds in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace paneloom::testing {

struct BmpParts {
    std::int32_t width = 1;
    std::int32_t height = 1;  // negative: rows stored top-down
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t headerSize = 40;     // biSize as written; a larger one is padded with zero bytes
    std::vector<std::uint32_t> masks;  // written right after the header
    std::string table;                 // colour table bytes (RGBQUADs)
    std::string gap;                   // bytes between the table and the bits; bfOffBits points past them
    std::string bits;                  // pixel data as stored
};

// The whole file: file header (bfOffBits pointing at the bits, bfSize the
// file's length), information header, masks, table, gap, bits.
std::string MakeBmp(const BmpParts& bmp);

// Bytes in one stored row.
std::size_t Stride(std::int32_t width, std::uint16_t bitCount);

// Rows of a deterministic pattern, each padded with zero bytes. 16-bit
// pixels keep their top bit clear and 32-bit pixels their fourth byte 0, as
// X1R5G5B5 and X8R8G8B8 pixels have them.
std::string PatternRows(std::int32_t width, std::int32_t rows, std::uint16_t bitCount, unsigned seed = 1);

// `entries` colour-table entries of distinct colours, reserved bytes 0.
std::string PatternTable(std::size_t entries);

// The colour (0x00BBGGRR) of pixel x in the stored row `row` of BI_RGB
// data: through `table` up to 8 bits, X1R5G5B5 widened as GDI widens it
// at 16 bits.
std::uint32_t StoredColour(const std::string& bits, const std::string& table, std::int32_t width,
                           std::uint16_t bitCount, std::int32_t x, std::int32_t row);

// Little-endian fields of a file read back.
std::uint16_t U16At(const std::string& bytes, std::size_t offset);
std::uint32_t U32At(const std::string& bytes, std::size_t offset);

}  // namespace paneloom::testing
