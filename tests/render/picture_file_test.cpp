// The preview's picture: the colours of the rows the writer converts, at
// every depth, through the real platform, and the file each name asks for.
#include "render/picture_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::ScratchDir;
using testing::U16At;
using testing::U32At;

TEST(PictureFile, RgbPixelsAreTheColoursTheWrittenBmpHoldsAtEveryDepth) {
    ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    for (const std::uint16_t depth : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        scratch.Write("in.bmp", testing::MakeBmp(testing::PatternBmp(37, 5, depth)));
        const platform::BitmapHandle bitmap = graphics.LoadBitmapFile("in.bmp");
        ASSERT_NE(nullptr, bitmap);
        ASSERT_TRUE(WritePicture("out.bmp", bitmap, nullptr));
        ASSERT_TRUE(WritePicture("out.PNG", bitmap, nullptr));
        std::unique_ptr<DibConversion> dib = BitmapToDIB(bitmap, nullptr);
        ASSERT_NE(nullptr, dib);
        RgbPicture picture;
        ASSERT_TRUE(ReadRgbPixels(*dib, picture));
        dib.reset();
        graphics.DeleteBitmap(bitmap);

        const std::string out = scratch.Read("out.bmp");
        const std::uint16_t written = U16At(out, 28);
        const std::string table = out.substr(54, U32At(out, 10) - 54);
        const std::string bits = out.substr(U32At(out, 10));
        ASSERT_EQ(37u, picture.width);
        ASSERT_EQ(5u, picture.height);
        std::size_t differing = 0;
        for (std::int32_t y = 0; y < 5; ++y) {
            for (std::int32_t x = 0; x < 37; ++x) {
                const std::uint32_t colour = testing::StoredColour(bits, table, 37, written, x, 4 - y);
                const std::uint8_t* p = &picture.rgb[(static_cast<std::size_t>(y) * 37 + x) * 3];
                differing += p[0] != (colour & 0xFF) || p[1] != ((colour >> 8) & 0xFF) ||
                             p[2] != ((colour >> 16) & 0xFF);
            }
        }
        EXPECT_EQ(0u, differing);
        EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), scratch.Read("out.PNG").substr(0, 8));
    }
}

TEST(PictureFile, OnlyANameEndingInPngAsksForPng) {
    for (const auto& [name, png] : std::vector<std::pair<std::string, bool>>{
             {"a.png", true}, {"A.PnG", true}, {"a.png.bmp", false}, {"png", false}, {"a.bmp", false}, {"a", false}}) {
        EXPECT_EQ(png, NamesPng(name)) << name;
    }
}

}  // namespace
}  // namespace paneloom
