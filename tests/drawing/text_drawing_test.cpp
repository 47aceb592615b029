// Text items drawn for real: GDI on Windows (under Wine in the tests), our
// text engine on Linux. The same expectations hold on both builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "config/run_settings.h"
#include "drawing/canvas.h"
#include "platform/text_output.h"
#include "render/output.h"
#include "render/text_items.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::Canvas;

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kGreen = 0x00FF00;

std::uint32_t Red(std::uint32_t c) { return c & 0xFF; }
std::uint32_t Green(std::uint32_t c) { return (c >> 8) & 0xFF; }
std::uint32_t Blue(std::uint32_t c) { return (c >> 16) & 0xFF; }

struct Box {
    std::int32_t left = std::numeric_limits<std::int32_t>::max();
    std::int32_t top = std::numeric_limits<std::int32_t>::max();
    std::int32_t right = -1;  // exclusive
    std::int32_t bottom = -1;
    int count = 0;
};

// Where the pixels that differ from `background` are.
Box Changed(const Canvas& canvas, std::uint32_t background) {
    Box box;
    for (std::int32_t y = 0; y < canvas.height(); ++y) {
        for (std::int32_t x = 0; x < canvas.width(); ++x) {
            if (canvas.Pixel(x, y) == background) continue;
            ++box.count;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
        }
    }
    return box;
}

// The first row that holds `colour`, or -1.
std::int32_t FirstRowWith(const Canvas& canvas, std::uint32_t colour) {
    for (std::int32_t y = 0; y < canvas.height(); ++y)
        for (std::int32_t x = 0; x < canvas.width(); ++x)
            if (canvas.Pixel(x, y) == colour) return y;
    return -1;
}

bool Holds(const Canvas& canvas, std::uint32_t colour) { return FirstRowWith(canvas, colour) >= 0; }

class TextDrawingTest : public ::testing::Test {
protected:
    // The extent of a string in an item font, with the given spacing.
    platform::TextExtent Measure(const Canvas& canvas, std::int32_t points, const std::string& face,
                                 std::int32_t weight, std::int32_t extra, const std::string& text) {
        platform::TextOutput& output = platform::Get<platform::TextOutput>();
        const platform::FontHandle font = CreateItemFont(points, face, weight, canvas.dc());
        const platform::FontHandle previous = output.SelectFontObject(canvas.dc(), font);
        const int previousExtra = output.SetCharacterExtra(canvas.dc(), extra);
        platform::TextExtent extent;
        EXPECT_TRUE(output.MeasureString(canvas.dc(), text, extent));
        output.SetCharacterExtra(canvas.dc(), previousExtra);
        output.SelectFontObject(canvas.dc(), previous);
        output.DeleteFontObject(font);
        return extent;
    }

    void ExpectNoErrorsLogged() { EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log"); }

    testing::ScratchDir scratch;
    RunSettings settings;
    VariableCaches caches;
};

TEST_F(TextDrawingTest, TextInAKnownColourChangesOnlyItsCellInThatColour) {
    Canvas canvas(320, 100, kBlack);
    DrawTextItems(canvas.dc(), "<textat x=\"20\" y=\"30\" points=\"16\" face=\"Arial\" weight=\"400\" extra=\"0\" "
                               "transparent=\"1\" textcolor=\"0000FF\" string=\"Hello\" />", settings);
    const platform::TextExtent cell = Measure(canvas, 16, "Arial", 400, 0, "Hello");
    ASSERT_GT(cell.cx, 20);
    ASSERT_GE(cell.cy, 21);

    const Box ink = Changed(canvas, kBlack);
    ASSERT_GT(ink.count, 40);
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.right, 20 + cell.cx);
    EXPECT_GE(ink.top, 30);
    EXPECT_LE(ink.bottom, 30 + cell.cy);
    bool fullRed = false;
    for (std::int32_t y = ink.top; y < ink.bottom; ++y) {
        for (std::int32_t x = ink.left; x < ink.right; ++x) {
            const std::uint32_t c = canvas.Pixel(x, y);
            // Edges may be blended, but only toward red.
            EXPECT_EQ(0u, Green(c) | Blue(c)) << x << "," << y;
            fullRed = fullRed || c == kRed;
        }
    }
    EXPECT_TRUE(fullRed);
    ExpectNoErrorsLogged();
}

TEST_F(TextDrawingTest, AnOpaqueItemFillsItsCellWithTheBackgroundColour) {
    Canvas canvas(320, 100, kWhite);
    DrawTextItems(canvas.dc(), "<textat x=\"20\" y=\"30\" points=\"16\" face=\"Arial\" weight=\"700\" extra=\"2\" "
                               "transparent=\"0\" bgcolor=\"00FF00\" textcolor=\"000000\" string=\"Hello\" />", settings);
    const platform::TextExtent cell = Measure(canvas, 16, "Arial", 700, 2, "Hello");

    const Box box = Changed(canvas, kWhite);
    EXPECT_EQ(20, box.left);
    EXPECT_EQ(30, box.top);
    EXPECT_EQ(20 + cell.cx, box.right);
    EXPECT_EQ(30 + cell.cy, box.bottom);
    EXPECT_EQ(cell.cx * cell.cy, box.count);  // every pixel of the cell painted
    for (std::int32_t y = box.top; y < box.bottom; ++y)
        for (std::int32_t x = box.left; x < box.right; ++x)
            EXPECT_EQ(0u, Red(canvas.Pixel(x, y)) | Blue(canvas.Pixel(x, y))) << x << "," << y;
    EXPECT_EQ(kGreen, canvas.Pixel(20, 30));
}

TEST_F(TextDrawingTest, CentredAndRightAlignedItemsEndWhereTheirWidthSays) {
    const std::string item = "points=\"12\" face=\"Arial\" weight=\"400\" extra=\"1\" transparent=\"0\" "
                             "bgcolor=\"00FF00\" textcolor=\"000000\" string=\"Centred text\" />";
    Canvas centred(400, 60, kWhite);
    DrawTextItems(centred.dc(), "<textat x=\"200\" y=\"10\" align=\"1\" " + item, settings);
    const platform::TextExtent cell = Measure(centred, 12, "Arial", 400, 1, "Centred text");
    const Box c = Changed(centred, kWhite);
    EXPECT_EQ(200 + cell.cx / -2, c.left);
    EXPECT_EQ(200 + cell.cx / -2 + cell.cx, c.right);

    Canvas right(400, 60, kWhite);
    DrawTextItems(right.dc(), "<textat x=\"200\" y=\"10\" align=\"2\" " + item, settings);
    const Box r = Changed(right, kWhite);
    EXPECT_EQ(200, r.right);
    EXPECT_EQ(200 - cell.cx, r.left);
}

TEST_F(TextDrawingTest, LinesOfAConfigurationLandAtTheSameYOnEveryBuild) {
    // Each line's cell painted in its own colour: the first row of each
    // colour is the top of that line's cell.
    Canvas canvas(400, 160, kWhite);
    std::string content =
        "<textline bgcolor=\"0000FF\" transparent=\"0\" textcolor=\"FFFFFF\">First line</textline>\r\n"
        "<textline bgcolor=\"00FF00\" transparent=\"0\" textcolor=\"FFFFFF\">Second line</textline>\r\n"
        "<textline bgcolor=\"FF0000\" transparent=\"0\" textcolor=\"FFFFFF\" points=\"24\">Third</textline>";
    DoDisplayOutput(content, canvas.dc(), settings, caches);
    EXPECT_EQ(30, FirstRowWith(canvas, 0x0000FF));
    EXPECT_EQ(52, FirstRowWith(canvas, 0x00FF00));
    EXPECT_EQ(74, FirstRowWith(canvas, 0xFF0000));
    EXPECT_EQ(74 + 32 + 1, settings.textStartY);
    ExpectNoErrorsLogged();
}

TEST_F(TextDrawingTest, AFreshContextWritesBlackOnAnOpaqueWhiteCell) {
    Canvas canvas(200, 60, kGreen);
    platform::TextOutput& output = platform::Get<platform::TextOutput>();
    EXPECT_TRUE(output.WriteString(canvas.dc(), 10, 10, "Hi"));
    EXPECT_EQ(kWhite, canvas.Pixel(10, 10));
    EXPECT_TRUE(Holds(canvas, kBlack));
    EXPECT_EQ(10, Changed(canvas, kGreen).left);
    EXPECT_EQ(10, Changed(canvas, kGreen).top);
}

TEST_F(TextDrawingTest, ANegativePointSizeDrawsAsThePositiveOne) {
    const std::string rest = "y=\"5\" face=\"Arial\" textcolor=\"FFFFFF\" string=\"Same size\" />";
    Canvas positive(200, 40, kBlack);
    Canvas negative(200, 40, kBlack);
    DrawTextItems(positive.dc(), "<textat x=\"5\" points=\"12\" " + rest, settings);
    DrawTextItems(negative.dc(), "<textat x=\"5\" points=\"-12\" " + rest, settings);
    ASSERT_GT(Changed(positive, kBlack).count, 20);
    for (std::int32_t y = 0; y < 40; ++y)
        for (std::int32_t x = 0; x < 200; ++x) ASSERT_EQ(positive.Pixel(x, y), negative.Pixel(x, y)) << x << "," << y;
}

TEST_F(TextDrawingTest, LargeFontsAreDrawnAtTheirTrueSize) {
    // 3000 points: a 4000-pixel em, whose cell is some 4470 pixels high.
    Canvas probe(8, 8, kWhite);
    const platform::TextExtent cell = Measure(probe, 3000, "Arial", 400, 0, ".");
    EXPECT_GT(cell.cy, 4000);
    // The full stop, drawn with the bottom of its cell on the bottom row,
    // is a square of about a ninth of the em.
    Canvas canvas(1200, 1600, kWhite);
    DrawTextItems(canvas.dc(), "<textat x=\"0\" y=\"" + std::to_string(1600 - cell.cy) +
                                   "\" points=\"3000\" face=\"Arial\" weight=\"400\" textcolor=\"000000\" "
                                   "string=\".\" />", settings);
    const Box dot = Changed(canvas, kWhite);
    EXPECT_GT(dot.bottom - dot.top, 4000 / 12);
    EXPECT_LT(dot.bottom - dot.top, 4000 / 6);
    EXPECT_GT(dot.right - dot.left, 4000 / 12);

    // Up to 12288 points (16384 pixels) at their true size; beyond, as at
    // that size.
    const platform::TextExtent largest = Measure(probe, 12288, "Arial", 400, 0, "W");
    EXPECT_GT(largest.cy, 16384);
    EXPECT_GT(largest.cx, 16384 * 9 / 10);
    const platform::TextExtent beyond = Measure(probe, 100000, "Arial", 400, 0, "W");
    EXPECT_EQ(largest.cy, beyond.cy);
    EXPECT_EQ(largest.cx, beyond.cx);
    ExpectNoErrorsLogged();
}

TEST_F(TextDrawingTest, HostileItemsAreDrawnOrClippedAndNothingFails) {
    Canvas canvas(240, 120, kBlack);
    std::string printable;
    for (int c = 0x20; c < 0x100; ++c)
        if (c != '"') printable.push_back(static_cast<char>(c));
    const std::string longLine(10000, 'M');
    DrawTextItems(canvas.dc(),
                  "<textat x=\"-40\" y=\"-300\" points=\"2147483647\" transparent=\"0\" bgcolor=\"0000FF\" "
                  "string=\"" + printable + "\" />"
                  "<textat x=\"10\" y=\"10\" points=\"-2147483648\" weight=\"5000\" string=\"Wg\" />"
                  "<textat x=\"-2147483648\" y=\"-2147483648\" points=\"-40\" weight=\"-7\" string=\"Far\" />"
                  "<textat x=\"2147483647\" y=\"2147483647\" align=\"1\" string=\"Far\" />"
                  "<textat x=\"0\" y=\"60\" points=\"14\" extra=\"2147483647\" string=\"" + longLine + "\" />"
                  "<textat x=\"230\" y=\"90\" points=\"14\" extra=\"-2147483647\" transparent=\"0\" "
                  "string=\"" + longLine + "\" />"
                  "<textat x=\"5\" y=\"100\" points=\"10\" weight=\"5000\" textcolor=\"00FF00\" string=\"bold\" />", settings);
    // The huge opaque item covers the top of the bitmap; the last item is
    // drawn below it.
    EXPECT_EQ(kRed, canvas.Pixel(0, 0));
    EXPECT_TRUE(Holds(canvas, kGreen));
    ExpectNoErrorsLogged();
}

}  // namespace
}  // namespace paneloom
