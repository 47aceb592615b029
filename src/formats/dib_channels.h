// The colour channels of 16- and 32-bit pixels: where a BI_BITFIELDS mask
// puts each one, and how a channel of any width becomes the 8 bits of a
// colour. The rule is GDI's, so that a picture reads the same on both builds.
#pragma once

#include <cstdint>

namespace paneloom::formats {

// The masks of an uncompressed 16-bit pixel (X1R5G5B5): red, green, blue.
inline constexpr std::uint32_t kRgb555Masks[3] = {0x7C00, 0x03E0, 0x001F};

// A channel value of `bits` bits at 8 bits. A wider one keeps its top 8
// bits. A narrower one moves to the top and its bits are repeated once below
// themselves, so 5 bits of 1 read 0x08 and of 31 read 0xFF, and channels of
// 4 bits or more reach full scale (one of 1 bit reads 0xC0, as in GDI).
inline std::uint8_t WidenTo8Bits(std::uint32_t value, unsigned bits) {
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    const std::uint32_t top = value << (8 - bits);
    return static_cast<std::uint8_t>(top | (top >> bits));
}

// One channel of a pixel: the run of bits from its mask's lowest set bit to
// its highest. A zero mask makes a channel of no bits that reads 0.
struct Channel {
    unsigned shift = 0;
    unsigned bits = 0;

    static Channel FromMask(std::uint32_t mask) {
        Channel channel;
        if (mask == 0) return channel;
        while (((mask >> channel.shift) & 1u) == 0) ++channel.shift;
        for (std::uint32_t rest = mask >> channel.shift; rest != 0; rest >>= 1) ++channel.bits;
        return channel;
    }

    std::uint32_t ValueIn(std::uint32_t pixel) const {
        const std::uint32_t mask = bits >= 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << bits) - 1u;
        return (pixel >> shift) & mask;
    }

    std::uint8_t To8Bits(std::uint32_t pixel) const { return bits == 0 ? 0 : WidenTo8Bits(ValueIn(pixel), bits); }
};

// True when `mask` is 0 or one run of set bits that lies inside a pixel of
// `bitCount` bits.
inline bool IsContiguousMask(std::uint32_t mask, unsigned bitCount) {
    if (mask == 0) return true;
    if (bitCount < 32 && (mask >> bitCount) != 0) return false;
    const Channel channel = Channel::FromMask(mask);
    const std::uint32_t run = mask >> channel.shift;
    return (run & (run + 1u)) == 0;
}

}  // namespace paneloom::formats
