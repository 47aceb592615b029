// Our CreateDIBitmap and GetDIBits: packed descriptions in, our bitmap out,
// and back, never reading or writing outside the buffers they are given.
#include "platform/linux/drawing/packed_dib.h"

#include <gtest/gtest.h>

#include "common/little_endian.h"
#include "formats/dib.h"
#include "support/bmp_maker.h"

namespace paneloom::platform::lnx {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A packed description: the 40-byte header and `tail` zero bytes for the
// masks and colour table.
Bytes Info(std::int32_t width, std::int32_t height, std::uint16_t bpp, std::uint32_t compression = formats::kBiRgb,
           std::uint32_t clrUsed = 0, std::size_t tail = 0) {
    testing::BmpParts bmp = testing::BlankBmp(width, height, bpp);
    bmp.compression = compression;
    bmp.clrUsed = clrUsed;
    bmp.table.assign(tail, '\0');
    const std::string info = testing::MakeDibInfo(bmp);
    return Bytes(info.begin(), info.end());
}

void PutQuad(Bytes& info, std::size_t index, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    const std::size_t at = formats::kInfoHeaderSize + 4 * index;
    info[at] = b;
    info[at + 1] = g;
    info[at + 2] = r;
}

bool Unpack(const Bytes& info, const Bytes& bits, Dib& out) {
    return UnpackToScreen(info.data(), info.size(), bits.data(), bits.size(), out);
}

TEST(UnpackToScreen, PalettedRowsBecomeTheirColoursTopRowFirst) {
    Bytes info = Info(3, 2, 4, formats::kBiRgb, 3, 12);
    PutQuad(info, 0, 10, 20, 30);
    PutQuad(info, 1, 40, 50, 60);
    PutQuad(info, 2, 70, 80, 90);
    // Bottom row: 0 1 2; top row: 2 1 7 (7 is past the table: black).
    const Bytes bits = {0x01, 0x20, 0, 0, 0x21, 0x70, 0, 0};
    Dib out;
    ASSERT_TRUE(Unpack(info, bits, out));
    EXPECT_EQ(32, out.bitsPerPixel);
    // Colours read 0x00BBGGRR; row 0 of our bitmap is the top one.
    EXPECT_EQ(0x46505Au, out.GetPixel(0, 0));
    EXPECT_EQ(0x28323Cu, out.GetPixel(1, 0));
    EXPECT_EQ(0x000000u, out.GetPixel(2, 0));
    EXPECT_EQ(0x0A141Eu, out.GetPixel(0, 1));
    EXPECT_EQ(0x28323Cu, out.GetPixel(1, 1));
    EXPECT_EQ(0x46505Au, out.GetPixel(2, 1));
}

TEST(UnpackToScreen, SixteenBitPixelsAreWidenedAndExtraBytesDropped) {
    Dib out;
    // X1R5G5B5: full red; 1 in every channel.
    ASSERT_TRUE(Unpack(Info(2, 1, 16), {0x00, 0x7C, 0x21, 0x04}, out));
    EXPECT_EQ(0x0000FFu, out.GetPixel(0, 0));
    EXPECT_EQ(0x080808u, out.GetPixel(1, 0));
    // 32 bits: the fourth byte is not kept.
    ASSERT_TRUE(Unpack(Info(1, -1, 32), {1, 2, 3, 0xFF}, out));
    EXPECT_EQ(0x010203u, out.GetPixel(0, 0));
    EXPECT_EQ(0, out.Row(0)[3]);
}

TEST(UnpackToScreen, BitFieldsReadAnyMaskAndAZeroMaskReadsNothing) {
    Bytes info = Info(1, 1, 32, formats::kBiBitfields, 0, 12);
    WriteU32(info.data() + 40, 0x000003FF);  // red: 10 bits
    WriteU32(info.data() + 44, 0);           // no green
    WriteU32(info.data() + 48, 0x3FF00000);  // blue: 10 bits
    Dib out;
    ASSERT_TRUE(Unpack(info, {0xFF, 0x03, 0x00, 0x20}, out));  // red all ones, blue 0x200
    EXPECT_EQ(0x8000FFu, out.GetPixel(0, 0));
}

TEST(UnpackToScreen, DescriptionsThatDoNotFitAreRefused) {
    Dib out;
    out.Allocate(1, 1, 8);
    const Bytes rows(64, 0);
    // The header itself, the table, the masks, the rows.
    EXPECT_FALSE(UnpackToScreen(Info(2, 2, 24).data(), 39, rows.data(), rows.size(), out));
    EXPECT_FALSE(Unpack(Info(2, 2, 8, formats::kBiRgb, 0, 1020), rows, out));
    EXPECT_FALSE(Unpack(Info(2, 2, 16, formats::kBiBitfields, 0, 8), rows, out));
    EXPECT_FALSE(Unpack(Info(5, 2, 24), Bytes(16 + 15, 0), out));
    EXPECT_FALSE(Unpack(Info(5, -2, 24), Bytes(31, 0), out));
    // Geometry and formats GDI does not take.
    EXPECT_FALSE(Unpack(Info(0, 2, 24), rows, out));
    EXPECT_FALSE(Unpack(Info(2, INT32_MIN, 24), rows, out));
    EXPECT_FALSE(Unpack(Info(0x7FFFFFFF, 1, 32), rows, out));
    EXPECT_FALSE(Unpack(Info(2, 2, 2), rows, out));
    EXPECT_FALSE(Unpack(Info(2, 2, 24, formats::kBiBitfields, 0, 12), rows, out));
    EXPECT_FALSE(Unpack(Info(2, -2, 8, formats::kBiRle8, 0, 1024), Bytes{0, 1}, out));
    EXPECT_FALSE(Unpack(Info(2, 2, 4, formats::kBiRle8, 0, 64), Bytes{0, 1}, out));
    // An RLE stream that runs out before it ends, also within a larger buffer
    // when its declared size says so.
    EXPECT_FALSE(Unpack(Info(2, 2, 8, formats::kBiRle8, 0, 1024), Bytes{2, 1, 0, 3, 1}, out));
    Bytes sized = Info(2, 2, 8, formats::kBiRle8, 0, 1024);
    WriteU32(sized.data() + 20, 2);
    EXPECT_FALSE(Unpack(sized, Bytes{2, 1, 0, 1}, out));
    // A two-byte stream for a bitmap past the size limit.
    EXPECT_FALSE(Unpack(Info(16384, 16385, 8, formats::kBiRle8, 0, 1024), Bytes{0, 1}, out));
    // Nothing was touched.
    EXPECT_EQ(8, out.bitsPerPixel);
    EXPECT_EQ(1, out.width);
}

// A bitmap made without its bits and set band by band, in bands of any
// size, is the one made from the whole description; bands that do not
// belong are refused.
TEST(UnpackToScreen, BandsSetTheBitmapTheWholeDescriptionMakes) {
    for (const std::uint16_t bpp : {4, 16, 24}) {
        testing::BmpParts bmp = testing::PatternBmp(7, 40, bpp, bpp);
        const std::string packed = testing::MakeDibInfo(bmp);
        const Bytes info(packed.begin(), packed.end());
        const Bytes bits(bmp.bits.begin(), bmp.bits.end());
        Dib whole;
        ASSERT_TRUE(Unpack(info, bits, whole));

        Dib banded;
        ASSERT_TRUE(UnpackToScreen(info.data(), info.size(), nullptr, 0, banded));
        const std::size_t stride = testing::Stride(7, bpp);
        std::uint32_t first = 0;
        for (const std::uint32_t count : {1u, 13u, 26u}) {
            EXPECT_EQ(static_cast<int>(count),
                      SetScreenRows(banded, first, count, bits.data() + first * stride, count * stride, info.data(),
                                    info.size()))
                << bpp;
            first += count;
        }
        EXPECT_TRUE(whole.bits == banded.bits) << bpp << " bits";

        // Past the last line, rows that do not fill the band, another size.
        EXPECT_EQ(0, SetScreenRows(banded, 40, 1, bits.data(), bits.size(), info.data(), info.size()));
        EXPECT_EQ(0, SetScreenRows(banded, 0, 2, bits.data(), stride * 2 - 1, info.data(), info.size()));
        Dib other;
        ASSERT_TRUE(other.Allocate(8, 40, 32));
        EXPECT_EQ(0, SetScreenRows(other, 0, 1, bits.data(), bits.size(), info.data(), info.size()));
    }
    // Top-down and compressed rows are set whole, never in bands.
    Dib dib;
    const Bytes topDown = Info(2, -2, 24);
    ASSERT_TRUE(UnpackToScreen(topDown.data(), topDown.size(), nullptr, 0, dib));
    EXPECT_EQ(0, SetScreenRows(dib, 0, 2, Bytes(16, 0).data(), 16, topDown.data(), topDown.size()));
    const Bytes rle = Info(2, 2, 8, formats::kBiRle8, 0, 1024);
    ASSERT_TRUE(UnpackToScreen(rle.data(), rle.size(), nullptr, 0, dib));
    EXPECT_EQ(0, SetScreenRows(dib, 0, 1, Bytes{0, 1}.data(), 2, rle.data(), rle.size()));
}

TEST(UnpackToScreen, RleDeltaPastTheLastRowEndsTheImage) {
    Bytes info = Info(2, 2, 8, formats::kBiRle8, 2, 8);
    PutQuad(info, 1, 0, 0, 200);
    Dib out;
    ASSERT_TRUE(Unpack(info, {2, 1, 0, 2, 0, 5}, out));
    EXPECT_EQ(200u, out.GetPixel(1, 1));
    EXPECT_EQ(0u, out.GetPixel(1, 0));
}

// ---------------------------------------------------------------------------

Dib EightBitBitmap() {
    Dib dib;
    dib.Allocate(3, 2, 8);
    dib.palette = {RgbQuad{1, 2, 3, 9}, RgbQuad{4, 5, 6, 9}};
    dib.Row(0)[0] = 1;  // top row
    dib.Row(1)[2] = 1;  // bottom row
    return dib;
}

TEST(PackRows, HeaderAloneGetsItsSizeAndTheBitmapsOwnTable) {
    const Dib dib = EightBitBitmap();
    Bytes info = Info(3, 2, 8, formats::kBiRgb, 0, 1024);
    EXPECT_EQ(2, PackRows(dib, {}, 0, 2, nullptr, 0, info.data(), info.size()));
    EXPECT_EQ(8u, formats::InfoHeader::Read(info.data()).sizeImage);
    const Bytes table(info.begin() + 40, info.begin() + 48);
    EXPECT_EQ((Bytes{1, 2, 3, 0, 4, 5, 6, 0}), table);
    EXPECT_EQ(Bytes(1016, 0), Bytes(info.begin() + 48, info.end()));
}

TEST(PackRows, RowsComeBottomUpOrTopDownAsAsked) {
    const Dib dib = EightBitBitmap();
    Bytes info = Info(3, 2, 8, formats::kBiRgb, 0, 1024);
    Bytes bits(8, 0xEE);
    ASSERT_EQ(2, PackRows(dib, {}, 0, 2, bits.data(), bits.size(), info.data(), info.size()));
    EXPECT_EQ((Bytes{0, 0, 1, 0, 1, 0, 0, 0}), bits);
    Bytes topDown = Info(3, -2, 8, formats::kBiRgb, 0, 1024);
    ASSERT_EQ(2, PackRows(dib, {}, 0, 2, bits.data(), bits.size(), topDown.data(), topDown.size()));
    EXPECT_EQ((Bytes{1, 0, 0, 0, 0, 0, 1, 0}), bits);
    // One line from line 1 (the top one).
    Bytes one(4, 0xEE);
    ASSERT_EQ(1, PackRows(dib, {}, 1, 5, one.data(), one.size(), info.data(), info.size()));
    EXPECT_EQ((Bytes{1, 0, 0, 0}), one);
}

TEST(PackRows, OtherDepthsAreConverted) {
    Dib dib;
    dib.Allocate(2, 1, 32);
    dib.SetPixel(0, 0, 0x0000FF);
    dib.SetPixel(1, 0, 0xFFFFFF);
    Bytes info = Info(2, 1, 24);
    Bytes bits(8, 0xEE);
    ASSERT_EQ(1, PackRows(dib, {}, 0, 1, bits.data(), bits.size(), info.data(), info.size()));
    EXPECT_EQ((Bytes{0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}), bits);
    // To 1 bit through the context's palette: nearest colours.
    Bytes mono = Info(2, 1, 1, formats::kBiRgb, 0, 8);
    const std::vector<RgbQuad> palette = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    Bytes bit(4, 0xEE);
    ASSERT_EQ(1, PackRows(dib, palette, 0, 1, bit.data(), bit.size(), mono.data(), mono.size()));
    EXPECT_EQ(0x40, bit[0]);
    EXPECT_EQ((Bytes{0, 0, 0, 0, 255, 255, 255, 0}), Bytes(mono.begin() + 40, mono.end()));
}

TEST(PackRows, RowsKeptAsDeliveredAreLentInPlaceAndOnlyThen) {
    const Dib dib = EightBitBitmap();
    Bytes info = Info(3, 2, 8, formats::kBiRgb, 0, 1024);
    Bytes bits(8, 0xEE);
    ASSERT_EQ(2, PackRows(dib, {}, 0, 2, bits.data(), bits.size(), info.data(), info.size()));
    const std::uint8_t* kept = PackedRowsInPlace(dib, info.data(), info.size());
    ASSERT_EQ(dib.bits.data(), kept);
    EXPECT_EQ(bits, Bytes(kept, kept + 8));

    // Top-down, another depth, another size, compressed.
    const Bytes others[] = {Info(3, -2, 8, formats::kBiRgb, 0, 1024), Info(3, 2, 24),
                            Info(4, 2, 8, formats::kBiRgb, 0, 1024), Info(3, 1, 8, formats::kBiRgb, 0, 1024),
                            Info(3, 2, 8, formats::kBiRle8, 0, 1024)};
    for (const Bytes& other : others) EXPECT_EQ(nullptr, PackedRowsInPlace(dib, other.data(), other.size()));
    EXPECT_EQ(nullptr, PackedRowsInPlace(dib, info.data(), 39));
    EXPECT_EQ(nullptr, PackedRowsInPlace(Dib(), info.data(), info.size()));
}

TEST(PackRows, BuffersTooSmallOrHeadersThatDoNotMatchAreRefused) {
    const Dib dib = EightBitBitmap();
    Bytes info = Info(3, 2, 8, formats::kBiRgb, 0, 1024);
    Bytes bits(8, 0);
    EXPECT_EQ(0, PackRows(dib, {}, 0, 2, bits.data(), 7, info.data(), info.size()));
    EXPECT_EQ(0, PackRows(dib, {}, 0, 2, bits.data(), bits.size(), info.data(), info.size() - 1));
    EXPECT_EQ(0, PackRows(dib, {}, 2, 1, bits.data(), bits.size(), info.data(), info.size()));
    Bytes wide = Info(4, 2, 8, formats::kBiRgb, 0, 1024);
    EXPECT_EQ(0, PackRows(dib, {}, 0, 2, bits.data(), bits.size(), wide.data(), wide.size()));
    Bytes rle = Info(3, 2, 8, formats::kBiRle8, 0, 1024);
    EXPECT_EQ(0, PackRows(dib, {}, 0, 2, bits.data(), bits.size(), rle.data(), rle.size()));
    EXPECT_EQ(0, PackRows(dib, {}, 0, 2, bits.data(), bits.size(), info.data(), 39));
}

}  // namespace
}  // namespace paneloom::platform::lnx
