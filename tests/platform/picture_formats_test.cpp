// Pictures in every format the build reads, through the platform loader
// (Graphics::LoadBitmapFile) and through the screen-depth reader
// (LoadBMPImage), held to the colours they were made from: exactly for the
// lossless formats, closely for JPEG. On Windows the decoder is the
// system's own (WIC under Wine), on Linux libjpeg-turbo, libpng and libwebp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "render/bitmap_file.h"
#include "support/bmp_maker.h"
#include "support/picture_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::ColourGrid;
using testing::JpegForm;
using testing::PngForm;

// What a loader made, fetched back at 32 bits: width, height, colours
// (0x00BBGGRR) top row first.
struct Loaded {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> colours;
};

Loaded Fetch(platform::BitmapHandle bitmap) {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    Loaded loaded;
    platform::BitmapRecord record;
    if (bitmap == nullptr || !graphics.GetBitmapRecord(bitmap, record)) return loaded;
    std::string info = testing::MakeDibInfo(testing::BlankBmp(record.width, record.height, 32));
    std::string rows(testing::Stride(record.width, 32) * static_cast<std::size_t>(record.height), '\0');
    platform::DcHandle screen = graphics.GetScreenDC();
    const int lines = graphics.GetDeviceIndependentBits(screen, bitmap, 0, static_cast<std::uint32_t>(record.height),
                                                        reinterpret_cast<std::uint8_t*>(&rows[0]), rows.size(),
                                                        reinterpret_cast<std::uint8_t*>(&info[0]), info.size());
    graphics.ReleaseScreenDC(screen);
    graphics.DeleteBitmap(bitmap);
    if (lines != record.height) return loaded;
    loaded.width = record.width;
    loaded.height = record.height;
    for (std::int32_t y = 0; y < record.height; ++y) {
        for (std::int32_t x = 0; x < record.width; ++x) {
            loaded.colours.push_back(testing::StoredColour(rows, "", record.width, 32, x, record.height - 1 - y));
        }
    }
    return loaded;
}

// The largest difference of one channel between what was loaded and the
// colours shown over black; -1 when the sizes differ.
int LargestDifference(const Loaded& loaded, const ColourGrid& expected) {
    if (loaded.width != expected.width || loaded.height != expected.height) return -1;
    int largest = 0;
    for (std::size_t i = 0; i < loaded.colours.size(); ++i) {
        const std::uint32_t want = testing::OverBlack(expected.colours[i]);
        for (int shift = 0; shift < 24; shift += 8) {
            const int a = static_cast<int>((loaded.colours[i] >> shift) & 0xFF);
            const int b = static_cast<int>((want >> shift) & 0xFF);
            largest = std::max(largest, std::abs(a - b));
        }
    }
    return largest;
}

struct FormatCase {
    const char* name;
    std::string bytes;    // empty: a form this build's encoder cannot make
    ColourGrid expected;  // what the picture shows, upright
    int tolerance;        // per channel
};

ColourGrid Turned(const ColourGrid& grid, bool clockwise) {
    ColourGrid turned{grid.height, grid.width, std::vector<std::uint32_t>(grid.colours.size())};
    for (std::int32_t y = 0; y < grid.height; ++y) {
        for (std::int32_t x = 0; x < grid.width; ++x) {
            if (clockwise) {
                turned.At(grid.height - 1 - y, x) = grid.At(x, y);
            } else {
                turned.At(y, grid.width - 1 - x) = grid.At(x, y);
            }
        }
    }
    return turned;
}

ColourGrid WithAlpha(ColourGrid grid) {
    for (std::int32_t y = 0; y < grid.height; ++y) {
        for (std::int32_t x = 0; x < grid.width; ++x) {
            const std::uint32_t alpha = x == 0 ? 0 : x == 1 ? 255 : static_cast<std::uint32_t>((x * 37 + y * 11) & 0xFF);
            grid.At(x, y) = (grid.At(x, y) & 0xFFFFFF) | (alpha << 24);
        }
    }
    return grid;
}

ColourGrid BlackAndWhite(std::int32_t width, std::int32_t height) {
    ColourGrid grid = testing::FewColourGrid(width, height);
    for (std::uint32_t& c : grid.colours) c = (c & 0xFF) >= 0x80 ? 0xFFFFFFFF : 0xFF000000;
    return grid;
}

std::vector<FormatCase> Cases() {
    const ColourGrid colour = testing::PatternGrid(37, 23);
    const ColourGrid grey = testing::GreyGrid(colour);
    const ColourGrid few = testing::FewColourGrid(37, 23);
    const ColourGrid translucent = WithAlpha(colour);
    ColourGrid fewTranslucent = few;  // an opacity per palette entry
    for (std::uint32_t& c : fewTranslucent.colours) c = (c & 0xFFFFFF) | (((c * 2654435761u) >> 24) << 24);
    ColourGrid keyed = few;  // tRNS makes white transparent: black where it was
    for (std::uint32_t& c : keyed.colours) {
        if ((c & 0xFFFFFF) == 0xFFFFFF) c = 0x00FFFFFF;
    }
    const ColourGrid bw = BlackAndWhite(37, 23);
    const std::string jpeg = testing::GridAsJpeg(colour);
    std::vector<FormatCase> cases = {
        {"png rgb 8", testing::GridAsPng(colour, {2, 8}), colour, 0},
        {"png rgb 16", testing::GridAsPng(colour, {2, 16}), colour, 0},
        {"png rgba 8", testing::GridAsPng(translucent, {6, 8}), translucent, 1},
        {"png rgba 16", testing::GridAsPng(translucent, {6, 16}), translucent, 1},
        {"png grey 8", testing::GridAsPng(grey, {0, 8}), grey, 0},
        {"png grey 16", testing::GridAsPng(grey, {0, 16}), grey, 0},
        {"png grey 1", testing::GridAsPng(bw, {0, 1}), bw, 0},
        {"png grey alpha 8", testing::GridAsPng(WithAlpha(grey), {4, 8}), WithAlpha(grey), 1},
        {"png palette 8", testing::GridAsPng(few, {3, 8}), few, 0},
        {"png palette 4", testing::GridAsPng(few, {3, 4}), few, 0},
        {"png palette 4 trns", testing::GridAsPng(fewTranslucent, {3, 4, false, true}), fewTranslucent, 1},
        {"png rgb trns", testing::GridAsPng(few, {2, 8, false, true, 0xFFFFFF}), keyed, 0},
        {"png rgb interlaced", testing::GridAsPng(colour, {2, 8, true}), colour, 0},
        {"png rgba interlaced", testing::GridAsPng(translucent, {6, 8, true}), translucent, 1},
        {"png palette 2 interlaced", testing::GridAsPng(BlackAndWhite(37, 23), {3, 2, true}), bw, 0},
        {"jpeg baseline", jpeg, colour, 12},
        {"jpeg progressive", testing::GridAsJpeg(colour, JpegForm{true}), colour, 12},
        {"jpeg grey", testing::GridAsJpeg(grey, JpegForm{false, true}), grey, 6},
        {"jpeg cmyk", testing::GridAsJpeg(colour, JpegForm{false, false, true}), colour, 12},
        {"jpeg turned clockwise", testing::WithExifOrientation(jpeg, 6), Turned(colour, true), 12},
        {"jpeg turned anticlockwise", testing::WithExifOrientation(jpeg, 8, true), Turned(colour, false), 12},
        {"tiff", testing::GridAsTiff(colour), colour, 0},
        {"webp", testing::GridAsWebp(colour), colour, 0},
        {"webp alpha", testing::GridAsWebp(translucent, true), translucent, 1},
    };
    return cases;
}

class PictureFormats : public ::testing::Test {
protected:
    testing::ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
};

TEST_F(PictureFormats, EveryFormatLoadsOnBothPathsAsTheColoursItWasMadeFrom) {
    std::size_t made = 0;
    for (const FormatCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        if (c.bytes.empty()) continue;  // not made by this build's encoder
        ++made;
        // Named as a bitmap: the content decides.
        scratch.Write("picture.bmp", c.bytes);
        const int loaded = LargestDifference(Fetch(graphics.LoadBitmapFile("picture.bmp")), c.expected);
        EXPECT_GE(loaded, 0);
        EXPECT_LE(loaded, c.tolerance);

        platform::BitmapHandle bitmap = nullptr;
        platform::PaletteHandle palette = nullptr;
        ASSERT_TRUE(LoadBMPImage("picture.bmp", bitmap, palette));
        EXPECT_EQ(nullptr, palette);
        const int atScreenDepth = LargestDifference(Fetch(bitmap), c.expected);
        EXPECT_GE(atScreenDepth, 0);
        EXPECT_LE(atScreenDepth, c.tolerance);
    }
    // Every PNG form and the upright and turned baseline JPEGs on both
    // builds; TIFF on Windows; the other JPEG forms and WebP on Linux.
#ifdef _WIN32
    EXPECT_EQ(19u, made);
#else
    EXPECT_EQ(23u, made);
#endif
}

TEST_F(PictureFormats, DamagedAndGiantPicturesAreRefusedOnBothPaths) {
    const ColourGrid grid = testing::PatternGrid(64, 48);
    const std::string png = testing::GridAsPng(grid, {2, 8});
    const std::string jpeg = testing::GridAsJpeg(grid);
    const std::string webp = testing::GridAsWebp(grid);
    std::string corrupt = png;
    corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0x5A);  // the IDAT's CRC fails
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"png cut in half", png.substr(0, png.size() / 2)},
        {"png cut inside its last chunk", png.substr(0, png.size() - 12 - 6)},
        {"png corrupt", corrupt},
        {"png signature only", png.substr(0, 8)},
        {"jpeg cut in half", jpeg.substr(0, jpeg.size() / 2)},
        {"jpeg header only", jpeg.substr(0, 200)},
        {"webp cut in half", webp.substr(0, webp.size() / 2)},
        {"png 100000 x 100000", testing::GiantPngHeader(100000, 100000)},
        {"png 2^31 wide", testing::GiantPngHeader(0x80000000u, 1)},
        {"jpeg 65500 x 65500", testing::GiantJpegHeader(65500, 65500)},
        {"text", "not a picture at all"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bytes.size() < 8) continue;  // a form this build cannot make
        scratch.Write("bad.png", c.bytes);
        EXPECT_EQ(nullptr, graphics.LoadBitmapFile("bad.png"));
        platform::BitmapHandle bitmap = nullptr;
        platform::PaletteHandle palette = nullptr;
        EXPECT_FALSE(LoadBMPImage("bad.png", bitmap, palette));
        EXPECT_EQ(nullptr, bitmap);
    }
}

// Every header form a writer makes, as GIMP (V5) and old OS/2 tools (core)
// write them, draws what the 40-byte form draws, on both paths.
TEST_F(PictureFormats, EveryBmpHeaderFormDrawsTheSamePictureOnBothPaths) {
    const testing::BmpParts base = testing::PatternBmp(13, 7, 8);
    platform::BitmapHandle bitmap = nullptr;
    platform::PaletteHandle palette = nullptr;
    scratch.Write("base.bmp", testing::MakeBmp(base));
    const Loaded expected = Fetch(graphics.LoadBitmapFile("base.bmp"));
    ASSERT_EQ(13, expected.width);
    for (std::uint32_t form : {12u, 40u, 108u, 124u}) {
        SCOPED_TRACE(form);
        testing::BmpParts bmp = base;
        bmp.headerSize = form;
        if (form == 12) {
            bmp.table.clear();
            for (std::size_t i = 0; i < base.table.size(); i += 4) bmp.table += base.table.substr(i, 3);
        }
        scratch.Write("form.bmp", testing::MakeBmp(bmp));
        const Loaded loaded = Fetch(graphics.LoadBitmapFile("form.bmp"));
        EXPECT_EQ(expected.colours, loaded.colours);
        ASSERT_TRUE(LoadBMPImage("form.bmp", bitmap, palette));
        ASSERT_NE(nullptr, palette);
        graphics.DeletePalette(palette);
        palette = nullptr;
        const Loaded atScreenDepth = Fetch(bitmap);
        EXPECT_EQ(expected.colours, atScreenDepth.colours);
    }
}

}  // namespace
}  // namespace paneloom
