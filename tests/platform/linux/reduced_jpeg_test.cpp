// A JPEG loaded for a screen comes out at the smallest of libjpeg's scales
// that still gives what the screen needs, upright.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace paneloom::platform
