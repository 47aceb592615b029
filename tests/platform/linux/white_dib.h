// Bitmaps of the Linux drawing layer for the tests that draw on them: a
// white one of any depth, and where on it something was drawn.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/linux/drawing/dib.h"

namespace paneloom::testing {

inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kRed = 0x0000FF;
inline constexpr std::uint32_t kGreen = 0x00FF00;
inline constexpr std::uint32_t kBlue = 0xFF0000;

// A bitmap filled with white; palette bitmaps get black and white entries.
inline platform::lnx::Dib WhiteDib(std::int32_t width, std::int32_t height, std::uint16_t bpp) {
    platform::lnx::Dib dib;
    EXPECT_TRUE(dib.Allocate(width, height, bpp));
    if (bpp <= 8) dib.palette = {platform::lnx::RgbQuad{0, 0, 0, 0}, platform::lnx::RgbQuad{255, 255, 255, 0}};
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) dib.SetPixel(x, y, kWhite);
    return dib;
}

struct Box {
    std::int32_t left = std::numeric_limits<std::int32_t>::max();
    std::int32_t top = std::numeric_limits<std::int32_t>::max();
    std::int32_t right = -1;  // inclusive
    std::int32_t bottom = -1;
    int count = 0;
};

// Where the pixels that are not `background` are.
inline Box InkBox(const platform::lnx::Dib& dib, std::uint32_t background) {
    Box box;
    for (std::int32_t y = 0; y < dib.height; ++y) {
        for (std::int32_t x = 0; x < dib.width; ++x) {
            if (dib.GetPixel(x, y) == background) continue;
            ++box.count;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    }
    return box;
}

}  // namespace paneloom::testing
