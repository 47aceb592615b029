// pixman's separable convolution: a shrunk picture is an average of what it
// covers, not a sample of it.
#include <gtest/gtest.h>

#include "platform/scaler.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace paneloom::platform {
namespace {

TEST(PixmanScaler, ShrinkingAveragesAndGrowingKeepsFlatAreasFlat) {
    // A one-pixel checkerboard of black and white.
    Pixels board;
    board.width = 64;
    board.height = 64;
    for (std::int32_t y = 0; y < 64; ++y) {
        for (std::int32_t x = 0; x < 64; ++x) board.data.push_back(((x + y) % 2) != 0 ? 0xFFFFFFu : 0u);
    }
    struct Case {
        std::int32_t width, height;
    };
    for (const Case c : {Case{32, 32}, Case{21, 40}, Case{10, 10}}) {
        Pixels small;
        ASSERT_TRUE(RealImpl<Scaler>().Scale(board, {c.width, c.height, 0, 0, c.width, c.height}, small));
        ASSERT_EQ(static_cast<std::size_t>(c.width * c.height), small.data.size());
        for (std::int32_t y = 2; y < c.height - 2; ++y) {
            for (std::int32_t x = 2; x < c.width - 2; ++x) {
                const int green = static_cast<int>((small.At(x, y) >> 8) & 0xFF);
                EXPECT_NEAR(128, green, 24) << c.width << "x" << c.height << " at " << x << "," << y;
            }
        }
    }

    // Growing a flat picture changes none of its pixels, edges included.
    Pixels flat;
    flat.width = 3;
    flat.height = 2;
    flat.data.assign(6, 0x336699u);
    Pixels large;
    ASSERT_TRUE(RealImpl<Scaler>().Scale(flat, {30, 20, 0, 0, 30, 20}, large));
    for (std::uint32_t pixel : large.data) EXPECT_EQ(0x336699u, pixel & 0xFFFFFFu);
}

// Rows kept either way up, as a bitmap keeps them: `pixels` copied into
// `store`, described top row first.
PixelRows Kept(const Pixels& pixels, bool bottomUp, std::vector<std::uint32_t>& store) {
    store.assign(pixels.data.size(), 0);
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(pixels.width) * 4;
    auto* bytes = reinterpret_cast<std::uint8_t*>(store.data());
    PixelRows rows{bottomUp ? bytes + stride * (pixels.height - 1) : bytes, bottomUp ? -stride : stride, pixels.width,
                   pixels.height};
    for (std::int32_t y = 0; y < pixels.height; ++y) {
        std::memcpy(const_cast<std::uint32_t*>(rows.Row(y)), &pixels.data[static_cast<std::size_t>(y) * pixels.width],
                    static_cast<std::size_t>(pixels.width) * 4);
    }
    return rows;
}

TEST(PixmanScaler, RowsKeptEitherWayUpScaleAsThePixelsDo) {
    // A gradient, brighter down and to the right: a picture turned upside
    // down or shifted by a row would differ by far more than rounding.
    Pixels gradient;
    gradient.width = 90;
    gradient.height = 60;
    for (std::int32_t y = 0; y < 60; ++y) {
        for (std::int32_t x = 0; x < 90; ++x) {
            gradient.data.push_back(static_cast<std::uint32_t>(x * 2) << 16 | static_cast<std::uint32_t>(y * 4) << 8);
        }
    }
    struct Case {
        const char* name;
        ScaledPart part;
        bool sourceUp, targetUp;
    };
    const Case cases[] = {
        {"bilinear, cropped, source bottom-up", {75, 50, 5, 7, 60, 30}, true, false},
        {"bilinear, cropped, both bottom-up", {75, 50, 5, 7, 60, 30}, true, true},
        {"bilinear, target bottom-up", {120, 80, 30, 10, 60, 40}, false, true},
        {"convolution, cropped, source bottom-up", {40, 30, 4, 3, 30, 20}, true, false},
        {"convolution, cropped, both bottom-up", {40, 30, 4, 3, 30, 20}, true, true},
        {"convolution, target bottom-up", {30, 20, 0, 0, 30, 20}, false, true},
        {"two bilinear steps, cropped, source bottom-up", {80, 40, 6, 4, 60, 30}, true, false},
        {"two bilinear steps, cropped, both bottom-up", {80, 40, 6, 4, 60, 30}, true, true},
        {"two bilinear steps across, target bottom-up", {60, 50, 0, 5, 60, 40}, false, true},
    };
    Scaler& scaler = RealImpl<Scaler>();
    for (const Case& c : cases) {
        Pixels expected;
        ASSERT_TRUE(scaler.Scale(gradient, c.part, expected)) << c.name;
        std::vector<std::uint32_t> source;
        const PixelRows rows = Kept(gradient, c.sourceUp, source);
        std::vector<std::uint32_t> target(static_cast<std::size_t>(c.part.width) * c.part.height, 0);
        const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(c.part.width) * 4;
        auto* bytes = reinterpret_cast<std::uint8_t*>(target.data());
        const PixelRows written{c.targetUp ? bytes + stride * (c.part.height - 1) : bytes, c.targetUp ? -stride : stride,
                                c.part.width, c.part.height};
        ASSERT_TRUE(scaler.ScaleInto(rows, c.part, const_cast<std::uint8_t*>(written.first), written.stride)) << c.name;
        Pixels viaRows;
        ASSERT_TRUE(scaler.ScaleRows(rows, c.part, viaRows)) << c.name;
        int worst = 0;
        for (std::int32_t y = 0; y < c.part.height; ++y) {
            for (std::int32_t x = 0; x < c.part.width; ++x) {
                for (const std::uint32_t got : {written.Row(y)[x], viaRows.At(x, y)}) {
                    for (int shift : {8, 16}) {
                        const int a = static_cast<int>((expected.At(x, y) >> shift) & 0xFF);
                        const int b = static_cast<int>((got >> shift) & 0xFF);
                        worst = std::max(worst, std::abs(a - b));
                    }
                }
            }
        }
        EXPECT_LE(worst, 2) << c.name;
    }
}

TEST(PixmanScaler, NoSourceRowIsLeftOutWhateverTheShrink) {
    // A white line one pixel high on black, at every height in turn: the
    // shrunk picture still shows it (a filter that picks rows would drop
    // some), by at least a third of its share of the rows it falls in.
    struct Case {
        const char* name;
        std::int32_t from, to;  // rows
    };
    for (const Case c : {Case{"bilinear", 48, 40}, Case{"two bilinear steps", 100, 72},
                         Case{"two bilinear steps, more", 100, 57}, Case{"convolution", 48, 16}}) {
        const double shrink = static_cast<double>(c.from) / c.to;
        for (std::int32_t line = 0; line < c.from; ++line) {
            Pixels picture;
            picture.width = 8;
            picture.height = c.from;
            picture.data.assign(static_cast<std::size_t>(8 * c.from), 0);
            for (std::int32_t x = 0; x < 8; ++x) picture.data[static_cast<std::size_t>(line) * 8 + x] = 0xFFFFFFu;
            Pixels small;
            ASSERT_TRUE(RealImpl<Scaler>().Scale(picture, {8, c.to, 0, 0, 8, c.to}, small)) << c.name;
            int brightest = 0;
            for (std::int32_t y = 0; y < c.to; ++y) {
                brightest = std::max(brightest, static_cast<int>((small.At(4, y) >> 8) & 0xFF));
            }
            EXPECT_GE(brightest, static_cast<int>(255 / (3 * shrink))) << c.name << ", line " << line;
        }
    }
}

TEST(PixmanScaler, APartThatDoesNotFitTheScaledPictureIsRefused) {
    Pixels one;
    one.width = 1;
    one.height = 1;
    one.data = {0};
    Pixels untouched;
    EXPECT_FALSE(RealImpl<Scaler>().Scale(one, {10, 10, 5, 0, 6, 10}, untouched));
    EXPECT_FALSE(RealImpl<Scaler>().Scale(one, {0, 10, 0, 0, 0, 10}, untouched));
    EXPECT_TRUE(untouched.data.empty());
}

}  // namespace
}  // namespace paneloom::platform
