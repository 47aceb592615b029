#include "platform/linux/drawing/bmp_decoder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom::platform::lnx {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BlankBmp;
using testing::BmpParts;
using testing::MakeBmp;

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;

// Bytes as stored in a file.
std::string Raw(std::initializer_list<unsigned> bytes) {
    std::string out;
    for (unsigned b : bytes) out += static_cast<char>(b);
    return out;
}

struct Rgb {
    std::uint8_t r, g, b;
};

// Colour-table bytes: RGBQUADs, or RGBTRIPLEs for the core header.
std::string Table(std::initializer_list<Rgb> colours, bool triples = false) {
    std::string t;
    for (const Rgb& c : colours) {
        t += Raw({c.b, c.g, c.r});
        if (!triples) t += '\0';
    }
    return t;
}

// A table of n entries where entry i is (i, 255 - i, i / 2).
std::string RampTable(std::size_t n, bool triples = false) {
    std::string t;
    for (std::size_t i = 0; i < n; ++i) {
        t += Raw({static_cast<unsigned>(i / 2), static_cast<unsigned>(255 - i), static_cast<unsigned>(i)});
        if (!triples) t += '\0';
    }
    return t;
}

std::uint32_t Colour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16);
}

std::uint32_t RampColour(unsigned i) {
    return Colour(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i / 2));
}

// Rows in file order, each padded with zeros to a multiple of 4 bytes.
std::string Rows(std::initializer_list<std::initializer_list<unsigned>> rows) {
    std::string out;
    for (const auto& r : rows) {
        out += Raw(r);
        out.append((4 - r.size() % 4) % 4, '\0');
    }
    return out;
}


// The palette index stored at (x, y) of a 4- or 8-bit bitmap.
unsigned IndexAt(const Dib& dib, int x, int y) {
    const std::uint8_t* row = dib.Row(y);
    if (dib.bitsPerPixel == 8) return row[x];
    return (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 0x0F);
}

std::vector<unsigned> IndexRow(const Dib& dib, int y) {
    std::vector<unsigned> v;
    for (int x = 0; x < dib.width; ++x) v.push_back(IndexAt(dib, x, y));
    return v;
}

std::uint16_t Word16(const Dib& dib, int x, int y) {
    const std::uint8_t* row = dib.Row(y);
    return static_cast<std::uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
}

// A bitmap that no decode may leave behind on failure.
Dib Sentinel() {
    Dib d;
    d.Allocate(3, 2, 8);
    d.palette.resize(1);
    d.palette[0].red = 0x42;
    d.bits[0] = 0x17;
    return d;
}

bool SameDib(const Dib& a, const Dib& b) {
    if (a.width != b.width || a.height != b.height || a.bitsPerPixel != b.bitsPerPixel) return false;
    if (a.bits != b.bits || a.palette.size() != b.palette.size()) return false;
    for (std::size_t i = 0; i < a.palette.size(); ++i) {
        const RgbQuad& p = a.palette[i];
        const RgbQuad& q = b.palette[i];
        if (p.red != q.red || p.green != q.green || p.blue != q.blue || p.reserved != q.reserved) return false;
    }
    return true;
}

// Decodes from a heap copy of exactly `size` bytes, so that the sanitizer sees
// any read past the end, and from a file of those bytes: the file reader,
// which reads the headers first and the pixels straight into the bitmap,
// must come to the same bitmap, or refuse the same files.
bool Decode(const std::string& file, Dib& out, std::size_t size) {
    const Bytes copy(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    const testing::ScratchDir scratch;
    scratch.Write("decoded.bmp", file.substr(0, size));
    Dib fromFile = out;
    const bool readFromFile = DecodeBmpFile(scratch.file("decoded.bmp"), fromFile);
    const bool decoded = DecodeBmp(copy.data(), copy.size(), out);
    EXPECT_EQ(decoded, readFromFile);
    EXPECT_TRUE(SameDib(out, fromFile));
    return decoded;
}

bool Decode(const std::string& file, Dib& out) { return Decode(file, out, file.size()); }

bool Refused(const BmpParts& spec) {
    Dib dib;
    return !Decode(MakeBmp(spec), dib);
}

// ---------------------------------------------------------------------------
// Uncompressed depths

TEST(BmpDecoderDepths, OneBitKeepsDepthAndColourTable) {
    BmpParts s = BlankBmp(10, 2, 1);
    s.table = Table({{0, 0, 0}, {10, 20, 30}});
    s.bits = Rows({{0xA0, 0x00}, {0xFF, 0xC0}});  // bottom row first
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 1);
    EXPECT_EQ(dib.width, 10);
    EXPECT_EQ(dib.height, 2);
    ASSERT_EQ(dib.palette.size(), 2u);
    const std::uint32_t on = Colour(10, 20, 30);
    for (int x = 0; x < 10; ++x) EXPECT_EQ(dib.GetPixel(x, 0), on) << x;  // top row all set
    EXPECT_EQ(dib.GetPixel(0, 1), on);
    EXPECT_EQ(dib.GetPixel(1, 1), 0u);
    EXPECT_EQ(dib.GetPixel(2, 1), on);
    EXPECT_EQ(dib.GetPixel(9, 1), 0u);
}

TEST(BmpDecoderDepths, FourBitWithZeroColourCountHasSixteenEntries) {
    BmpParts s = BlankBmp(3, 2, 4);
    s.table = RampTable(16);
    s.bits = Rows({{0x12, 0x30}, {0xF0, 0x50}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 4);
    ASSERT_EQ(dib.palette.size(), 16u);
    EXPECT_EQ(dib.GetPixel(0, 1), RampColour(1));
    EXPECT_EQ(dib.GetPixel(1, 1), RampColour(2));
    EXPECT_EQ(dib.GetPixel(2, 1), RampColour(3));
    EXPECT_EQ(dib.GetPixel(0, 0), RampColour(15));
    EXPECT_EQ(dib.GetPixel(1, 0), RampColour(0));
    EXPECT_EQ(dib.GetPixel(2, 0), RampColour(5));
}

TEST(BmpDecoderDepths, EightBitHonoursColourCount) {
    BmpParts s = BlankBmp(3, 1, 8);
    s.clrUsed = 3;
    s.table = Table({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    s.bits = Rows({{2, 0, 1}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 8);
    ASSERT_EQ(dib.palette.size(), 3u);
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(7, 8, 9));
    EXPECT_EQ(dib.GetPixel(1, 0), Colour(1, 2, 3));
    EXPECT_EQ(dib.GetPixel(2, 0), Colour(4, 5, 6));
}

TEST(BmpDecoderDepths, SixteenBitRgbIs555) {
    BmpParts s = BlankBmp(3, 1, 16);
    s.bits = Rows({{0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 16);
    EXPECT_TRUE(dib.palette.empty());
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(255, 0, 0));
    EXPECT_EQ(dib.GetPixel(1, 0), Colour(0, 255, 0));
    EXPECT_EQ(dib.GetPixel(2, 0), Colour(0, 0, 255));
}

TEST(BmpDecoderDepths, TwentyFourBitBottomUpAndTopDown) {
    BmpParts s = BlankBmp(2, 2, 24);
    // First row in the file: red, green; second: blue, white (B, G, R order).
    s.bits = Rows({{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}});
    Dib up;
    ASSERT_TRUE(Decode(MakeBmp(s), up));
    EXPECT_EQ(up.bitsPerPixel, 24);
    EXPECT_EQ(up.GetPixel(0, 1), Colour(255, 0, 0));
    EXPECT_EQ(up.GetPixel(1, 1), Colour(0, 255, 0));
    EXPECT_EQ(up.GetPixel(0, 0), Colour(0, 0, 255));
    EXPECT_EQ(up.GetPixel(1, 0), Colour(255, 255, 255));

    s.height = -2;
    Dib down;
    ASSERT_TRUE(Decode(MakeBmp(s), down));
    EXPECT_EQ(down.height, 2);
    EXPECT_EQ(down.GetPixel(0, 0), Colour(255, 0, 0));
    EXPECT_EQ(down.GetPixel(1, 0), Colour(0, 255, 0));
    EXPECT_EQ(down.GetPixel(0, 1), Colour(0, 0, 255));
    EXPECT_EQ(down.GetPixel(1, 1), Colour(255, 255, 255));
}

TEST(BmpDecoderDepths, ThirtyTwoBitRgb) {
    BmpParts s = BlankBmp(2, 1, 32);
    s.bits = Rows({{3, 2, 1, 0, 30, 20, 10, 0}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 32);
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(1, 2, 3));
    EXPECT_EQ(dib.GetPixel(1, 0), Colour(10, 20, 30));
}

// ---------------------------------------------------------------------------
// BI_BITFIELDS

TEST(BmpDecoderBitfields, Sixteen565BecomesOur555) {
    BmpParts s = BlankBmp(4, 1, 16);
    s.compression = kBitfields;
    s.masks = {0xF800, 0x07E0, 0x001F};
    // Full red, full green, full blue, and half green (6-bit 32).
    s.bits = Rows({{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x00, 0x04}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 16);
    EXPECT_EQ(Word16(dib, 0, 0), 0x7C00);
    EXPECT_EQ(Word16(dib, 1, 0), 0x03E0);
    EXPECT_EQ(Word16(dib, 2, 0), 0x001F);
    EXPECT_EQ(Word16(dib, 3, 0), 16u << 5);
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(255, 0, 0));
    EXPECT_EQ(dib.GetPixel(1, 0), Colour(0, 255, 0));
    EXPECT_EQ(dib.GetPixel(2, 0), Colour(0, 0, 255));
}

TEST(BmpDecoderBitfields, NarrowChannelsAreWidenedToFullScale) {
    BmpParts s = BlankBmp(1, 1, 16);
    s.compression = kBitfields;
    s.masks = {0x0F00, 0x00F0, 0x000F};  // 4:4:4
    s.bits = Rows({{0x80, 0x0F}});      // red 15, green 8, blue 0
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(Word16(dib, 0, 0), (31u << 10) | (17u << 5));
}

TEST(BmpDecoderBitfields, ThirtyTwoBitArbitraryMasksDropAlpha) {
    BmpParts s = BlankBmp(2, 1, 32);
    s.compression = kBitfields;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // R, G, B, A in byte order
    s.bits = Rows({{1, 2, 3, 0xFF, 200, 100, 50, 0x80}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 32);
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(1, 2, 3));
    EXPECT_EQ(dib.GetPixel(1, 0), Colour(200, 100, 50));
    const Bytes stored(dib.bits.begin(), dib.bits.begin() + 8);
    EXPECT_EQ(stored, (Bytes{3, 2, 1, 0, 50, 100, 200, 0}));
}

TEST(BmpDecoderBitfields, TenBitChannelsAreNarrowed) {
    BmpParts s = BlankBmp(1, 1, 32);
    s.compression = kBitfields;
    s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    // Red 1023, green 512, blue 4.
    s.bits = Raw({0x04, 0x00, 0xF8, 0x3F});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(255, 128, 1));
}

TEST(BmpDecoderBitfields, ZeroMaskReadsZero) {
    BmpParts s = BlankBmp(1, 1, 32);
    s.compression = kBitfields;
    s.masks = {0x00FF0000, 0, 0x000000FF};
    s.bits = Raw({0x11, 0x22, 0x33, 0x44});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(0x33, 0, 0x11));
}

// ---------------------------------------------------------------------------
// Header forms and the placement of colour table and pixels

TEST(BmpDecoderHeaders, V4TwentyFourBit) {
    BmpParts s = BlankBmp(1, 2);
    s.headerSize = 108;
    s.bits = Rows({{1, 2, 3}, {4, 5, 6}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 1), Colour(3, 2, 1));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(6, 5, 4));
}

TEST(BmpDecoderHeaders, V5MasksComeFromInsideTheHeader) {
    BmpParts s = BlankBmp(1, -1, 32);
    s.headerSize = 124;
    s.compression = kBitfields;
    s.masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};  // alpha in the low byte
    s.bits = Raw({0x99, 0x10, 0x20, 0x30});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(0x10, 0x20, 0x30));
    EXPECT_EQ(dib.bits[3], 0);  // alpha dropped
}

TEST(BmpDecoderHeaders, V5MasksAreIgnoredWithoutBitfields) {
    BmpParts s = BlankBmp(1, 1, 16);
    s.headerSize = 124;
    s.compression = kRgb;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.bits = Raw({0x00, 0x7C, 0, 0});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(255, 0, 0));
}

TEST(BmpDecoderHeaders, V4EightBitColourTableFollowsTheHeader) {
    BmpParts s = BlankBmp(2, 1, 8);
    s.headerSize = 108;
    s.clrUsed = 2;
    s.table = Table({{9, 9, 9}, {1, 2, 3}});
    s.bits = Rows({{1, 0}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(1, 2, 3));
    EXPECT_EQ(dib.GetPixel(1, 0), Colour(9, 9, 9));
}

TEST(BmpDecoderHeaders, CoreHeaderWithTripleColourTable) {
    BmpParts s = BlankBmp(2, 2, 8);
    s.headerSize = 12;
    s.table = RampTable(256, true);
    s.bits = Rows({{7, 200}, {0, 255}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 8);
    ASSERT_EQ(dib.palette.size(), 256u);
    EXPECT_EQ(dib.GetPixel(0, 1), RampColour(7));
    EXPECT_EQ(dib.GetPixel(1, 1), RampColour(200));
    EXPECT_EQ(dib.GetPixel(0, 0), RampColour(0));
    EXPECT_EQ(dib.GetPixel(1, 0), RampColour(255));
}

TEST(BmpDecoderHeaders, CoreHeaderTwentyFourBit) {
    BmpParts s = BlankBmp(1, 1);
    s.headerSize = 12;
    s.bits = Raw({30, 20, 10, 0});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(10, 20, 30));
}

TEST(BmpDecoderHeaders, PixelsAreTakenAtOffBitsAfterAGap) {
    BmpParts s = BlankBmp(1, 1);
    s.gap = std::string(7, '\xEE');
    s.bits = Raw({1, 2, 3, 0});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(3, 2, 1));

    s.bitCount = 8;
    s.clrUsed = 2;
    s.table = Table({{5, 5, 5}, {6, 6, 6}});
    s.gap = std::string(10, '\xEE');
    s.bits = Raw({1, 0, 0, 0});
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    ASSERT_EQ(dib.palette.size(), 2u);
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(6, 6, 6));
}

TEST(BmpDecoderHeaders, ZeroOffBitsMeansRightAfterTheColourTable) {
    BmpParts s = BlankBmp(1, 1, 8);
    s.clrUsed = 2;
    s.table = Table({{5, 5, 5}, {6, 6, 6}});
    s.bits = Raw({1, 0, 0, 0});
    s.offBits = 0;
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(6, 6, 6));
}

TEST(BmpDecoderHeaders, ColourTableCutShortByOffBitsIsClamped) {
    BmpParts s = BlankBmp(2, 1);
    s.bitCount = 8;  // clrUsed 0 declares 256 entries; only 2 are there
    s.table = Table({{5, 5, 5}, {6, 6, 6}});
    s.bits = Rows({{1, 0}});
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    ASSERT_EQ(dib.palette.size(), 2u);
    EXPECT_EQ(dib.GetPixel(0, 0), Colour(6, 6, 6));
    EXPECT_EQ(dib.GetPixel(1, 0), Colour(5, 5, 5));
}

TEST(BmpDecoderHeaders, MissingColourTableIsRefused) {
    BmpParts s = BlankBmp(1, 1, 8);
    s.bits = Raw({0, 0, 0, 0});
    EXPECT_TRUE(Refused(s));  // bfOffBits right after the header: no colours at all
}

// ---------------------------------------------------------------------------
// RLE

std::vector<unsigned> U(std::initializer_list<unsigned> v) { return v; }

TEST(BmpDecoderRle, Rle8RunsAbsoluteRunsDeltaAndEscapes) {
    BmpParts s = BlankBmp(6, 3, 8);
    s.compression = kRle8;
    s.table = RampTable(8);
    s.clrUsed = 8;
    s.bits = Raw({
        3, 5,              // three pixels of 5
        0, 3, 1, 2, 3, 0,  // absolute 1, 2, 3 and a pad byte
        0, 0,              // end of line
        0, 2, 2, 1,        // delta: 2 right, 1 up (to the top row)
        2, 7,              // two pixels of 7
        0, 1,              // end of bitmap
    });
    s.sizeImage = static_cast<std::uint32_t>(s.bits.size());
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 8);
    EXPECT_EQ(IndexRow(dib, 2), U({5, 5, 5, 1, 2, 3}));  // bottom row
    EXPECT_EQ(IndexRow(dib, 1), U({0, 0, 0, 0, 0, 0}));  // skipped by the delta
    EXPECT_EQ(IndexRow(dib, 0), U({0, 0, 7, 7, 0, 0}));
    EXPECT_EQ(dib.GetPixel(3, 2), RampColour(1));
}

TEST(BmpDecoderRle, Rle4AlternatesNibblesAndPadsAbsoluteRuns) {
    BmpParts s = BlankBmp(7, 2, 4);
    s.compression = kRle4;
    s.table = RampTable(16);
    s.bits = Raw({
        3, 0xAB,             // A B A
        0, 3, 0xCD, 0xE0,    // absolute C D E: two bytes, no pad
        0, 0,                // end of line
        0, 5, 0x12, 0x34, 0x50, 0,  // absolute 1 2 3 4 5: three bytes and a pad
        2, 0xF0,             // F 0
        0, 1,
    });
    s.sizeImage = static_cast<std::uint32_t>(s.bits.size());
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(s), dib));
    EXPECT_EQ(dib.bitsPerPixel, 4);
    EXPECT_EQ(IndexRow(dib, 1), U({0xA, 0xB, 0xA, 0xC, 0xD, 0xE, 0}));
    EXPECT_EQ(IndexRow(dib, 0), U({1, 2, 3, 4, 5, 0xF, 0}));
    EXPECT_EQ(dib.GetPixel(0, 1), RampColour(0xA));
}

BmpParts Rle8(std::int32_t width, std::int32_t height, std::initializer_list<unsigned> stream) {
    BmpParts s = BlankBmp(width, height, 8);
    s.compression = kRle8;
    s.table = RampTable(16);
    s.clrUsed = 16;
    s.bits = Raw(stream);
    s.sizeImage = static_cast<std::uint32_t>(s.bits.size());
    return s;
}

TEST(BmpDecoderRle, RunsPastTheRowEndAreClippedWithoutWrapping) {
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(Rle8(4, 2, {10, 9, 0, 0, 1, 3, 0, 1})), dib));
    EXPECT_EQ(IndexRow(dib, 1), U({9, 9, 9, 9}));
    EXPECT_EQ(IndexRow(dib, 0), U({3, 0, 0, 0}));

    ASSERT_TRUE(Decode(MakeBmp(Rle8(4, 2, {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 1, 6, 0, 1})), dib));
    EXPECT_EQ(IndexRow(dib, 1), U({1, 2, 3, 4}));
    EXPECT_EQ(IndexRow(dib, 0), U({6, 0, 0, 0}));

    Dib rle4;
    BmpParts s = Rle8(3, 1, {7, 0x12, 0, 1});
    s.bitCount = 4;
    s.compression = kRle4;
    ASSERT_TRUE(Decode(MakeBmp(s), rle4));
    EXPECT_EQ(IndexRow(rle4, 0), U({1, 2, 1}));
    EXPECT_EQ(rle4.bits[1] & 0x0F, 0);  // the nibble past the last pixel stays clear
}

TEST(BmpDecoderRle, DeltaPastTheEndStopsDecodingAndKeepsWhatWasDrawn) {
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(Rle8(4, 2, {2, 4, 0, 2, 0, 5, 2, 6, 0, 1})), dib));
    EXPECT_EQ(IndexRow(dib, 1), U({4, 4, 0, 0}));
    EXPECT_EQ(IndexRow(dib, 0), U({0, 0, 0, 0}));

    // Far to the right: the rest of the row is dropped, the next row is fine.
    ASSERT_TRUE(Decode(MakeBmp(Rle8(4, 2, {0, 2, 200, 0, 2, 6, 0, 0, 1, 1, 0, 1})), dib));
    EXPECT_EQ(IndexRow(dib, 1), U({0, 0, 0, 0}));
    EXPECT_EQ(IndexRow(dib, 0), U({1, 0, 0, 0}));
}

TEST(BmpDecoderRle, EndOfLinePastTheTopNeedsNoEndOfBitmap) {
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(Rle8(2, 1, {2, 3, 0, 0})), dib));
    EXPECT_EQ(IndexRow(dib, 0), U({3, 3}));
    // Whatever follows can no longer land inside the image.
    ASSERT_TRUE(Decode(MakeBmp(Rle8(2, 1, {2, 3, 0, 0, 2, 9, 0, 1})), dib));
    EXPECT_EQ(IndexRow(dib, 0), U({3, 3}));
}

TEST(BmpDecoderRle, IncompleteStreamsAreRefused) {
    EXPECT_TRUE(Refused(Rle8(4, 2, {2, 4})));                 // no end of bitmap, a row left
    EXPECT_TRUE(Refused(Rle8(4, 2, {0, 8, 1, 2, 3})));        // absolute run past the stream
    EXPECT_TRUE(Refused(Rle8(4, 2, {0, 3, 1, 2, 3})));        // pad byte missing
    EXPECT_TRUE(Refused(Rle8(4, 2, {0, 2, 1})));              // delta cut short
    BmpParts s = Rle8(4, 2, {2, 4, 0, 1});
    s.sizeImage = 2;  // biSizeImage bounds the stream: the end-of-bitmap lies beyond it
    EXPECT_TRUE(Refused(s));
    s.sizeImage = 5;  // more than the file holds
    EXPECT_TRUE(Refused(s));
    s.sizeImage = 0;  // unknown: the stream runs to the end of the file
    Dib dib;
    EXPECT_TRUE(Decode(MakeBmp(s), dib));
}

TEST(BmpDecoderRle, WrongDepthOrTopDownIsRefused) {
    BmpParts s = Rle8(4, -2, {0, 1});
    EXPECT_TRUE(Refused(s));
    s = Rle8(4, 2, {0, 1});
    s.bitCount = 4;
    EXPECT_TRUE(Refused(s));
    s = Rle8(4, 2, {0, 1});
    s.compression = kRle4;
    EXPECT_TRUE(Refused(s));
}

// ---------------------------------------------------------------------------
// Hostile input

// One valid file of every kind, all decodable.
std::vector<std::string> ValidSamples() {
    std::vector<std::string> out;
    BmpParts s = BlankBmp(5, 3, 1);
    s.table = Table({{0, 0, 0}, {255, 255, 255}});
    s.bits = Rows({{0xA8}, {0x50}, {0xF8}});
    out.push_back(MakeBmp(s));

    s.bitCount = 4;
    s.clrUsed = 3;
    s.table = RampTable(3);
    s.bits = Rows({{0x01, 0x22, 0x10}, {0x12, 0x01, 0x20}, {0, 0, 0}});
    out.push_back(MakeBmp(s));

    s.bitCount = 8;
    s.clrUsed = 0;
    s.table = RampTable(256);
    s.bits = Rows({{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {250, 251, 252, 253, 254}});
    s.gap = std::string(3, '\xEE');
    out.push_back(MakeBmp(s));

    BmpParts t = BlankBmp(3, -2, 16);
    t.bits = Rows({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    out.push_back(MakeBmp(t));
    t.compression = kBitfields;
    t.masks = {0xF800, 0x07E0, 0x001F};
    out.push_back(MakeBmp(t));
    t.headerSize = 124;
    out.push_back(MakeBmp(t));

    BmpParts u = BlankBmp(2, 2);
    u.bits = Rows({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    out.push_back(MakeBmp(u));
    u.headerSize = 108;
    out.push_back(MakeBmp(u));
    u.headerSize = 12;
    out.push_back(MakeBmp(u));
    u.bitCount = 32;
    u.headerSize = 40;
    u.bits = Rows({{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}});
    out.push_back(MakeBmp(u));
    u.compression = kBitfields;
    u.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
    out.push_back(MakeBmp(u));

    out.push_back(MakeBmp(Rle8(6, 3, {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 2, 7, 0, 1})));
    BmpParts r = Rle8(7, 2, {3, 0xAB, 0, 3, 0xCD, 0xE0, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 2, 0xF0, 0, 1});
    r.bitCount = 4;
    r.compression = kRle4;
    out.push_back(MakeBmp(r));
    return out;
}

TEST(BmpDecoderHostile, EveryTruncationIsRefusedSafely) {
    const std::vector<std::string> samples = ValidSamples();
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const std::string& file = samples[k];
        Dib full;
        ASSERT_TRUE(Decode(file, full)) << "sample " << k;
        ASSERT_TRUE(full.Valid()) << "sample " << k;
        for (std::size_t len = 0; len < file.size(); ++len) {
            const Dib sentinel = Sentinel();
            Dib out = sentinel;
            EXPECT_FALSE(Decode(file, out, len)) << "sample " << k << " cut at " << len;
            EXPECT_TRUE(SameDib(out, sentinel)) << "sample " << k << " cut at " << len;
        }
    }
}

TEST(BmpDecoderHostile, RefusalLeavesTheOutputUntouched) {
    BmpParts s;
    s.width = 0;
    s.bits = Raw({1, 2, 3, 0});
    const Dib sentinel = Sentinel();
    Dib out = sentinel;
    EXPECT_FALSE(Decode(MakeBmp(s), out));
    EXPECT_TRUE(SameDib(out, sentinel));
}

TEST(BmpDecoderHostile, BadDimensionsAreRefused) {
    auto refusedWith = [](std::int32_t w, std::int32_t h, std::uint16_t bpp) {
        BmpParts s = BlankBmp(w, h, bpp);
        if (bpp <= 8) {
            s.table = RampTable(2);
            s.clrUsed = 2;
        }
        s.bits = std::string(64, '\0');
        return Refused(s);
    };
    EXPECT_TRUE(refusedWith(0, 1, 24));
    EXPECT_TRUE(refusedWith(-4, 1, 24));
    EXPECT_TRUE(refusedWith(1, 0, 24));
    EXPECT_TRUE(refusedWith(1, INT32_MIN, 24));
    EXPECT_TRUE(refusedWith(INT32_MAX, INT32_MAX, 32));
    EXPECT_TRUE(refusedWith(0x40000000, 4, 32));  // row size alone overflows 32 bits
    EXPECT_TRUE(refusedWith(65536, -65536, 24));
    EXPECT_TRUE(refusedWith(INT32_MAX, 1, 1));
    EXPECT_TRUE(refusedWith(6, 4, 24));           // rows do not fit the 64 bytes given
    EXPECT_FALSE(refusedWith(4, 4, 8));           // they do: 16 of 64 bytes
}

TEST(BmpDecoderHostile, PixelBufferIsCappedAtOneGibibyte) {
    // RLE lets a tiny file describe a huge image: only the cap stops it.
    EXPECT_TRUE(Refused(Rle8(32768, 32769, {0, 1})));  // 1 GiB + one row
    EXPECT_TRUE(Refused(Rle8(INT32_MAX, INT32_MAX, {0, 1})));
    Dib dib;
    ASSERT_TRUE(Decode(MakeBmp(Rle8(4096, 4096, {2, 7, 0, 1})), dib));
    EXPECT_EQ(dib.bits.size(), 4096u * 4096u);
    EXPECT_EQ(IndexAt(dib, 1, 4095), 7u);
}

TEST(BmpDecoderHostile, ColourCountsAboveTheDepthAreRefused) {
    BmpParts s = BlankBmp(1, 1, 8);
    s.clrUsed = 300;
    s.table = RampTable(300);
    s.bits = Raw({0, 0, 0, 0});
    EXPECT_TRUE(Refused(s));
    s.clrUsed = 256;
    s.table = RampTable(256);
    EXPECT_FALSE(Refused(s));

    s.bitCount = 4;
    s.clrUsed = 17;
    s.table = RampTable(17);
    EXPECT_TRUE(Refused(s));
    s.bitCount = 1;
    s.clrUsed = 3;
    s.table = RampTable(3);
    EXPECT_TRUE(Refused(s));
}

TEST(BmpDecoderHostile, ColourTablePastTheFileIsRefused) {
    BmpParts s = BlankBmp(1, 1, 8);
    s.clrUsed = 100;
    s.table = RampTable(2);
    s.bits = Raw({0, 0, 0, 0});
    s.offBits = 0;  // the pixels would follow 100 entries that are not there
    EXPECT_TRUE(Refused(s));
}

TEST(BmpDecoderHostile, UnsupportedFormsAreRefused) {
    BmpParts base = BlankBmp(1, 1, 32);
    base.bits = Raw({1, 2, 3, 4});
    ASSERT_FALSE(Refused(base));

    for (std::uint32_t size : {0u, 16u, 39u, 41u, 52u, 56u, 64u, 0xFFFFFFFFu}) {
        BmpParts s = base;
        s.headerSize = size;
        EXPECT_TRUE(Refused(s)) << "header size " << size;
    }
    for (std::uint16_t planes : {0, 2}) {
        BmpParts s = base;
        s.planes = planes;
        EXPECT_TRUE(Refused(s)) << "planes " << planes;
    }
    for (std::uint32_t c : {4u, 5u, 6u, 99u, 0x80000000u}) {
        BmpParts s = base;
        s.compression = c;
        EXPECT_TRUE(Refused(s)) << "compression " << c;
    }
    for (std::uint16_t bpp : {0, 2, 15, 48, 64}) {
        BmpParts s = base;
        s.bitCount = bpp;
        EXPECT_TRUE(Refused(s)) << "depth " << bpp;
    }
    BmpParts core = base;
    core.headerSize = 12;
    core.bitCount = 16;
    EXPECT_TRUE(Refused(core));

    std::string notBm = MakeBmp(base);
    notBm[0] = 'M';
    notBm[1] = 'B';
    Dib dib;
    EXPECT_FALSE(Decode(notBm, dib));
    EXPECT_FALSE(DecodeBmp(nullptr, 0, dib));
    EXPECT_FALSE(DecodeBmp(nullptr, 100, dib));
}

TEST(BmpDecoderHostile, BadMasksAreRefused) {
    BmpParts s = BlankBmp(1, 1, 16);
    s.compression = kBitfields;
    s.bits = Raw({0, 0, 0, 0});
    s.masks = {0xF0F0, 0x0F00, 0x000F};  // not contiguous
    EXPECT_TRUE(Refused(s));
    s.masks = {0x1F0000, 0x07E0, 0x001F};  // beyond 16 bits
    EXPECT_TRUE(Refused(s));
    s.masks = {0x7C00, 0x03E0, 0x001F};
    EXPECT_FALSE(Refused(s));

    s.bitCount = 24;  // bit fields only at 16 and 32 bits per pixel
    EXPECT_TRUE(Refused(s));
    s.bitCount = 8;
    s.table = RampTable(2);
    EXPECT_TRUE(Refused(s));
}

TEST(BmpDecoderHostile, OffBitsOutsideItsPlaceIsRefused) {
    BmpParts s = BlankBmp(1, 1);
    s.bits = Raw({1, 2, 3, 0});
    s.offBits = 20;  // inside the information header
    EXPECT_TRUE(Refused(s));
    s.offBits = 1000;  // past the end
    EXPECT_TRUE(Refused(s));
    s.offBits = 0xFFFFFFFF;
    EXPECT_TRUE(Refused(s));

    s.bitCount = 32;
    s.compression = kBitfields;
    s.masks = {0xFF0000, 0xFF00, 0xFF};
    s.offBits = 14 + 40 + 4;  // inside the masks
    EXPECT_TRUE(Refused(s));
}

TEST(BmpDecoderHostile, RandomCorruptionNeverBreaksTheDecoder) {
    const std::vector<std::string> samples = ValidSamples();
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    int accepted = 0;
    for (int iteration = 0; iteration < 4000; ++iteration) {
        std::string file = samples[next() % samples.size()];
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int f = 0; f < flips; ++f) {
            // Headers are where the decisions are made: hit them more often.
            const std::size_t limit = (next() % 2 == 0) ? std::min<std::size_t>(file.size(), 70) : file.size();
            const std::size_t at = next() % limit;
            const std::uint32_t kind = next() % 4;
            if (kind == 0) file[at] = '\0';
            else if (kind == 1) file[at] = '\xFF';
            else if (kind == 2) file[at] = static_cast<char>(file[at] ^ (1 << (next() % 8)));
            else file[at] = static_cast<char>(next());
        }
        const Dib sentinel = Sentinel();
        Dib out = sentinel;
        if (Decode(file, out)) {
            ++accepted;
            ASSERT_TRUE(out.Valid()) << iteration;
            ASSERT_LE(out.palette.size(), 256u) << iteration;
            ASSERT_LE(out.bits.size(), kMaxBmpPixelBytes) << iteration;
            if (out.bitsPerPixel <= 8) {
                ASSERT_FALSE(out.palette.empty()) << iteration;
                ASSERT_LE(out.palette.size(), std::size_t{1} << out.bitsPerPixel) << iteration;
            }
        } else {
            ASSERT_TRUE(SameDib(out, sentinel)) << iteration;
        }
    }
    EXPECT_GT(accepted, 0);  // the corruption leaves many files decodable
}

// ---------------------------------------------------------------------------
// Reading from disk

class BmpDecoderFile : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        scratch.Write(name, bytes);
        return scratch.file(name);
    }
    testing::ScratchDir scratch;
};

TEST_F(BmpDecoderFile, ReadsAWholeFile) {
    BmpParts s = BlankBmp(3, 2);
    s.bits = Rows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}});
    const std::string file = MakeBmp(s);
    Dib fromFile;
    ASSERT_TRUE(DecodeBmpFile(Write("a.bmp", file), fromFile));
    Dib fromMemory;
    ASSERT_TRUE(Decode(file, fromMemory));
    EXPECT_TRUE(SameDib(fromFile, fromMemory));
    EXPECT_EQ(fromFile.GetPixel(2, 0), Colour(18, 17, 16));
}

TEST_F(BmpDecoderFile, UnreadableOrBadFilesAreRefused) {
    const Dib sentinel = Sentinel();
    Dib out = sentinel;
    EXPECT_FALSE(DecodeBmpFile(scratch.file("missing.bmp"), out));
    EXPECT_FALSE(DecodeBmpFile(Write("empty.bmp", ""), out));
    EXPECT_FALSE(DecodeBmpFile(Write("junk.bmp", Raw({'B', 'M', 1, 2, 3})), out));
    EXPECT_FALSE(DecodeBmpFile(scratch.path().string(), out));
    // A FIFO is refused at once, not waited on for a writer.
    ASSERT_EQ(0, ::mkfifo(scratch.file("fifo.bmp").c_str(), 0600));
    EXPECT_FALSE(DecodeBmpFile(scratch.file("fifo.bmp"), out));
    EXPECT_TRUE(SameDib(out, sentinel));
}

}  // namespace
}  // namespace paneloom::platform::lnx
