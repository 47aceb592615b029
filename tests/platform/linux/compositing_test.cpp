// Text laid onto our bitmap: the cell fill and glyph coverage, blended or
// thresholded by depth, and never written outside the bitmap wherever the
// text lies.
#include "platform/linux/drawing/compositing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/linux/white_dib.h"

namespace paneloom::platform::lnx {
namespace {

using paneloom::testing::InkBox;
using paneloom::testing::kBlack;
using paneloom::testing::kRed;
using paneloom::testing::kWhite;
using paneloom::testing::WhiteDib;

constexpr std::int64_t kFar = std::int64_t{1} << 40;

TEST(Compositing, FillRectTakesOnlyThePartInsideTheBitmap) {
    for (const std::uint16_t bpp : {32, 8}) {
        SCOPED_TRACE(bpp);
        Dib dib = WhiteDib(8, 6, bpp);
        FillRect(dib, -5, -5, 3, 2, kRed);
        const paneloom::testing::Box box = InkBox(dib, kWhite);
        EXPECT_EQ(box.left, 0);
        EXPECT_EQ(box.top, 0);
        EXPECT_EQ(box.right, 2);
        EXPECT_EQ(box.bottom, 1);
        EXPECT_EQ(box.count, 6);
    }

    Dib untouched = WhiteDib(8, 6, 32);
    FillRect(untouched, 4, 4, 4, 9, kRed);        // no width
    FillRect(untouched, 5, 3, 2, 1, kRed);        // inverted
    FillRect(untouched, kFar, 0, 2 * kFar, 6, kRed);  // right of the bitmap
    EXPECT_EQ(InkBox(untouched, kWhite).count, 0);

    // At palette depths the cell takes the nearest palette colour.
    Dib palette = WhiteDib(8, 6, 4);
    FillRect(palette, -kFar, -kFar, kFar, kFar, 0x303030);
    EXPECT_EQ(InkBox(palette, kBlack).count, 0);
}

TEST(Compositing, CoverageIsBlendedAboveEightBitsAndHalfCoverageDecidesBelow) {
    // Red at half coverage over white: red stays full, green and blue fall
    // to 127 (rounded from 127.5 down by the integer blend).
    for (const std::uint16_t bpp : {32, 24}) {
        SCOPED_TRACE(bpp);
        Dib dib = WhiteDib(4, 1, bpp);
        PaintCoverageRun(dib, 0, 0, 1, 255, kRed);
        PaintCoverageRun(dib, 1, 0, 1, 128, kRed);
        PaintCoverageRun(dib, 2, 0, 1, 0, kRed);
        EXPECT_EQ(dib.GetPixel(0, 0), kRed);
        EXPECT_EQ(dib.GetPixel(1, 0), 0x7F7FFFu);
        EXPECT_EQ(dib.GetPixel(2, 0), kWhite);
    }
    Dib words = WhiteDib(2, 1, 16);
    PaintCoverageRun(words, 0, 0, 1, 128, kRed);
    EXPECT_EQ(words.GetPixel(0, 0), 0x7B7BFFu);  // the blend kept to five bits a channel

    // A written 32-bit pixel keeps its fourth byte clear.
    Dib unused = WhiteDib(1, 1, 32);
    unused.bits[3] = 0xAA;
    PaintCoverageRun(unused, 0, 0, 1, 200, kRed);
    EXPECT_EQ(unused.bits[3], 0);

    // Palette depths: red is nearer black than white; the pixel changes
    // only where the glyph covers at least half of it.
    for (const std::uint16_t bpp : {1, 4, 8}) {
        SCOPED_TRACE(bpp);
        Dib dib = WhiteDib(2, 1, bpp);
        PaintCoverageRun(dib, 0, 0, 1, 127, kRed);
        PaintCoverageRun(dib, 1, 0, 1, 128, kRed);
        EXPECT_EQ(dib.GetPixel(0, 0), kWhite);
        EXPECT_EQ(dib.GetPixel(1, 0), kBlack);
    }
}

TEST(Compositing, RunsAndMasksAreClippedOnEverySide) {
    constexpr std::int32_t kWidth = 6;
    constexpr std::int32_t kHeight = 4;
    struct Run {
        std::int64_t x, y;
        unsigned length;
        int inside;
    };
    for (const std::uint16_t bpp : {32, 8}) {
        for (const Run& run : {Run{-3, 1, 5, 2}, Run{kWidth - 1, 2, 100, 1}, Run{0, -1, 6, 0}, Run{0, kHeight, 6, 0},
                               Run{-kFar, 0, 40, 0}, Run{kFar, 0, 40, 0}}) {
            SCOPED_TRACE(std::to_string(bpp) + " bits at " + std::to_string(run.x) + "," + std::to_string(run.y));
            Dib dib = WhiteDib(kWidth, kHeight, bpp);
            PaintCoverageRun(dib, run.x, run.y, run.length, 255, kRed);
            EXPECT_EQ(InkBox(dib, kWhite).count, run.inside);
        }
    }

    // A 3 x 3 mask with a hole in the middle.
    const std::vector<std::uint8_t> coverage = {255, 255, 255, 255, 0, 255, 255, 255, 255};
    const CoverageMask mask{coverage.data(), 3, 3};
    struct Place {
        std::int64_t left, top;
        int inside;
    };
    for (const std::uint16_t bpp : {32, 8}) {
        for (const Place& place : {Place{-1, -1, 3}, Place{kWidth - 2, kHeight - 2, 3}, Place{1, 0, 8},
                                   Place{kWidth, 0, 0}, Place{0, -3, 0}, Place{-kFar, kFar, 0}}) {
            SCOPED_TRACE(std::to_string(bpp) + " bits at " + std::to_string(place.left) + "," +
                         std::to_string(place.top));
            Dib dib = WhiteDib(kWidth, kHeight, bpp);
            PaintCoverageMask(dib, mask, place.left, place.top, kRed);
            EXPECT_EQ(InkBox(dib, kWhite).count, place.inside);
        }
    }
}

TEST(Compositing, PaletteColourIsTheNearestInThePaletteAsItIsNow) {
    // The same colour asked again after the palette changed finds the
    // entry nearest in the new palette.
    Dib dib = WhiteDib(2, 1, 8);
    FillRect(dib, 0, 0, 1, 1, 0x303030);
    dib.palette = {RgbQuad{255, 255, 255, 0}, RgbQuad{0, 0, 0, 0}};
    FillRect(dib, 1, 0, 2, 1, 0x303030);
    EXPECT_EQ(dib.Row(0)[0], 0);
    EXPECT_EQ(dib.Row(0)[1], 1);
    dib.palette.push_back(RgbQuad{0x30, 0x30, 0x30, 0});
    EXPECT_EQ(dib.NearestIndex(0x303030), 2u);
}

}  // namespace
}  // namespace paneloom::platform::lnx
