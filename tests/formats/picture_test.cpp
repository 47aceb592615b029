// The portable side of picture reading: telling formats apart by content,
// the sizes headers declare and the limit, the JPEG checks made before a
// codec sees a file, EXIF orientation, and the .bmp check made before the
// platform loader sees one.
#include "formats/picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/dib.h"
#include "formats/orientation.h"
#include "support/bmp_maker.h"
#include "support/picture_maker.h"

namespace paneloom::formats {
namespace {

const std::uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

TEST(PictureSniffing, TheFirstBytesTellTheFormat) {
    const struct {
        std::string head;
        PictureKind kind;
    } cases[] = {
        {"BM\x36\0\0\0", PictureKind::Bmp},
        {"\xFF\xD8\xFF\xE0", PictureKind::Jpeg},
        {"\x89PNG\r\n\x1A\n", PictureKind::Png},
        {"GIF89a", PictureKind::Gif},
        {"GIF87a", PictureKind::Gif},
        {std::string("II*\0", 4), PictureKind::Tiff},
        {std::string("MM\0*", 4), PictureKind::Tiff},
        {std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), PictureKind::WebP},
        {std::string("RIFF\x10\0\0\0WAVEfmt ", 16), PictureKind::Unknown},
        {"\x89PNG\r\n", PictureKind::Unknown},  // cut short
        {"\xFF\xD8", PictureKind::Unknown},
        {"B", PictureKind::Unknown},
        {"", PictureKind::Unknown},
        {"<html>", PictureKind::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(c.kind, SniffPicture(Bytes(c.head), c.head.size())) << c.head;
    EXPECT_EQ(PictureKind::Unknown, SniffPicture(nullptr, 0));
}

TEST(PictureLimit, SizesAreHeldToTheBitmapLimitAtThirtyTwoBits) {
    EXPECT_TRUE(PictureFitsLimit(1, 1));
    EXPECT_TRUE(PictureFitsLimit(16384, 16384));  // exactly 1 GiB at 32 bits
    EXPECT_FALSE(PictureFitsLimit(16384, 16385));
    EXPECT_TRUE(PictureFitsLimit(6000, 4000));
    EXPECT_FALSE(PictureFitsLimit(100000, 100000));
    EXPECT_FALSE(PictureFitsLimit(65500, 65500));
    EXPECT_FALSE(PictureFitsLimit(0, 10));
    EXPECT_FALSE(PictureFitsLimit(10, 0));
    EXPECT_FALSE(PictureFitsLimit(0x80000000u, 1));
    EXPECT_TRUE(PictureFitsLimit(1, 0x7FFFFFFF / 8));  // a column is cheap
}

TEST(PictureHeaders, DeclaredSizesAreReadFromTheFirstSegments) {
    const std::string png = testing::GiantPngHeader(100000, 70000);
    const std::string jpeg = testing::GiantJpegHeader(65500, 300);
    const std::string exifJpeg = testing::WithExifOrientation(testing::GiantJpegHeader(640, 480), 6);
    const std::string gif("GIF89a\x80\x02\xE0\x01", 10);
    const struct {
        const char* name;
        std::string bytes;
        bool known;
        std::uint32_t width, height;
    } cases[] = {
        {"png", png, true, 100000, 70000},
        {"jpeg", jpeg, true, 65500, 300},
        {"jpeg after an EXIF segment", exifJpeg, true, 640, 480},
        {"gif", gif, true, 640, 480},
        {"png cut before IHDR's end", png.substr(0, 20), false, 0, 0},
        {"jpeg cut before its frame", jpeg.substr(0, 30), false, 0, 0},
        {"bmp", testing::MakeBmp(testing::PatternBmp(2, 2, 24)), false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t width = 0, height = 0;
        ASSERT_EQ(c.known, DeclaredPictureSize(Bytes(c.bytes), c.bytes.size(), width, height));
        if (!c.known) continue;
        EXPECT_EQ(c.width, width);
        EXPECT_EQ(c.height, height);
    }
}

TEST(PictureHeaders, AJpegMustHoldTheEndOfItsScan) {
    const std::string jpeg = testing::GridAsJpeg(testing::PatternGrid(16, 16));
    ASSERT_GT(jpeg.size(), 100u);
    EXPECT_TRUE(JpegHasItsEnd(Bytes(jpeg), jpeg.size()));
    // The video of a motion photo follows the picture's end.
    const std::string trailed = jpeg + std::string("\0\0\0\x18" "ftypmp42", 12);
    EXPECT_TRUE(JpegHasItsEnd(Bytes(trailed), trailed.size()));
    for (std::size_t cut : {jpeg.size() - 1, jpeg.size() - 2, jpeg.size() / 2, std::size_t{20}, std::size_t{3}}) {
        EXPECT_FALSE(JpegHasItsEnd(Bytes(jpeg), cut)) << cut;
    }
    std::string badLength = jpeg;
    badLength[4] = '\xFF';  // the first segment runs past the end
    EXPECT_FALSE(JpegHasItsEnd(Bytes(badLength), badLength.size()));
}

TEST(ExifOrientation, TheTagIsReadInEitherByteOrderAndAnythingDamagedIsUpright) {
    const std::string jpeg = testing::GridAsJpeg(testing::PatternGrid(8, 8));
    const std::string turned = testing::WithExifOrientation(jpeg, 6);
    // The TIFF structure starts after the start marker, the segment's marker
    // and length, and "Exif\0\0"; its directory follows its 8-byte header.
    constexpr std::size_t kTiff = 2 + 4 + 6;
    std::string wrongType = turned;
    wrongType[kTiff + 8 + 2 + 2] = 4;  // LONG instead of SHORT
    std::string badDirectory = turned;
    badDirectory[kTiff + 4] = '\x7F';  // the directory lies past the segment
    const struct {
        const char* name;
        std::string bytes;
        int tag;
    } cases[] = {
        {"none", jpeg, 1},
        {"little-endian 6", turned, 6},
        {"big-endian 8", testing::WithExifOrientation(jpeg, 8, true), 8},
        {"every tag: 3", testing::WithExifOrientation(jpeg, 3), 3},
        {"out of range", testing::WithExifOrientation(jpeg, 9), 1},
        {"zero", testing::WithExifOrientation(jpeg, 0), 1},
        {"wrong type", wrongType, 1},
        {"directory out of the segment", badDirectory, 1},
        {"segment cut short", turned.substr(0, 20), 1},
        {"not a JPEG", "BM", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.tag, JpegExifOrientation(Bytes(c.bytes), c.bytes.size())) << c.name;
}

TEST(ExifOrientation, EveryTagPlacesTheCornersWhereTheCameraMeantThem) {
    // A 3 x 2 picture: where its top-left and top-right pixels end up.
    const struct {
        int tag;
        std::int32_t width, height;
        std::int32_t topLeftX, topLeftY, topRightX, topRightY;
    } cases[] = {
        {1, 3, 2, 0, 0, 2, 0},  {2, 3, 2, 2, 0, 0, 0},  {3, 3, 2, 2, 1, 0, 1},  {4, 3, 2, 0, 1, 2, 1},
        {5, 2, 3, 0, 0, 0, 2},  {6, 2, 3, 1, 0, 1, 2},  {7, 2, 3, 1, 2, 1, 0},  {8, 2, 3, 0, 2, 0, 0},
        {0, 3, 2, 0, 0, 2, 0},  {42, 3, 2, 0, 0, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        const Orientation o(c.tag, 3, 2);
        EXPECT_EQ(c.width, o.UprightWidth());
        EXPECT_EQ(c.height, o.UprightHeight());
        std::int32_t x = -1, y = -1;
        o.Place(0, 0, x, y);
        EXPECT_EQ(c.topLeftX, x);
        EXPECT_EQ(c.topLeftY, y);
        o.Place(2, 0, x, y);
        EXPECT_EQ(c.topRightX, x);
        EXPECT_EQ(c.topRightY, y);
    }
}

TEST(BmpBounds, TheLoaderIsHandedOnlyFilesThatHoldWhatTheirHeadersPointAt) {
    using testing::BmpParts;
    auto with = [](auto change) {
        BmpParts bmp = testing::PatternBmp(8, 4, 8);
        change(bmp);
        return testing::MakeBmp(bmp);
    };
    const struct {
        const char* name;
        std::string file;
        bool holds;
    } cases[] = {
        {"as written", with([](BmpParts&) {}), true},
        {"core header", with([](BmpParts& b) {
             b.headerSize = 12;
             b.table.resize(256 * 3);
         }), true},
        {"V4 header", with([](BmpParts& b) { b.headerSize = 108; }), true},
        {"V5 header", with([](BmpParts& b) { b.headerSize = 124; }), true},
        {"offset 0: right after the table", with([](BmpParts& b) { b.offBits = 0; }), true},
        {"offset past the end", with([](BmpParts& b) { b.offBits = 15138878; }), false},
        {"offset inside the header", with([](BmpParts& b) { b.offBits = 20; }), false},
        {"taller than the file", with([](BmpParts& b) { b.height = 31511; }), false},
        {"top-down taller than the file", with([](BmpParts& b) { b.height = -5; }), false},
        {"table past the end", with([](BmpParts& b) {
             b.bits.clear();
             b.table.resize(100);
         }), false},
        {"unknown header size", with([](BmpParts& b) { b.headerSize = 64; }), false},
        {"zero width", with([](BmpParts& b) { b.width = 0; }), false},
        {"RLE promising more than the file", with([](BmpParts& b) {
             b.compression = kBiRle8;
             b.sizeImage = 100000;
         }), false},
        {"RLE within the file", with([](BmpParts& b) {
             b.compression = kBiRle8;
             b.bits = std::string("\0\1", 2);
         }), true},
    };
    for (const auto& c : cases) {
        const std::size_t head = std::min<std::size_t>(c.file.size(), kFileHeaderSize + kV5HeaderSize + kMaskBytes);
        EXPECT_EQ(c.holds, BmpHoldsItsBits(Bytes(c.file), head, c.file.size())) << c.name;
    }
    const std::string file = with([](BmpParts&) {});
    EXPECT_FALSE(BmpHoldsItsBits(Bytes(file), kFileHeaderSize + kV5HeaderSize + kMaskBytes, file.size() - 1))
        << "one byte short";
}

}  // namespace
}  // namespace paneloom::formats
