#include "e2e/drawn_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/utf16.h"
#include "support/bmp_maker.h"
#include "support/picture_maker.h"

namespace paneloom::testing {

const char* const kLinesConfiguration =
    "<globalsettings><inputbmp name=\"plain.bmp\"/><outputbmp name=\"drawn.bmp\"/></globalsettings>\r\n"
    "<displayoutput>\r\n"
    "  <textsettings><textstart x=\"40\" y=\"30\"/>"
    "<backgroundcolor red=\"0\" green=\"0\" blue=\"0\" transparent=\"0\"/>"
    "<textcolor red=\"255\" green=\"255\" blue=\"255\"/></textsettings>\r\n"
    "  <output>\r\n"
    "    <textline bgcolor=\"0000FF\">First line</textline>\r\n"
    "    <textline bgcolor=\"00FF00\">Second line</textline>\r\n"
    "  </output>\r\n"
    "</displayoutput>\r\n"
    "<displayoutput>\r\n"
    "  <textsettings><font points=\"24\"/></textsettings>\r\n"
    "  <output>\r\n"
    "    <textat x=\"600\" y=\"10\" align=\"2\" bgcolor=\"00FFFF\" string=\"Placed\"/>\r\n"
    "    <textline bgcolor=\"FF0000\">Third, larger</textline>\r\n"
    "  </output>\r\n"
    "</displayoutput>\r\n";

bool ReadPicture(const std::string& bytes, Picture& picture) {
    if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) return false;
    const std::uint32_t offBits = U32At(bytes, 10);
    const auto width = static_cast<std::int32_t>(U32At(bytes, 18));
    const auto height = static_cast<std::int32_t>(U32At(bytes, 22));
    const std::uint16_t bpp = U16At(bytes, 28);
    if (width <= 0 || height == 0 || (bpp != 24 && bpp != 32) || U32At(bytes, 30) != 0) return false;
    const std::int32_t rows = height < 0 ? -height : height;
    const std::size_t stride = Stride(width, bpp);
    if (offBits > bytes.size() || stride * static_cast<std::size_t>(rows) > bytes.size() - offBits) return false;
    picture.width = width;
    picture.height = rows;
    picture.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows), 0);
    for (std::int32_t y = 0; y < rows; ++y) {
        const std::int32_t stored = height < 0 ? y : rows - 1 - y;
        const std::size_t row = offBits + stride * static_cast<std::size_t>(stored);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::size_t at = row + static_cast<std::size_t>(x) * (bpp / 8);
            const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])); };
            picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                byte(at + 2) | (byte(at + 1) << 8) | (byte(at) << 16);
        }
    }
    return true;
}

std::string PlainPicture(std::int32_t width, std::int32_t height, std::uint32_t colour) {
    return HalvesPicture(width, height, colour, colour);
}

std::string HalvesPicture(std::int32_t width, std::int32_t height, std::uint32_t left, std::uint32_t right) {
    BmpParts parts = testing::BlankBmp(width, height);
    std::string row(Stride(width, 24), '\0');
    for (std::int32_t x = 0; x < width; ++x) {
        const std::uint32_t colour = x < width / 2 ? left : right;
        row[3 * static_cast<std::size_t>(x)] = static_cast<char>(colour >> 16);
        row[3 * static_cast<std::size_t>(x) + 1] = static_cast<char>(colour >> 8);
        row[3 * static_cast<std::size_t>(x) + 2] = static_cast<char>(colour);
    }
    for (std::int32_t y = 0; y < height; ++y) parts.bits += row;
    return MakeBmp(parts);
}

std::string HalvesPng(std::int32_t width, std::int32_t height, std::uint32_t left, std::uint32_t right) {
    ColourGrid grid;
    grid.width = width;
    grid.height = height;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) grid.colours.push_back(0xFF000000u | (x < width / 2 ? left : right));
    }
    return GridAsPng(grid, PngForm());
}

std::int32_t FirstRowWith(const Picture& picture, std::uint32_t colour) {
    for (std::int32_t y = 0; y < picture.height; ++y)
        for (std::int32_t x = 0; x < picture.width; ++x)
            if (picture.At(x, y) == colour) return y;
    return -1;
}

std::int32_t FirstColumnWith(const Picture& picture, std::uint32_t colour) {
    for (std::int32_t x = 0; x < picture.width; ++x)
        for (std::int32_t y = 0; y < picture.height; ++y)
            if (picture.At(x, y) == colour) return x;
    return -1;
}

std::int32_t LastColumnWith(const Picture& picture, std::uint32_t colour) {
    for (std::int32_t x = picture.width - 1; x >= 0; --x)
        for (std::int32_t y = 0; y < picture.height; ++y)
            if (picture.At(x, y) == colour) return x;
    return -1;
}

void ExpectLinesLaidOut(const Picture& picture) {
    ASSERT_EQ(kLinesWidth, picture.width);
    ASSERT_EQ(kLinesHeight, picture.height);
    // 16 points at 96 pixels per inch are 21 pixels, plus 1 of extra: the
    // second line starts 22 below the first, and the second displayoutput
    // goes on below it.
    EXPECT_EQ(30, FirstRowWith(picture, 0x0000FF));
    EXPECT_EQ(40, FirstColumnWith(picture, 0x0000FF));
    EXPECT_EQ(52, FirstRowWith(picture, 0x00FF00));
    EXPECT_EQ(40, FirstColumnWith(picture, 0x00FF00));
    EXPECT_EQ(74, FirstRowWith(picture, 0xFF0000));
    EXPECT_EQ(40, FirstColumnWith(picture, 0xFF0000));
    // The placed item is right-aligned: its cell ends just before x 600.
    EXPECT_EQ(10, FirstRowWith(picture, 0x00FFFF));
    EXPECT_EQ(599, LastColumnWith(picture, 0x00FFFF));
    // White glyphs inside the cells; the picture around them untouched.
    EXPECT_NE(-1, FirstRowWith(picture, 0xFFFFFF));
    EXPECT_EQ(kLinesBackground, picture.At(0, 0));
    EXPECT_EQ(kLinesBackground, picture.At(kLinesWidth - 1, kLinesHeight - 1));
}

std::string SampleConfiguration() {
    std::string path = PANELOOM_SAMPLE_CONFIG;
#ifdef _WIN32
    // The build records a Unix path; Wine maps the Unix root to drive Z:.
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
#endif
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

// Widths of the sample's two lines as the Linux build draws them.
constexpr std::int32_t kChineseLineWidth = 150;
constexpr std::int32_t kArabicLineWidth = 181;

// The texts of the sample's textlines that hold a byte outside ASCII.
std::vector<std::string> SampleScriptLines() {
    const std::string sample = SampleConfiguration();
    const std::string open = "<textline>";
    const std::string close = "</textline>";
    std::vector<std::string> lines;
    for (std::size_t start = sample.find(open); start != std::string::npos; start = sample.find(open, start)) {
        start += open.size();
        const std::size_t end = sample.find(close, start);
        if (end == std::string::npos) break;
        std::string line = sample.substr(start, end - start);
        if (std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            const std::string name = "%HOSTNAME%";
            for (std::size_t at = line.find(name); at != std::string::npos; at = line.find(name, at))
                line.replace(at, name.size(), "HOST");
            lines.push_back(line);
        }
        start = end;
    }
    return lines;
}

// The width of the cell of one colour in the rows where it stands.
std::int32_t CellWidth(const Picture& picture, std::uint32_t colour) {
    const std::int32_t first = FirstColumnWith(picture, colour);
    return first < 0 ? 0 : LastColumnWith(picture, colour) - first + 1;
}

}  // namespace

std::string SampleScriptsConfiguration() {
    const std::vector<std::string> lines = SampleScriptLines();
    if (lines.size() != 2) return std::string();
    return "<globalsettings><inputbmp name=\"plain.bmp\"/><outputbmp name=\"drawn.bmp\"/></globalsettings>\r\n"
           "<displayoutput>\r\n"
           "  <textsettings><textstart x=\"40\" y=\"30\"/>"
           "<backgroundcolor red=\"0\" green=\"0\" blue=\"0\" transparent=\"0\"/>"
           "<textcolor red=\"255\" green=\"255\" blue=\"255\"/>"
           "<font face=\"Arial\" points=\"16\" weight=\"400\" extra=\"1\"/></textsettings>\r\n"
           "  <output>\r\n"
           "    <textline bgcolor=\"0000FF\">" +
           lines[0] +
           "</textline>\r\n"
           "    <textline bgcolor=\"00FF00\">" +
           lines[1] +
           "</textline>\r\n"
           "  </output>\r\n"
           "</displayoutput>\r\n";
}

std::string SavedAsUtf16(const std::string& utf8, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : Utf16FromUtf8(utf8)) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

void ExpectSampleScriptsLaidOut(const Picture& picture) {
    ASSERT_EQ(kLinesWidth, picture.width);
    // Both lines start where the configuration puts them, on cells of the
    // chosen face's height (Chinese and Arabic come from other faces, on
    // the same baseline), and are as wide on both builds within a few
    // pixels: widths measured on the Linux build.
    EXPECT_EQ(30, FirstRowWith(picture, 0x0000FF));
    EXPECT_EQ(40, FirstColumnWith(picture, 0x0000FF));
    EXPECT_EQ(52, FirstRowWith(picture, 0x00FF00));
    EXPECT_EQ(40, FirstColumnWith(picture, 0x00FF00));
    constexpr std::int32_t kTolerance = 4;
    EXPECT_NEAR(kChineseLineWidth, CellWidth(picture, 0x0000FF), kTolerance);
    EXPECT_NEAR(kArabicLineWidth, CellWidth(picture, 0x00FF00), kTolerance);
    // Glyphs in white inside the cells.
    EXPECT_NE(-1, FirstRowWith(picture, 0xFFFFFF));
}

}  // namespace paneloom::testing
