// Text items drawn through a recording drawing context.
#include "render/text_items.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <string>

#include "config/run_settings.h"
#include "support/fakes.h"
#include "support/recording_text.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::RecordingTextOutput;

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

platform::DcHandle MemoryDC() { return reinterpret_cast<platform::DcHandle>(std::uintptr_t{0xD0}); }

class TextItemsTest : public ::testing::Test {
protected:
    // The one string the text drew.
    const RecordingTextOutput::Written& Only(const std::string& text) {
        fake.written.clear();
        DrawTextItems(MemoryDC(), text, settings);
        EXPECT_EQ(1u, fake.written.size()) << text;
        if (fake.written.empty()) fake.written.emplace_back();
        return fake.written.front();
    }

    testing::ScratchDir scratch;  // the error log, if any, goes here
    RecordingTextOutput fake;
    platform::ScopedFake<platform::TextOutput> route{fake};
    RunSettings settings;
};

TEST_F(TextItemsTest, FontHeightIsTheCharacterHeightOfThePointsAtTheContextsResolution) {
    const auto height = [&](std::int32_t points) { return ItemLogFont(points, "Arial", 400, MemoryDC()).height; };
    EXPECT_EQ(-16, height(12));
    EXPECT_EQ(-21, height(16));  // 21.33 truncated
    EXPECT_EQ(-32, height(24));
    EXPECT_EQ(-16, height(-12));
    EXPECT_EQ(0, height(0));
    EXPECT_EQ(-1, height(1));  // 1.33 truncated

    fake.pixelsPerInch = 120;
    EXPECT_EQ(-20, height(12));
    EXPECT_EQ(-26, height(16));  // 26.67 truncated

    // The height is converted to logical units of the context.
    fake.pixelsPerInch = 96;
    fake.logicalPerDevice = 2;
    EXPECT_EQ(-10, height(16));
}

TEST_F(TextItemsTest, FontRecordCarriesWeightCharsetAndTheFaceCutTo31Characters) {
    const std::string face40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";
    const platform::LogFontRecord record = ItemLogFont(12, face40, 700, MemoryDC());
    EXPECT_EQ(700, record.weight);
    EXPECT_EQ(platform::kDefaultCharSet, record.charSet);
    EXPECT_EQ(face40.substr(0, 31), RecordingTextOutput::Face(record));

    {
        // A character that the cut would split is left out whole.
        testing::FakeUtf8CodePage codePage;
        platform::ScopedFake<platform::AnsiCodePage> utf8(codePage);
        const std::string face = std::string(30, 'x') + "\xC3\xA9" + "tail";
        EXPECT_EQ(std::string(30, 'x'), RecordingTextOutput::Face(ItemLogFont(12, face, 400, MemoryDC())));
    }

    fake.calls.clear();
    platform::LogFontRecord made;
    const platform::FontHandle font = CreateItemFont(16, "Tahoma", 5000, MemoryDC(), &made);
    ASSERT_NE(nullptr, font);
    ASSERT_EQ(1u, fake.fonts.size());
    EXPECT_EQ(-21, fake.fonts[0].height);
    EXPECT_EQ(5000, fake.fonts[0].weight);  // reaches the platform unchanged
    EXPECT_EQ("Tahoma", RecordingTextOutput::Face(fake.fonts[0]));
    EXPECT_EQ(-21, made.height);
    EXPECT_EQ((std::vector<std::string>{"GetDeviceCaps 90", "DPtoLP 2", "CreateFontIndirect 1"}), fake.calls);
}

TEST_F(TextItemsTest, HugePointSizesGiveTheLargestHeightsInsteadOfOverflowing) {
    const auto height = [&](std::int32_t points) { return ItemLogFont(points, "Arial", 400, MemoryDC()).height; };
    // points x 10 no longer fits 32 bits here; the quotient still does.
    EXPECT_EQ(-286331153, height(214748365));
    EXPECT_EQ(-286331153, height(-214748365));
    EXPECT_EQ(-kIntMax, height(kIntMax));
    EXPECT_EQ(kIntMin, height(kIntMin));
    fake.pixelsPerInch = kIntMax;
    EXPECT_EQ(-kIntMax, height(kIntMax));
}

TEST_F(TextItemsTest, AlignmentOffsets) {
    EXPECT_EQ(-50, AlignmentOffset(1, 101));  // toward zero
    EXPECT_EQ(-101, AlignmentOffset(2, 101));
    EXPECT_EQ(0, AlignmentOffset(0, 101));
    EXPECT_EQ(0, AlignmentOffset(7, 101));
    EXPECT_EQ(0, AlignmentOffset(-1, 101));
    EXPECT_EQ(-std::int64_t{kIntMax}, AlignmentOffset(2, kIntMax));
    EXPECT_EQ(-(std::int64_t{kIntMin}), AlignmentOffset(2, kIntMin));

    fake.fixedWidth = 101;
    EXPECT_EQ(150, Only("<textat x=\"200\" align=\"1\" string=\"w\" />").x);
    EXPECT_EQ(99, Only("<textat x=\"200\" align=\"2\" string=\"w\" />").x);
    EXPECT_EQ(200, Only("<textat x=\"200\" align=\"7\" string=\"w\" />").x);
    EXPECT_EQ(200, Only("<textat x=\"200\" align=\"0\" string=\"w\" />").x);
}

TEST_F(TextItemsTest, ExtraSpacingWidensTheMeasureAndMovesAlignedText) {
    // Ten pixels a character: five characters measure 50, or 60 with extra 2.
    EXPECT_EQ(175, Only("<textat x=\"200\" align=\"1\" extra=\"0\" string=\"abcde\" />").x);
    EXPECT_EQ(170, Only("<textat x=\"200\" align=\"1\" extra=\"2\" string=\"abcde\" />").x);
    EXPECT_EQ(140, Only("<textat x=\"200\" align=\"2\" extra=\"2\" string=\"abcde\" />").x);
    EXPECT_EQ(2, fake.written.front().extra);
}

TEST_F(TextItemsTest, EveryAttributeIsReadWithItsOwnType) {
    const auto& item = Only(
        "<textat x=\"12\" y=\"-7\" points=\"24\" face=\"Courier New\" weight=\"300\" align=\"0\" extra=\"3\" "
        "bgcolor=\"0000FF\" textcolor=\"ff0000\" transparent=\"0\" string=\"  two  words \" />");
    EXPECT_EQ(12, item.x);
    EXPECT_EQ(-7, item.y);
    EXPECT_EQ(-32, item.font.height);
    EXPECT_EQ("Courier New", RecordingTextOutput::Face(item.font));
    EXPECT_EQ(300, item.font.weight);
    EXPECT_EQ(3, item.extra);
    EXPECT_EQ(0x0000FFu, item.bkColor);    // red
    EXPECT_EQ(0xFF0000u, item.textColor);  // blue
    EXPECT_EQ(platform::BackgroundMode::kOpaque, item.bkMode);
    EXPECT_EQ("  two  words ", item.text);
}

TEST_F(TextItemsTest, AnyNonZeroTransparentLeavesTheBackgroundAlone) {
    EXPECT_EQ(platform::BackgroundMode::kTransparent, Only("<textat transparent=\"5\" string=\"a\" />").bkMode);
    EXPECT_EQ(platform::BackgroundMode::kTransparent, Only("<textat transparent=\"-1\" string=\"a\" />").bkMode);
    EXPECT_EQ(platform::BackgroundMode::kOpaque, Only("<textat transparent=\"0\" string=\"a\" />").bkMode);
}

TEST_F(TextItemsTest, LeftOutAttributesComeFromTheSettingsAtDrawingTime) {
    settings.textStartX = 44;
    settings.textStartY = 55;
    settings.fontPoints = 12;
    settings.fontFace = "verdana";
    settings.fontWeight = 800;
    settings.textAlign = 2;
    settings.fontExtra = 4;
    settings.backgroundColor = 0x112233;
    settings.textColor = 0x445566;
    settings.transparent = 0;
    fake.fixedWidth = 30;
    const std::string text = "<textat string=\"s\" />";
    const auto first = Only(text);
    EXPECT_EQ(44 - 30, first.x);
    EXPECT_EQ(55, first.y);
    EXPECT_EQ(-16, first.font.height);
    EXPECT_EQ("verdana", RecordingTextOutput::Face(first.font));
    EXPECT_EQ(800, first.font.weight);
    EXPECT_EQ(4, first.extra);
    EXPECT_EQ(0x112233u, first.bkColor);
    EXPECT_EQ(0x445566u, first.textColor);
    EXPECT_EQ(platform::BackgroundMode::kOpaque, first.bkMode);

    // The same text drawn later takes the settings as they are then.
    settings.textStartY = 99;
    settings.textAlign = 0;
    EXPECT_EQ(99, Only(text).y);
    EXPECT_EQ(44, fake.written.front().x);
}

TEST_F(TextItemsTest, UnreadableValuesKeepTheirDefaults) {
    settings.fontPoints = 12;
    const auto& item = Only("<textat points=\"big\" x=\"\" string=\"a\" />");
    EXPECT_EQ(-16, item.font.height);
    EXPECT_EQ(settings.textStartX, item.x);
    // Without a string the item writes an empty one: nothing visible.
    EXPECT_EQ("", Only("<textat x=\"1\" />").text);
}

TEST_F(TextItemsTest, AnExtraWrittenBeforeXFeedsX) {
    const auto& item = Only("<textat extra=\"7\" x=\"100\" y=\"5\" string=\"a\" />");
    EXPECT_EQ(7, item.x);
    EXPECT_EQ(7, item.extra);
}

TEST_F(TextItemsTest, EachItemSelectsItsFontAndPutsThePreviousOneBack) {
    DrawTextItems(MemoryDC(), "<textat x=\"1\" y=\"2\" string=\"hi\" /><textat x=\"3\" y=\"4\" string=\"yo\" />",
                  settings);
    const std::string stock = std::to_string(RecordingTextOutput::kStockFont);
    const std::vector<std::string> item1 = {
        "GetDeviceCaps 90", "DPtoLP 2", "CreateFontIndirect 1", "SelectFont 1", "SetBkColor 000000", "SetBkMode 1",
        "SetTextColor C8C8C8", "SetTextCharacterExtra 1", "GetTextExtentPoint32 hi", "TextOut 1 2 hi",
        "SelectFont " + stock, "DeleteFont 1"};
    ASSERT_EQ(2 * item1.size(), fake.calls.size());
    EXPECT_EQ(item1, std::vector<std::string>(fake.calls.begin(), fake.calls.begin() + item1.size()));
    EXPECT_EQ("TextOut 3 4 yo", fake.calls[item1.size() + 9]);
    EXPECT_EQ(0, fake.liveFonts);
}

TEST_F(TextItemsTest, ItemsAreDrawnInDocumentOrderAndOtherElementsIgnored) {
    DrawTextItems(MemoryDC(),
                  "<textline>no</textline><textat string=\"1\" />junk<textat string=\"2\"/><text string=\"x\" />"
                  "<textat string=\"3\" />", settings);
    ASSERT_EQ(3u, fake.written.size());
    EXPECT_EQ("1", fake.written[0].text);
    EXPECT_EQ("2", fake.written[1].text);
    EXPECT_EQ("3", fake.written[2].text);
}

TEST_F(TextItemsTest, HostileValuesAreHandedOnWithoutOverflow) {
    const std::string line(10000, 'W');
    const auto& item = Only("<textat x=\"-2147483648\" y=\"2147483647\" align=\"2\" points=\"2147483647\" "
                            "weight=\"5000\" extra=\"2147483647\" string=\"" +
                            line + "\" />");
    EXPECT_EQ(kIntMin, item.x);  // x minus the width, held at the limit
    EXPECT_EQ(kIntMax, item.y);
    EXPECT_EQ(-kIntMax, item.font.height);
    EXPECT_EQ(5000, item.font.weight);
    EXPECT_EQ(line, item.text);

    fake.fixedWidth = kIntMax;
    EXPECT_EQ(kIntMax, Only("<textat x=\"2147483647\" align=\"0\" string=\"a\" />").x);
    EXPECT_EQ(-1073741823 + 5, Only("<textat x=\"5\" align=\"1\" string=\"a\" />").x);
}

// A context whose measuring fails the way exhausted memory does.
class FailingMeasure : public RecordingTextOutput {
public:
    bool MeasureString(platform::DcHandle, const std::string&, platform::TextExtent&) override {
        throw std::bad_alloc();
    }
};

TEST_F(TextItemsTest, AFailureIsLoggedSkipsTheRestAndReleasesTheFont) {
    FailingMeasure failing;
    platform::ScopedFake<platform::TextOutput> reroute(failing);
    DrawTextItems(MemoryDC(), "<textat string=\"a\" /><textat string=\"b\" />", settings);
    EXPECT_TRUE(failing.written.empty());
    EXPECT_EQ(1u, failing.fonts.size());  // the second item was never started
    EXPECT_EQ(0, failing.liveFonts);
    EXPECT_EQ("SelectFont " + std::to_string(RecordingTextOutput::kStockFont), failing.calls[failing.calls.size() - 2]);
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_NE(std::string::npos, log.find(" : Error writing text into bitmap\n\n")) << log;
}

}  // namespace
}  // namespace paneloom
