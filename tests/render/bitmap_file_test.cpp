// The bitmap reader and writer: the reader's layout rules and refusals, the
// writer's file layout, and whole round trips through the real platform.
#include "render/bitmap_file.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "support/bmp_maker.h"
#include "support/fakes.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using platform::BitmapHandle;
using platform::PaletteHandle;
using testing::BmpParts;
using testing::MakeBmp;
using testing::PatternBmp;
using testing::PatternRows;
using testing::PatternTable;
using testing::ScratchDir;
using testing::Stride;
using testing::U16At;
using testing::U32At;

constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

std::size_t TableEntries(std::uint16_t bpp) { return bpp <= 8 ? std::size_t{1} << bpp : 0; }

// Checks every field of a written file against the layout the writer owns:
// file header, a fresh information header at the bitmap's depth, the full
// colour table up to 8 bits, then the rows. Returns the rows.
std::string CheckWrittenLayout(const std::string& out, std::int32_t width, std::int32_t height, std::uint16_t bpp) {
    const std::size_t table = 4 * TableEntries(bpp);
    const std::size_t image = Stride(width, bpp) * static_cast<std::size_t>(height);
    EXPECT_EQ(14 + 40 + table + image, out.size());
    if (out.size() != 14 + 40 + table + image) return std::string();
    EXPECT_EQ("BM", out.substr(0, 2));
    EXPECT_EQ(out.size(), U32At(out, 2));  // bfSize
    EXPECT_EQ(0u, U32At(out, 6));          // both reserved words
    EXPECT_EQ(54 + table, U32At(out, 10));  // bfOffBits
    EXPECT_EQ(40u, U32At(out, 14));
    EXPECT_EQ(static_cast<std::uint32_t>(width), U32At(out, 18));
    EXPECT_EQ(static_cast<std::uint32_t>(height), U32At(out, 22));
    EXPECT_EQ(1u, U16At(out, 26));
    EXPECT_EQ(bpp, U16At(out, 28));
    EXPECT_EQ(0u, U32At(out, 30));  // BI_RGB
    EXPECT_EQ(image, U32At(out, 34));
    EXPECT_EQ(0u, U32At(out, 46));  // biClrUsed
    EXPECT_EQ(0u, U32At(out, 50));  // biClrImportant
    return out.substr(54 + table);
}

// ---------------------------------------------------------------------------
// The reader's rules, seen through a drawing fake that keeps what it is
// handed.

class CapturingGraphics : public testing::RecordingGraphics {
public:
    bool failCreate = false;
    std::vector<platform::PaletteEntry> palette;
    std::size_t infoSize = 0;
    std::string bits;  // handed whole, or band after band

    platform::PaletteHandle CreateLogicalPalette(const std::vector<platform::PaletteEntry>& entries) override {
        palette = entries;
        return RecordingGraphics::CreateLogicalPalette(entries);
    }
    platform::BitmapHandle CreateDeviceBitmap(platform::DcHandle dc, const std::uint8_t* info, std::size_t size,
                                              const std::uint8_t* data, std::size_t dataSize) override {
        RecordingGraphics::CreateDeviceBitmap(dc, info, size, data, dataSize);
        infoSize = size;
        bits.clear();
        if (data != nullptr) bits.assign(reinterpret_cast<const char*>(data), dataSize);
        return failCreate ? nullptr : reinterpret_cast<platform::BitmapHandle>(std::uintptr_t{1});
    }
    int SetDeviceIndependentBits(platform::DcHandle dc, platform::BitmapHandle b, std::uint32_t first,
                                 std::uint32_t lines, const std::uint8_t* data, std::size_t dataSize,
                                 const std::uint8_t* info, std::size_t size) override {
        const int set = RecordingGraphics::SetDeviceIndependentBits(dc, b, first, lines, data, dataSize, info, size);
        bits.append(reinterpret_cast<const char*>(data), dataSize);
        return set;
    }
};

class ReaderRules : public ::testing::Test {
protected:
    bool Load(const std::string& file) {
        scratch.Write("in.bmp", file);
        platform::ScopedFake<platform::Graphics> fake(graphics);
        return LoadBMPImage("in.bmp", bitmap, palette);
    }

    ScratchDir scratch;
    CapturingGraphics graphics;
    BitmapHandle bitmap = nullptr;
    PaletteHandle palette = nullptr;
};

TEST_F(ReaderRules, EightBitsWithoutColourCountGetAFullPaletteAndBitsAfterIt) {
    BmpParts bmp = PatternBmp(3, 2, 8);
    ASSERT_TRUE(Load(MakeBmp(bmp)));
    EXPECT_EQ(256u, graphics.palette.size());
    EXPECT_EQ(1064u, graphics.infoSize);
    EXPECT_EQ(bmp.bits, graphics.bits);
    EXPECT_NE(nullptr, bitmap);
    EXPECT_NE(nullptr, palette);
}

TEST_F(ReaderRules, FourBitsWithSixColoursGetSixEntries) {
    BmpParts bmp = PatternBmp(5, 3, 4);
    bmp.clrUsed = 6;
    bmp.table = PatternTable(6);
    ASSERT_TRUE(Load(MakeBmp(bmp)));
    EXPECT_EQ(6u, graphics.palette.size());
    EXPECT_EQ(40u + 24u, graphics.infoSize);
    EXPECT_EQ(bmp.bits, graphics.bits);
}

TEST_F(ReaderRules, TrueColourFilesGetNoPaletteAndBitsRightAfterTheHeader) {
    for (std::uint16_t bpp : {24, 32}) {
        graphics.calls.clear();
        BmpParts bmp = PatternBmp(3, 2, bpp);
        ASSERT_TRUE(Load(MakeBmp(bmp))) << bpp;
        EXPECT_EQ(40u, graphics.infoSize) << bpp;
        EXPECT_EQ(bmp.bits, graphics.bits) << bpp;
        EXPECT_EQ(graphics.calls.end(), std::find(graphics.calls.begin(), graphics.calls.end(), "RealizeDcPalette"));
        EXPECT_EQ(nullptr, palette);
    }
    EXPECT_TRUE(graphics.palette.empty());
}

TEST_F(ReaderRules, SixteenBitFieldsHaveTheirBitsAfterTheMasks) {
    BmpParts bmp = PatternBmp(3, 2, 16);
    bmp.compression = kBiBitfields;
    bmp.masks = {0xF800, 0x07E0, 0x001F};
    ASSERT_TRUE(Load(MakeBmp(bmp)));
    EXPECT_EQ(52u, graphics.infoSize);
    EXPECT_EQ(bmp.bits, graphics.bits);
    EXPECT_EQ(nullptr, palette);
}

// The palette takes every entry the colour count names, also where the
// system reads fewer (above 8 bits per pixel it reads none).
TEST_F(ReaderRules, PaletteTakesTheWholeColourCountFromTheTable) {
    for (const auto& [bpp, count] : std::vector<std::pair<std::uint16_t, std::uint32_t>>{{16, 2}, {4, 20}}) {
        BmpParts bmp = PatternBmp(3, 2, bpp);
        bmp.clrUsed = count;
        bmp.table = PatternTable(count);
        ASSERT_TRUE(Load(MakeBmp(bmp))) << bpp;
        ASSERT_EQ(count, graphics.palette.size()) << bpp;
        for (std::size_t i = 0; i < count; ++i) {
            const auto entry = static_cast<std::size_t>(4 * i);
            EXPECT_EQ(static_cast<std::uint8_t>(bmp.table[entry]), graphics.palette[i].blue) << bpp << " " << i;
            EXPECT_EQ(static_cast<std::uint8_t>(bmp.table[entry + 2]), graphics.palette[i].red) << bpp << " " << i;
        }
        EXPECT_EQ(bmp.bits, graphics.bits) << bpp;
    }
}

TEST_F(ReaderRules, BitsAreTakenAfterTheTableWhateverBfOffBitsSays) {
    BmpParts bmp = PatternBmp(2, 2, 24);
    bmp.gap = "GAP!GAP!";
    const std::string file = MakeBmp(bmp);
    ASSERT_EQ(54u + 8u, U32At(file, 10));
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(40u, graphics.infoSize);
    // The rows start with the gap; the last 8 bytes of the rows are left out.
    EXPECT_EQ(file.substr(54, 16), graphics.bits);
    EXPECT_EQ(0u, graphics.bits.find("GAP!GAP!"));
}

TEST_F(ReaderRules, TallPictureIsSetBandByBandInFileOrder) {
    const BmpParts bmp = PatternBmp(1000, 300, 24);  // 900,000 bytes of rows
    ASSERT_TRUE(Load(MakeBmp(bmp)));
    EXPECT_TRUE(graphics.bits == bmp.bits);
    std::vector<std::string> bands;
    for (const std::string& call : graphics.calls) {
        if (call.rfind("SetDeviceIndependentBits ", 0) == 0) bands.push_back(call);
    }
    ASSERT_GT(bands.size(), 1u);
    EXPECT_EQ(0u, bands.front().find("SetDeviceIndependentBits 0 "));
}

TEST_F(ReaderRules, PaletteEntriesTakeEachColourFromItsOwnField) {
    BmpParts bmp = PatternBmp(2, 1, 1);
    bmp.table = std::string("\x01\x02\x03\x04\xF0\xE0\xD0\xC0", 8);
    ASSERT_TRUE(Load(MakeBmp(bmp)));
    ASSERT_EQ(2u, graphics.palette.size());
    EXPECT_EQ(3, graphics.palette[0].red);
    EXPECT_EQ(2, graphics.palette[0].green);
    EXPECT_EQ(1, graphics.palette[0].blue);
    EXPECT_EQ(0, graphics.palette[0].flags);
    EXPECT_EQ(0xD0, graphics.palette[1].red);
    EXPECT_EQ(0xF0, graphics.palette[1].blue);
    EXPECT_EQ(0, graphics.palette[1].flags);
}

TEST_F(ReaderRules, PaletteIsRealizedOnTheScreenWhileTheBitmapIsMadeAndThenDeselected) {
    ASSERT_TRUE(Load(MakeBmp(PatternBmp(4, 4, 4))));
    // The rows are set, in one band here, while the palette is selected.
    const std::vector<std::string> expected = {
        "CreateLogicalPalette 16", "GetScreenDC",       "SelectDcPalette 5",
        "RealizeDcPalette",        "CreateDeviceBitmap", "SetDeviceIndependentBits 0 4",
        "SelectDcPalette 7",       "ReleaseScreenDC 3",
    };
    EXPECT_EQ(expected, graphics.calls);
}

TEST_F(ReaderRules, BitmapTheSystemCannotMakeIsReportedAndNothingIsKept) {
    graphics.failCreate = true;
    EXPECT_FALSE(Load(MakeBmp(PatternBmp(4, 4, 8))));
    EXPECT_EQ(nullptr, bitmap);
    EXPECT_EQ(nullptr, palette);
    const std::vector<std::string> tail = {"SelectDcPalette 7", "ReleaseScreenDC 3", "DeletePalette 5"};
    ASSERT_GE(graphics.calls.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), graphics.calls.end() - 3));
}

TEST_F(ReaderRules, NotABitmapIsRefusedBeforeAnythingIsMade) {
    EXPECT_FALSE(Load(std::string("BM\0\0\0\0\0\0\0\0\0\0\0", 13)));
    platform::ScopedFake<platform::Graphics> fake(graphics);
    EXPECT_FALSE(LoadBMPImage("absent.bmp", bitmap, palette));
    EXPECT_TRUE(graphics.calls.empty());
}

TEST_F(ReaderRules, AnythingButABmpGoesToThePlatformLoaderAndThenToTheScreensDepth) {
    std::string file = MakeBmp(PatternBmp(2, 2, 24));
    file[1] = 'N';
    graphics.loadFails = true;
    EXPECT_FALSE(Load(file));
    EXPECT_EQ(std::vector<std::string>{"LoadBitmapFile in.bmp"}, graphics.calls);
    EXPECT_EQ(nullptr, bitmap);

    // The loaded picture (bitmap 1, 2 x 2 at 24 bits) is fetched and set
    // into a screen bitmap, then deleted; no palette.
    graphics.loadFails = false;
    graphics.calls.clear();
    EXPECT_TRUE(Load(file));
    const std::vector<std::string> expected = {"LoadBitmapFile in.bmp", "GetBitmapRecord 1", "GetScreenDC",
                                               "CreateDeviceBitmap", "GetDeviceIndependentBits rows",
                                               "SetDeviceIndependentBits 0 2", "ReleaseScreenDC 3", "DeleteBitmap 1"};
    EXPECT_EQ(expected, graphics.calls);
    EXPECT_NE(nullptr, bitmap);
    EXPECT_EQ(nullptr, palette);
}

// A file of `size` bytes that starts with `head` (zeros follow), shared
// with other readers, that counts what is read of it.
class CountingFiles : public testing::FakeFiles {
public:
    std::string head;
    std::uint64_t size = 0;
    std::uint64_t read = 0;

    std::unique_ptr<platform::ReadableFile> OpenForReading(const std::string&) override {
        return std::make_unique<File>(*this);
    }

private:
    class File : public platform::ReadableFile {
    public:
        explicit File(CountingFiles& owner) : owner_(owner) {}
        std::uint64_t Size() const override { return owner_.size; }
        std::size_t Read(void* buffer, std::size_t wanted) override {
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, owner_.size - offset_));
            auto* bytes = static_cast<char*>(buffer);
            for (std::size_t i = 0; i < count; ++i, ++offset_) {
                bytes[i] = offset_ < owner_.head.size() ? owner_.head[static_cast<std::size_t>(offset_)] : '\0';
            }
            owner_.read += count;
            return count;
        }

    private:
        CountingFiles& owner_;
        std::uint64_t offset_ = 0;
    };
};

TEST_F(ReaderRules, HeaderPromisingMoreThanTheFileHoldsOrTheLimitIsRefusedAfterTheHeadersOnly) {
    CountingFiles files;
    platform::ScopedFake<platform::Files> fakeFiles(files);
    platform::ScopedFake<platform::Graphics> fake(graphics);

    // A gigabyte whose header claims 100,000 x 100,000 pixels at 24 bits.
    files.head = MakeBmp(testing::BlankBmp(100000, 100000));
    files.size = std::uint64_t{1} << 30;
    EXPECT_FALSE(LoadBMPImage("huge.bmp", bitmap, palette));
    EXPECT_EQ(54u, files.read);

    // A file that holds all of 20,000 x 20,000 pixels: more than the limit.
    files.read = 0;
    files.head = MakeBmp(testing::BlankBmp(20000, 20000));
    files.size = 54 + std::uint64_t{60000} * 20000;
    EXPECT_FALSE(LoadBMPImage("limit.bmp", bitmap, palette));
    EXPECT_EQ(54u, files.read);
    EXPECT_TRUE(graphics.calls.empty());

    // One within both is read whole.
    files.read = 0;
    files.head = MakeBmp(PatternBmp(3, 2, 24));
    files.size = files.head.size();
    EXPECT_TRUE(LoadBMPImage("small.bmp", bitmap, palette));
    EXPECT_EQ(files.size, files.read);
}

// ---------------------------------------------------------------------------
// Hostile files, through the real platform: every one is refused, and
// nothing is read outside the file (the sanitizer build checks that).

bool LoadReal(const ScratchDir& scratch, const std::string& file) {
    scratch.Write("hostile.bmp", file);
    BitmapHandle bitmap = nullptr;
    PaletteHandle palette = nullptr;
    const bool result = LoadBMPImage("hostile.bmp", bitmap, palette);
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    graphics.DeleteBitmap(bitmap);
    graphics.DeletePalette(palette);
    if (!result) {
        EXPECT_EQ(nullptr, bitmap);
        EXPECT_EQ(nullptr, palette);
    }
    return result;
}

// An RLE8 stream for a 4 x 2 bitmap: a run of two 1s, an absolute run of
// 2 3 1 (its last pixel falls past the row), end of line, a delta of two
// pixels to the right, a run of two 2s, end of bitmap.
std::string Rle8Stream() {
    return std::string("\x02\x01"
                       "\x00\x03\x02\x03\x01\x00"
                       "\x00\x00"
                       "\x00\x02\x02\x00"
                       "\x02\x02"
                       "\x00\x01",
                       18);
}

// An RLE4 stream for a 5 x 2 bitmap.
std::string Rle4Stream() { return std::string("\x05\x12\x00\x00\x00\x03\x34\x50\x00\x01", 10); }

TEST(ReaderHostileFiles, EveryTruncationIsRefused) {
    ScratchDir scratch;
    BmpParts rle8 = PatternBmp(4, 2, 8);
    rle8.compression = kBiRle8;
    rle8.bits = Rle8Stream();
    rle8.sizeImage = static_cast<std::uint32_t>(rle8.bits.size());
    BmpParts rle4 = PatternBmp(5, 2, 4);
    rle4.compression = kBiRle4;
    rle4.bits = Rle4Stream();  // no size: the rest of the file is the stream
    BmpParts fields = PatternBmp(3, 3, 16);
    fields.compression = kBiBitfields;
    fields.masks = {0x7C00, 0x03E0, 0x001F};
    const std::vector<BmpParts> files = {PatternBmp(5, 3, 4), PatternBmp(3, -2, 24), PatternBmp(9, 2, 1), rle8, rle4,
                                        fields};
    for (const BmpParts& bmp : files) {
        const std::string file = MakeBmp(bmp);
        ASSERT_TRUE(LoadReal(scratch, file)) << bmp.bitCount;
        for (std::size_t length = 0; length < file.size(); ++length) {
            EXPECT_FALSE(LoadReal(scratch, file.substr(0, length))) << bmp.bitCount << " bits, " << length << " bytes";
        }
    }
}

TEST(ReaderHostileFiles, HeadersDescribingWhatCannotBeAreRefused) {
    ScratchDir scratch;
    struct Case {
        const char* what;
        BmpParts bmp;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, auto change) {
        BmpParts bmp = PatternBmp(4, 3, 8);
        change(bmp);
        cases.push_back({what, bmp});
    };
    add("huge colour count", [](BmpParts& s) { s.clrUsed = 0xFFFFFFFFu; });
    add("257 colours at 8 bits", [](BmpParts& s) {
        s.clrUsed = 257;
        s.table = PatternTable(257);
    });
    add("colour table past the end at 24 bits", [](BmpParts& s) {
        s.bitCount = 24;
        s.clrUsed = 0x40000000u;
        s.table.clear();
        s.bits = PatternRows(4, 3, 24);
    });
    add("zero width", [](BmpParts& s) { s.width = 0; });
    add("negative width", [](BmpParts& s) { s.width = -4; });
    add("zero height", [](BmpParts& s) { s.height = 0; });
    add("most negative height", [](BmpParts& s) { s.height = INT32_MIN; });
    add("huge height", [](BmpParts& s) { s.height = 0x7FFFFFFF; });
    add("huge width at 32 bits", [](BmpParts& s) {
        s.width = 0x7FFFFFFF;
        s.bitCount = 32;
        s.table.clear();
        s.bits = PatternRows(4, 3, 32);
    });
    add("huge negative height", [](BmpParts& s) { s.height = -0x7FFFFFFF; });
    add("depth 0", [](BmpParts& s) { s.bitCount = 0; });
    add("depth 2", [](BmpParts& s) { s.bitCount = 2; });
    add("depth 64", [](BmpParts& s) { s.bitCount = 64; });
    add("JPEG data", [](BmpParts& s) { s.compression = 4; });
    add("unknown compression", [](BmpParts& s) { s.compression = 0x7FFF; });
    add("bit fields at 8 bits", [](BmpParts& s) { s.compression = kBiBitfields; });
    add("RLE4 at 8 bits", [](BmpParts& s) { s.compression = kBiRle4; });
    add("top-down RLE8", [](BmpParts& s) {
        s.compression = kBiRle8;
        s.height = -2;
        s.bits = Rle8Stream();
    });
    add("64-byte header", [](BmpParts& s) { s.headerSize = 64; });
    add("core header at 16 bits", [](BmpParts& s) {
        s.headerSize = 12;
        s.bitCount = 16;
        s.table.clear();
    });
    for (const Case& c : cases) EXPECT_FALSE(LoadReal(scratch, MakeBmp(c.bmp))) << c.what;
}

TEST(ReaderHostileFiles, RleStreamsRunningPastTheEndAreRefused) {
    ScratchDir scratch;
    struct Case {
        const char* what;
        std::uint32_t compression;
        std::string stream;
        std::uint32_t sizeImage;
    };
    const std::vector<Case> cases = {
        {"declared size past the end", kBiRle8, Rle8Stream(), 1000},
        {"absolute run past the end", kBiRle8, std::string("\x00\x40\x01\x02", 4), 0},
        {"absolute run past the declared size", kBiRle8, std::string("\x00\x04\x01\x02\x03\x04\x00\x01", 8), 4},
        {"delta cut short", kBiRle8, std::string("\x00\x02\x01", 3), 0},
        {"no end of bitmap", kBiRle8, std::string("\x04\x01\x04\x01", 4), 0},
        {"odd byte at the end", kBiRle8, std::string("\x04\x01\x00", 3), 0},
        {"RLE4 absolute run past the end", kBiRle4, std::string("\x00\x09\x12\x34", 4), 0},
        {"empty stream", kBiRle8, std::string(), 0},
    };
    for (const Case& c : cases) {
        BmpParts bmp = PatternBmp(4, 2, c.compression == kBiRle4 ? 4 : 8);
        bmp.compression = c.compression;
        bmp.bits = c.stream;
        bmp.sizeImage = c.sizeImage;
        EXPECT_FALSE(LoadReal(scratch, MakeBmp(bmp))) << c.what;
    }
}

// ---------------------------------------------------------------------------
// The writer.

// A bitmap whose rows the fake paints as GetDIBits would deliver them: byte
// i of scan line l is (l * 7 + i) & 0xFF, and the header's image size is
// filled in (`imageExtra` bytes more than the rows). It delivers at most
// `deliverUpTo` lines in all, and lends `kept` as its rows in place when
// that is not empty.
class PaintingGraphics : public testing::RecordingGraphics {
public:
    std::uint32_t deliverUpTo = UINT32_MAX;
    std::uint32_t imageExtra = 0;
    std::vector<std::uint32_t> firstLines;  // of each call for rows
    std::string kept;

    static std::uint8_t Painted(std::uint32_t line, std::size_t i) { return static_cast<std::uint8_t>(line * 7 + i); }

    int GetDeviceIndependentBits(platform::DcHandle dc, platform::BitmapHandle b, std::uint32_t first,
                                 std::uint32_t lines, std::uint8_t* bits, std::size_t bitsSize, std::uint8_t* info,
                                 std::size_t infoSize) override {
        RecordingGraphics::GetDeviceIndependentBits(dc, b, first, lines, bits, bitsSize, info, infoSize);
        const std::size_t stride = Stride(width, bitsPerPixel);
        const std::uint32_t image =
            static_cast<std::uint32_t>(stride) * static_cast<std::uint32_t>(height) + imageExtra;
        for (int i = 0; i < 4; ++i) info[20 + i] = static_cast<std::uint8_t>(image >> (8 * i));
        if (bits == nullptr) return height;
        firstLines.push_back(first);
        const std::uint32_t end = std::min({first + lines, static_cast<std::uint32_t>(height), deliverUpTo});
        if (end <= first) return 0;
        for (std::uint32_t line = first; line < end; ++line) {
            for (std::size_t i = 0; i < stride; ++i) bits[(line - first) * stride + i] = Painted(line, i);
        }
        return static_cast<int>(end - first);
    }

    const std::uint8_t* RowsInPlace(platform::BitmapHandle, const std::uint8_t*, std::size_t) override {
        return kept.empty() ? nullptr : reinterpret_cast<const std::uint8_t*>(kept.data());
    }
};

class WriterSteps : public ::testing::Test {
protected:
    ScratchDir scratch;
    PaintingGraphics graphics;
    platform::ScopedFake<platform::Graphics> fake{graphics};
    BitmapHandle bitmap = reinterpret_cast<BitmapHandle>(std::uintptr_t{1});
};

TEST_F(WriterSteps, ConversionHoldsThePreparedHeaderTableAndRows) {
    graphics.bitsPerPixel = 4;
    {
        const std::unique_ptr<DibConversion> dib = BitmapToDIB(bitmap, nullptr);
        ASSERT_NE(nullptr, dib);
        // 2 x 2 at 4 bits: rows of 4 bytes, a 64-byte table.
        ASSERT_EQ(40u + 64u, dib->Info().size());
        EXPECT_EQ(8u, dib->ImageSize());
        const std::string bytes(dib->Info().begin(), dib->Info().begin() + 40);
        EXPECT_EQ(40u, U32At(bytes, 0));
        EXPECT_EQ(2u, U32At(bytes, 4));
        EXPECT_EQ(2u, U32At(bytes, 8));
        EXPECT_EQ(1u, U16At(bytes, 12));
        EXPECT_EQ(4u, U16At(bytes, 14));
        EXPECT_EQ(0u, U32At(bytes, 16));
        EXPECT_EQ(8u, U32At(bytes, 20));  // completed by the system
        EXPECT_EQ(std::string(16, '\0'), bytes.substr(24));
        std::uint8_t rows[8] = {};
        EXPECT_EQ(2u, dib->FetchRows(0, 2, rows));
        EXPECT_EQ(PaintingGraphics::Painted(1, 3), rows[7]);
    }
    const std::vector<std::string> expected = {
        "DefaultPalette",    "GetBitmapRecord 1", "GetScreenDC",
        "SelectDcPalette 15", "RealizeDcPalette", "GetDeviceIndependentBits header",
        "GetDeviceIndependentBits rows", "SelectDcPalette 7", "ReleaseScreenDC 3",
    };
    EXPECT_EQ(expected, graphics.calls);
}

TEST_F(WriterSteps, FailedConversionWritesNothingAndStillRestoresTheScreen) {
    class RowsFail : public testing::RecordingGraphics {
    public:
        int GetDeviceIndependentBits(platform::DcHandle dc, platform::BitmapHandle b, std::uint32_t first,
                                     std::uint32_t lines, std::uint8_t* bits, std::size_t bitsSize, std::uint8_t* info,
                                     std::size_t infoSize) override {
            const int got = RecordingGraphics::GetDeviceIndependentBits(dc, b, first, lines, bits, bitsSize, info,
                                                                        infoSize);
            return bits == nullptr ? got : 0;
        }
    } failing;
    platform::ScopedFake<platform::Graphics> rowsFail(failing);
    PaletteHandle given = reinterpret_cast<PaletteHandle>(std::uintptr_t{5});
    EXPECT_FALSE(WriteBMPImage("out.bmp", bitmap, given));
    EXPECT_FALSE(scratch.Exists("out.bmp"));
    const std::vector<std::string> tail = {"GetDeviceIndependentBits rows", "SelectDcPalette 7", "ReleaseScreenDC 3"};
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), failing.calls.end() - 3));
    EXPECT_NE(failing.calls.end(), std::find(failing.calls.begin(), failing.calls.end(), "SelectDcPalette 5"));
}

TEST_F(WriterSteps, BitmapWithoutARecordIsNotConverted) {
    EXPECT_EQ(nullptr, BitmapToDIB(reinterpret_cast<BitmapHandle>(std::uintptr_t{2}), nullptr));
    EXPECT_EQ((std::vector<std::string>{"DefaultPalette", "GetBitmapRecord 2"}), graphics.calls);
    EXPECT_FALSE(WriteBMPImage("out.bmp", reinterpret_cast<BitmapHandle>(std::uintptr_t{2}), nullptr));
    EXPECT_FALSE(scratch.Exists("out.bmp"));
}

TEST_F(WriterSteps, FileIsTheHeaderFollowedByTheHeaderTableAndRows) {
    // A 24-bit 3 x 2 bitmap: rows of 12 bytes, S = 24, bfOffBits 54, 78 bytes.
    graphics.width = 3;
    EXPECT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
    const std::string out = scratch.Read("out.bmp");
    ASSERT_EQ(78u, out.size());
    EXPECT_EQ("BM", out.substr(0, 2));
    EXPECT_EQ(78u, U32At(out, 2));
    EXPECT_EQ(0u, U32At(out, 6));
    EXPECT_EQ(54u, U32At(out, 10));
    EXPECT_EQ(40u, U32At(out, 14));
    EXPECT_EQ(24u, U32At(out, 34));
    for (std::size_t i = 0; i < 24; ++i) {
        EXPECT_EQ(PaintingGraphics::Painted(static_cast<std::uint32_t>(i / 12), i % 12),
                  static_cast<std::uint8_t>(out[54 + i]))
            << i;
    }
}

TEST_F(WriterSteps, OffsetOfTheBitsFollowsTheDepth) {
    const std::vector<std::pair<std::uint8_t, std::uint32_t>> cases = {{1, 62}, {4, 118}, {8, 1078}, {16, 54}, {32, 54}};
    for (const auto& [bpp, offset] : cases) {
        graphics.bitsPerPixel = bpp;
        ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
        const std::string out = scratch.Read("out.bmp");
        EXPECT_EQ(offset, U32At(out, 10)) << int{bpp};
        EXPECT_EQ(out.size(), U32At(out, 2)) << int{bpp};
    }
}

TEST_F(WriterSteps, RowsAreFetchedAndWrittenBandByBandInOrder) {
    // 300 lines of 4,000 bytes: more than one band.
    graphics.width = 1000;
    graphics.height = 300;
    graphics.bitsPerPixel = 32;
    ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
    const std::string out = scratch.Read("out.bmp");
    ASSERT_EQ(54u + 300u * 4000u, out.size());
    std::size_t wrong = 0;
    for (std::uint32_t line = 0; line < 300; ++line) {
        for (std::size_t i = 0; i < 4000; ++i) {
            wrong += static_cast<std::uint8_t>(out[54 + line * 4000 + i]) != PaintingGraphics::Painted(line, i);
        }
    }
    EXPECT_EQ(0u, wrong);
    ASSERT_GT(graphics.firstLines.size(), 1u);
    EXPECT_EQ(0u, graphics.firstLines.front());
    EXPECT_TRUE(std::is_sorted(graphics.firstLines.begin(), graphics.firstLines.end()));

    // Lines the system stops delivering are cleared, and it is not asked
    // again.
    graphics.firstLines.clear();
    graphics.deliverUpTo = 150;
    ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
    const std::string cut = scratch.Read("out.bmp");
    ASSERT_EQ(out.size(), cut.size());
    EXPECT_EQ(out.substr(0, 54 + 150 * 4000), cut.substr(0, 54 + 150 * 4000));
    EXPECT_EQ(std::string(150 * 4000, '\0'), cut.substr(54 + 150 * 4000));
    EXPECT_LT(graphics.firstLines.back(), 150u);
}

TEST_F(WriterSteps, RowsKeptAsTheFileLaysThemOutAreWrittenFromWhereTheyAreWithoutFetching) {
    graphics.width = 1000;
    graphics.height = 300;
    graphics.bitsPerPixel = 32;
    for (std::size_t i = 0; i < 300u * 4000u; ++i) graphics.kept.push_back(static_cast<char>(i * 13 % 251));
    ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
    EXPECT_EQ(graphics.kept, CheckWrittenLayout(scratch.Read("out.bmp"), 1000, 300, 32));
    EXPECT_TRUE(graphics.firstLines.empty());
}

TEST_F(WriterSteps, ImageDeclaredLargerThanItsRowsEndsInZerosFetchedOrKept) {
    graphics.width = 3;
    graphics.imageExtra = 10;
    for (const bool kept : {false, true}) {
        graphics.kept = kept ? std::string(24, 'k') : std::string();
        ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
        const std::string out = scratch.Read("out.bmp");
        ASSERT_EQ(54u + 24u + 10u, out.size()) << kept;
        EXPECT_EQ(out.size(), U32At(out, 2));
        EXPECT_EQ(34u, U32At(out, 34));
        EXPECT_EQ(kept ? 'k' : static_cast<char>(PaintingGraphics::Painted(1, 11)), out[54 + 23]);
        EXPECT_EQ(std::string(10, '\0'), out.substr(54 + 24)) << kept;
    }
}

TEST_F(WriterSteps, ExistingFileIsReplacedAndNothingElseIsLeft) {
    scratch.Write("out.bmp", std::string(5000, 'x'));
    graphics.bitsPerPixel = 32;
    EXPECT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
    EXPECT_EQ(14u + 40u + 16u, scratch.Read("out.bmp").size());
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, scratch.Names());
}

TEST_F(WriterSteps, FileThatCannotBeWrittenIsLoggedAndTheRunGoesOn) {
    std::filesystem::create_directory(scratch.path() / "taken");
    EXPECT_TRUE(WriteBMPImage("taken", bitmap, nullptr));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "taken"));
    EXPECT_TRUE(WriteBMPImage("missing-folder/out.bmp", bitmap, nullptr));
    EXPECT_EQ((std::vector<std::string>{"paneloomerror.log", "taken"}), scratch.Names());
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_NE(std::string::npos, log.find(" : Could not write <taken>!\n\n")) << log;
    EXPECT_NE(std::string::npos, log.find(" : Could not write <missing-folder/out.bmp>!\n\n")) << log;
}

TEST_F(WriterSteps, FailedWriteIsThrownAndThePreviousFileStays) {
    testing::FakeFiles files;
    files.failWrites = true;
    platform::ScopedFake<platform::Files> fakeFiles(files);
    scratch.Write("out.bmp", "previous");
    EXPECT_THROW(WriteBMPImage("out.bmp", bitmap, nullptr), platform::FileError);
    EXPECT_EQ("previous", scratch.Read("out.bmp"));
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, scratch.Names());
}

// ---------------------------------------------------------------------------
// Round trips through the real platform.

class RoundTrip : public ::testing::TestWithParam<std::uint16_t> {
protected:
    ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
};

TEST_P(RoundTrip, PlatformLoaderKeepsTheDepthTableAndRows) {
    const std::uint16_t bpp = GetParam();
    const BmpParts bmp = PatternBmp(13, 5, bpp, bpp);
    scratch.Write("in.bmp", MakeBmp(bmp));
    BitmapHandle bitmap = graphics.LoadBitmapFile("in.bmp");
    ASSERT_NE(nullptr, bitmap);
    EXPECT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
    graphics.DeleteBitmap(bitmap);

    const std::string out = scratch.Read("out.bmp");
    const std::string rows = CheckWrittenLayout(out, 13, 5, bpp);
    EXPECT_EQ(bmp.table, out.substr(54, bmp.table.size()));
    EXPECT_TRUE(rows == bmp.bits) << "rows differ at " << bpp << " bits";
}

TEST_P(RoundTrip, ScreenDepthKeepsEveryColour) {
    const std::uint16_t bpp = GetParam();
    const BmpParts bmp = PatternBmp(11, 4, bpp, bpp + 100);
    scratch.Write("in.bmp", MakeBmp(bmp));
    BitmapHandle bitmap = nullptr;
    PaletteHandle palette = nullptr;
    ASSERT_TRUE(LoadBMPImage("in.bmp", bitmap, palette));
    EXPECT_EQ(bpp <= 8, palette != nullptr);
    platform::BitmapRecord record;
    ASSERT_TRUE(graphics.GetBitmapRecord(bitmap, record));
    EXPECT_TRUE(WriteBMPImage("out.bmp", bitmap, palette));
    graphics.DeleteBitmap(bitmap);
    graphics.DeletePalette(palette);

    // The output has the screen's depth, whatever the input's.
    const std::uint16_t screen = record.bitsPerPixel;
    ASSERT_GE(screen, 24) << "colours can only be compared exactly on a true-colour screen";
    const std::string out = scratch.Read("out.bmp");
    const std::string rows = CheckWrittenLayout(out, 11, 4, screen);
    for (std::int32_t row = 0; row < 4; ++row) {
        for (std::int32_t x = 0; x < 11; ++x) {
            ASSERT_EQ(testing::StoredColour(bmp.bits, bmp.table, 11, bpp, x, row),
                      testing::StoredColour(rows, std::string(), 11, screen, x, row))
                << bpp << " bits, pixel " << x << "," << row;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, RoundTrip, ::testing::Values(1, 4, 8, 16, 24, 32),
                         [](const ::testing::TestParamInfo<std::uint16_t>& info) {
                             return std::to_string(info.param) + "bpp";
                         });

class CompressedInput : public ::testing::Test {
protected:
    // Loads at the screen's depth and returns the written rows at 32 bits.
    std::string Through(const BmpParts& bmp) {
        scratch.Write("in.bmp", MakeBmp(bmp));
        BitmapHandle bitmap = nullptr;
        PaletteHandle palette = nullptr;
        if (!LoadBMPImage("in.bmp", bitmap, palette)) return "not loaded";
        platform::BitmapRecord record;
        EXPECT_TRUE(graphics.GetBitmapRecord(bitmap, record));
        EXPECT_EQ(32, record.bitsPerPixel);
        WriteBMPImage("out.bmp", bitmap, palette);
        graphics.DeleteBitmap(bitmap);
        graphics.DeletePalette(palette);
        return CheckWrittenLayout(scratch.Read("out.bmp"), bmp.width, bmp.height, 32);
    }

    static std::uint32_t Colour(const std::string& table, std::size_t index) {
        return testing::StoredColour(std::string(1, static_cast<char>(index)), table, 1, 8, 0, 0);
    }

    ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
};

TEST_F(CompressedInput, Rle8RunsAbsoluteRunsAndDeltasLandWhereTheyBelong) {
    BmpParts bmp = PatternBmp(4, 2, 8);
    bmp.compression = kBiRle8;
    bmp.bits = Rle8Stream();
    bmp.sizeImage = static_cast<std::uint32_t>(bmp.bits.size());
    const std::string rows = Through(bmp);
    ASSERT_EQ(32u, rows.size());
    // Bottom row: 1 1 2 3; top row: x 2 and 3 hold 2.
    const std::vector<std::size_t> bottom = {1, 1, 2, 3};
    for (std::int32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(Colour(bmp.table, bottom[x]), testing::StoredColour(rows, "", 4, 32, x, 0)) << x;
    }
    EXPECT_EQ(Colour(bmp.table, 2), testing::StoredColour(rows, "", 4, 32, 2, 1));
    EXPECT_EQ(Colour(bmp.table, 2), testing::StoredColour(rows, "", 4, 32, 3, 1));
}

TEST_F(CompressedInput, Rle4AlternatesTheTwoColoursOfARun) {
    BmpParts bmp = PatternBmp(5, 2, 4);
    bmp.compression = kBiRle4;
    bmp.bits = Rle4Stream();
    const std::string rows = Through(bmp);
    ASSERT_EQ(40u, rows.size());
    const std::vector<std::size_t> bottom = {1, 2, 1, 2, 1};
    const std::vector<std::size_t> top = {3, 4, 5};
    for (std::int32_t x = 0; x < 5; ++x) {
        EXPECT_EQ(Colour(bmp.table, bottom[x]), testing::StoredColour(rows, "", 5, 32, x, 0)) << x;
    }
    for (std::int32_t x = 0; x < 3; ++x) {
        EXPECT_EQ(Colour(bmp.table, top[x]), testing::StoredColour(rows, "", 5, 32, x, 1)) << x;
    }
}

TEST_F(CompressedInput, BitFieldMasksAreHonoured) {
    BmpParts bmp = PatternBmp(2, 1, 16);
    bmp.compression = kBiBitfields;
    bmp.masks = {0xF800, 0x07E0, 0x001F};  // R5 G6 B5
    bmp.bits = std::string("\x00\xF8\xE0\x07", 4);
    const std::string rows = Through(bmp);
    ASSERT_EQ(8u, rows.size());
    EXPECT_EQ(0x0000FFu, testing::StoredColour(rows, "", 2, 32, 0, 0));
    EXPECT_EQ(0x00FF00u, testing::StoredColour(rows, "", 2, 32, 1, 0));
}

TEST(RoundTripLayout, TopDownInputIsWrittenBottomUp) {
    ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    const BmpParts bmp = PatternBmp(7, -3, 24);
    scratch.Write("in.bmp", MakeBmp(bmp));
    BitmapHandle bitmap = nullptr;
    PaletteHandle palette = nullptr;
    ASSERT_TRUE(LoadBMPImage("in.bmp", bitmap, palette));
    WriteBMPImage("out.bmp", bitmap, palette);
    graphics.DeleteBitmap(bitmap);
    const std::string rows = CheckWrittenLayout(scratch.Read("out.bmp"), 7, 3, 32);
    ASSERT_EQ(3 * Stride(7, 32), rows.size());
    for (std::int32_t r = 0; r < 3; ++r) {
        for (std::int32_t x = 0; x < 7; ++x) {
            EXPECT_EQ(testing::StoredColour(bmp.bits, "", 7, 24, x, r), testing::StoredColour(rows, "", 7, 32, x, 2 - r))
                << x << "," << r;
        }
    }
}

TEST(RoundTripLayout, OnlyThePlatformLoaderHonoursBfOffBits) {
    ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    BmpParts bmp = PatternBmp(2, 2, 24);
    bmp.gap = std::string(8, '\x7F');
    scratch.Write("in.bmp", MakeBmp(bmp));

    BitmapHandle loaded = graphics.LoadBitmapFile("in.bmp");
    ASSERT_NE(nullptr, loaded);
    WriteBMPImage("platform.bmp", loaded, nullptr);
    graphics.DeleteBitmap(loaded);
    EXPECT_EQ(bmp.bits, CheckWrittenLayout(scratch.Read("platform.bmp"), 2, 2, 24));

    BitmapHandle read = nullptr;
    PaletteHandle palette = nullptr;
    ASSERT_TRUE(LoadBMPImage("in.bmp", read, palette));
    WriteBMPImage("reader.bmp", read, palette);
    graphics.DeleteBitmap(read);
    const std::string rows = CheckWrittenLayout(scratch.Read("reader.bmp"), 2, 2, 32);
    ASSERT_EQ(16u, rows.size());
    // The first pixel of the bottom row comes from the gap.
    EXPECT_EQ(0x7F7F7Fu, testing::StoredColour(rows, "", 2, 32, 0, 0));
}

}  // namespace
}  // namespace paneloom
