#include "support/bmp_maker.h"

#include <algorithm>

namespace paneloom::testing {

namespace {

void PutU16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void PutU32(std::string& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

std::uint8_t Byte(const std::string& bytes, std::size_t offset) { return static_cast<std::uint8_t>(bytes[offset]); }

}  // namespace

std::string MakeDibInfo(const BmpParts& bmp) {
    std::string info;
    PutU32(info, bmp.headerSize);
    if (bmp.headerSize == 12) {
        PutU16(info, static_cast<std::uint32_t>(bmp.width));
        PutU16(info, static_cast<std::uint32_t>(bmp.height));
        PutU16(info, bmp.planes);
        PutU16(info, bmp.bitCount);
        return info + bmp.table;
    }
    PutU32(info, static_cast<std::uint32_t>(bmp.width));
    PutU32(info, static_cast<std::uint32_t>(bmp.height));
    PutU16(info, bmp.planes);
    PutU16(info, bmp.bitCount);
    PutU32(info, bmp.compression);
    PutU32(info, bmp.sizeImage);
    PutU32(info, 0);
    PutU32(info, 0);
    PutU32(info, bmp.clrUsed);
    PutU32(info, 0);
    if (bmp.headerSize > 40) {
        for (std::size_t i = 0; i < 4; ++i) PutU32(info, i < bmp.masks.size() ? bmp.masks[i] : 0);
        // Hostile sizes beyond the largest header are written but not filled.
        info.resize(std::max<std::size_t>(info.size(), std::min<std::uint32_t>(bmp.headerSize, 124)), '\0');
    } else {
        for (std::uint32_t mask : bmp.masks) PutU32(info, mask);
    }
    return info + bmp.table;
}

std::string MakeBmp(const BmpParts& bmp) {
    const std::string info = MakeDibInfo(bmp) + bmp.gap;
    std::string file = "BM";
    PutU32(file, static_cast<std::uint32_t>(14 + info.size() + bmp.bits.size()));
    PutU32(file, 0);
    PutU32(file, bmp.offBits.value_or(static_cast<std::uint32_t>(14 + info.size())));
    return file + info + bmp.bits;
}

std::size_t Stride(std::int32_t width, std::uint16_t bitCount) {
    return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
}

std::string PatternRows(std::int32_t width, std::int32_t rows, std::uint16_t bitCount, unsigned seed) {
    const std::size_t stride = Stride(width, bitCount);
    const std::size_t used = (static_cast<std::size_t>(width) * bitCount + 7) / 8;
    std::string bits(stride * static_cast<std::size_t>(rows), '\0');
    std::uint32_t state = seed * 2654435761u + 12345u;
    for (std::int32_t r = 0; r < rows; ++r) {
        for (std::size_t i = 0; i < used; ++i) {
            state = state * 1103515245u + 12345u;
            std::uint8_t value = static_cast<std::uint8_t>(state >> 16);
            if (bitCount == 16 && i % 2 == 1) value &= 0x7F;
            if (bitCount == 32 && i % 4 == 3) value = 0;
            bits[stride * static_cast<std::size_t>(r) + i] = static_cast<char>(value);
        }
        // Bits past the last pixel of a row are part of the padding.
        const std::size_t spare = used * 8 - static_cast<std::size_t>(width) * bitCount;
        if (spare != 0) {
            char& last = bits[stride * static_cast<std::size_t>(r) + used - 1];
            last = static_cast<char>(static_cast<std::uint8_t>(last) & (0xFF << spare));
        }
    }
    return bits;
}

std::string PatternTable(std::size_t entries) {
    std::string table;
    for (std::size_t i = 0; i < entries; ++i) {
        table += static_cast<char>((i * 37 + 11) & 0xFF);   // blue
        table += static_cast<char>((i * 91 + 7) & 0xFF);    // green
        table += static_cast<char>((255 - i * 13) & 0xFF);  // red
        table += '\0';
    }
    return table;
}

BmpParts BlankBmp(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
    BmpParts bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bitCount = bitCount;
    return bmp;
}

BmpParts PatternBmp(std::int32_t width, std::int32_t height, std::uint16_t bitCount, unsigned seed) {
    BmpParts bmp = BlankBmp(width, height, bitCount);
    bmp.table = PatternTable(bitCount <= 8 ? std::size_t{1} << bitCount : 0);
    bmp.bits = PatternRows(width, height < 0 ? -height : height, bitCount, seed);
    return bmp;
}

std::string PatternBmpAsWritten(std::int32_t width, std::int32_t height, std::uint16_t bitCount, unsigned seed) {
    BmpParts bmp = PatternBmp(width, height, bitCount, seed);
    bmp.sizeImage = static_cast<std::uint32_t>(bmp.bits.size());
    return MakeBmp(bmp);
}

std::uint32_t StoredColour(const std::string& bits, const std::string& table, std::int32_t width,
                           std::uint16_t bitCount, std::int32_t x, std::int32_t row) {
    const std::size_t base = Stride(width, bitCount) * static_cast<std::size_t>(row);
    auto pack = [](std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | (g << 8) | (b << 16); };
    switch (bitCount) {
        case 1:
        case 4:
        case 8: {
            const unsigned perByte = 8u / bitCount;
            const std::uint8_t byte = Byte(bits, base + static_cast<std::size_t>(x) / perByte);
            const unsigned shift = 8u - bitCount * (static_cast<unsigned>(x) % perByte + 1u);
            const std::size_t index = (byte >> shift) & ((1u << bitCount) - 1u);
            if (4 * index + 3 >= table.size()) return 0;
            return pack(Byte(table, 4 * index + 2), Byte(table, 4 * index + 1), Byte(table, 4 * index));
        }
        case 16: {
            const std::uint32_t v = U16At(bits, base + 2 * static_cast<std::size_t>(x));
            auto widen = [](std::uint32_t five) { return (five << 3) | (five >> 2); };
            return pack(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
        }
        case 24: {
            const std::size_t p = base + 3 * static_cast<std::size_t>(x);
            return pack(Byte(bits, p + 2), Byte(bits, p + 1), Byte(bits, p));
        }
        case 32: {
            const std::size_t p = base + 4 * static_cast<std::size_t>(x);
            return pack(Byte(bits, p + 2), Byte(bits, p + 1), Byte(bits, p));
        }
        default:
            return 0;
    }
}

std::uint16_t U16At(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(Byte(bytes, offset) | (Byte(bytes, offset + 1) << 8));
}

std::uint32_t U32At(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(U16At(bytes, offset)) | (static_cast<std::uint32_t>(U16At(bytes, offset + 2)) << 16);
}

}  // namespace paneloom::testing
