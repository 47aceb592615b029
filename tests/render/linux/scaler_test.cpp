// pixman's separable convolution: a shrunk picture is an average of what it
// covers, not a sample of it.
#include <gtest/gtest.h>

#include "platform/scaler.h"

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
