// How the drawing layer of this build reads the colours of bit-field pixels,
// with the same expectations on both builds: under Wine they are GDI's own
// answers, on Linux our decoder's and our CreateDIBitmap's. A channel
// narrower than 8 bits moves to the top of the byte and its bits repeat once
// below it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/graphics.h"
#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::BmpParts;

constexpr std::uint32_t kBiBitfields = 3;

// One row of 16- or 32-bit pixels with bit-field masks (red, green, blue).
BmpParts BitFieldRow(std::uint16_t bitCount, std::vector<std::uint32_t> masks,
                     const std::vector<std::uint32_t>& pixels) {
    BmpParts bmp = testing::BlankBmp(static_cast<std::int32_t>(pixels.size()), 1, bitCount);
    bmp.compression = kBiBitfields;
    bmp.masks = std::move(masks);
    for (std::uint32_t pixel : pixels) {
        for (int i = 0; i < bitCount / 8; ++i) bmp.bits += static_cast<char>(pixel >> (8 * i));
    }
    bmp.bits.resize(testing::Stride(bmp.width, bitCount), '\0');
    return bmp;
}

class BitFieldColours : public ::testing::Test {
protected:
    // The colours (0x00BBGGRR) of a one-row bitmap, fetched at 32 bits.
    std::vector<std::uint32_t> Colours(platform::BitmapHandle bitmap, std::int32_t width) {
        std::vector<std::uint32_t> colours;
        if (bitmap == nullptr) return colours;
        std::string info = testing::MakeDibInfo(testing::BlankBmp(width, 1, 32));
        std::string rows(testing::Stride(width, 32), '\0');
        platform::DcHandle screen = graphics.GetScreenDC();
        const int lines = graphics.GetDeviceIndependentBits(
            screen, bitmap, 0, 1, reinterpret_cast<std::uint8_t*>(&rows[0]), rows.size(),
            reinterpret_cast<std::uint8_t*>(&info[0]), info.size());
        graphics.ReleaseScreenDC(screen);
        graphics.DeleteBitmap(bitmap);
        EXPECT_EQ(1, lines);
        for (std::int32_t x = 0; x < width; ++x) colours.push_back(testing::StoredColour(rows, "", width, 32, x, 0));
        return colours;
    }

    // Through CreateDIBitmap, as the screen-depth reader hands files over.
    std::vector<std::uint32_t> Unpacked(const BmpParts& bmp) {
        const std::string info = testing::MakeDibInfo(bmp);
        platform::DcHandle screen = graphics.GetScreenDC();
        platform::BitmapHandle bitmap = graphics.CreateDeviceBitmap(
            screen, reinterpret_cast<const std::uint8_t*>(info.data()), info.size(),
            reinterpret_cast<const std::uint8_t*>(bmp.bits.data()), bmp.bits.size());
        graphics.ReleaseScreenDC(screen);
        return Colours(bitmap, bmp.width);
    }

    // Through the platform loader, which keeps the file's depth.
    std::vector<std::uint32_t> Loaded(const BmpParts& bmp) {
        scratch.Write("fields.bmp", testing::MakeBmp(bmp));
        return Colours(graphics.LoadBitmapFile("fields.bmp"), bmp.width);
    }

    testing::ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
};

TEST_F(BitFieldColours, ChannelsOfOneToThreeBitsRepeatTheirBitsOnce) {
    // Blue 1 bit, green 2 bits, red 3 bits: every level of each.
    const BmpParts bmp = BitFieldRow(32, {0x700, 0x030, 0x001}, {0x000, 0x111, 0x221, 0x331, 0x731, 0x401});
    const std::vector<std::uint32_t> expected = {0x000000, 0xC05024, 0xC0A048, 0xC0F06C, 0xC0F0FC, 0xC00090};
    EXPECT_EQ(expected, Unpacked(bmp));
    EXPECT_EQ(expected, Loaded(bmp));
}

TEST_F(BitFieldColours, FiveAndSixBitChannelsAreNotRounded) {
    // 565: red 3 and 31, green 12 and 1, blue 24 and 30. Rounding to the
    // nearest level would read 0x19, 0x31 and 0xC5 for the first three.
    const BmpParts bmp = BitFieldRow(16, {0xF800, 0x07E0, 0x001F}, {0x1998, 0xF83E});
    EXPECT_EQ((std::vector<std::uint32_t>{0xC63018, 0xF704FF}), Unpacked(bmp));
    // Five bits in 32-bit pixels: red and green 3, blue 1.
    const BmpParts wide = BitFieldRow(32, {0x7C00, 0x03E0, 0x001F}, {0x0C61, 0x7FFF});
    const std::vector<std::uint32_t> expected = {0x081818, 0xFFFFFF};
    EXPECT_EQ(expected, Unpacked(wide));
    EXPECT_EQ(expected, Loaded(wide));
}

TEST_F(BitFieldColours, WideChannelsKeepTheirTopEightBits) {
    const BmpParts bmp = BitFieldRow(32, {0x3FF00000, 0x000FFC00, 0x000003FF},
                                     {(0x3FFu << 20) | (0x200u << 10) | 0x1FFu, (0x004u << 20) | 0x003u});
    const std::vector<std::uint32_t> expected = {0x7F80FF, 0x000001};
    EXPECT_EQ(expected, Unpacked(bmp));
    EXPECT_EQ(expected, Loaded(bmp));
}

}  // namespace
}  // namespace paneloom
