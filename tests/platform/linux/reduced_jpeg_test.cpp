// A JPEG loaded for a screen comes out at the smallest of libjpeg's scales
// that still gives what the screen needs, upright.
#include <gtest/gtest.h>

#include <vector>

#include "formats/dib.h"
#include "platform/graphics.h"
#include "support/picture_maker.h"
#include "support/scratch.h"

namespace paneloom::platform {
namespace {

TEST(ReducedJpeg, TheSmallestScaleThatStillCoversOrFits) {
    testing::ScratchDir scratch;
    const std::string jpeg = testing::GridAsJpeg(testing::PatternGrid(64, 48));
    scratch.Write("wide.jpg", jpeg);
    scratch.Write("turned.jpg", testing::WithExifOrientation(jpeg, 6));  // upright 48 x 64
    struct Case {
        const char* file;
        PictureNeed need;
        std::int32_t width, height;
    };
    const Case cases[] = {
        {"wide.jpg", {24, 18, true}, 24, 18},   // 3/8 exactly
        {"wide.jpg", {24, 30, true}, 40, 30},   // covering 30 rows takes 5/8
        {"wide.jpg", {24, 30, false}, 24, 18},  // fitting takes 3/8
        {"wide.jpg", {100, 10, true}, 64, 48},  // never enlarged
        {"wide.jpg", {0, 0, true}, 64, 48},     // no screen: its own size
        {"turned.jpg", {48, 64, true}, 48, 64},
        {"turned.jpg", {12, 16, false}, 12, 16},
    };
    Graphics& graphics = RealImpl<Graphics>();
    for (const Case& c : cases) {
        BitmapHandle bitmap = graphics.LoadBitmapFileFor(scratch.file(c.file), c.need);
        ASSERT_NE(nullptr, bitmap) << c.file;
        BitmapRecord record;
        ASSERT_TRUE(graphics.GetBitmapRecord(bitmap, record));
        EXPECT_EQ(c.width, record.width) << c.file << " " << c.need.width << "x" << c.need.height;
        EXPECT_EQ(c.height, record.height) << c.file << " " << c.need.width << "x" << c.need.height;
        graphics.DeleteBitmap(bitmap);
    }
}

// A bitmap's pixels as 32-bit rows, bottom-up, through the system.
std::vector<std::uint32_t> Pixels32(BitmapHandle bitmap) {
    Graphics& graphics = RealImpl<Graphics>();
    BitmapRecord record;
    if (!graphics.GetBitmapRecord(bitmap, record)) return {};
    std::vector<std::uint8_t> info(40 + 256 * 4, 0);
    formats::InfoHeader header;
    header.size = 40;
    header.width = record.width;
    header.height = record.height;
    header.planes = 1;
    header.bitCount = 32;
    header.compression = formats::kBiRgb;
    header.Write(info.data());
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(record.width) * static_cast<std::size_t>(record.height));
    DcHandle screen = graphics.GetScreenDC();
    const int lines = graphics.GetDeviceIndependentBits(screen, bitmap, 0, static_cast<std::uint32_t>(record.height),
                                                        reinterpret_cast<std::uint8_t*>(pixels.data()),
                                                        pixels.size() * 4, info.data(), info.size());
    graphics.ReleaseScreenDC(screen);
    if (lines != record.height) return {};
    for (std::uint32_t& pixel : pixels) pixel &= 0xFFFFFFu;
    return pixels;
}

TEST(ReducedJpeg, APictureForTheScreenHasThePixelsOfAPlainDecode) {
    // At its own size, for a screen (kept as the scaler reads it) or not,
    // upright or turned, a JPEG gives the same pixels.
    testing::ScratchDir scratch;
    const std::string jpeg = testing::GridAsJpeg(testing::PatternGrid(40, 24));
    scratch.Write("plain.jpg", jpeg);
    scratch.Write("turned.jpg", testing::WithExifOrientation(jpeg, 3));
    Graphics& graphics = RealImpl<Graphics>();
    for (const char* file : {"plain.jpg", "turned.jpg"}) {
        BitmapHandle plain = graphics.LoadBitmapFile(scratch.file(file));
        BitmapHandle forScreen = graphics.LoadBitmapFileFor(scratch.file(file), PictureNeed{40, 24, true});
        ASSERT_NE(nullptr, plain) << file;
        ASSERT_NE(nullptr, forScreen) << file;
        const std::vector<std::uint32_t> want = Pixels32(plain);
        EXPECT_EQ(40u * 24u, want.size()) << file;
        EXPECT_EQ(want, Pixels32(forScreen)) << file;
        graphics.DeleteBitmap(plain);
        graphics.DeleteBitmap(forScreen);
    }
}

}  // namespace
}  // namespace paneloom::platform
