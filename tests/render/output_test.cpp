// The output pipeline through a recording drawing context: lines laid out as
// generated textat elements, positioned items collected, the current items
// kept and drawn.
#include "render/output.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>

#include "config/run_settings.h"
#include "render/text_items.h"
#include "support/fakes.h"
#include "support/recording_text.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::RecordingTextOutput;

platform::DcHandle MemoryDC() { return reinterpret_cast<platform::DcHandle>(std::uintptr_t{0xD0}); }

class OutputTest : public ::testing::Test {
protected:
    std::string Convert(const std::string& content, bool expected = true) {
        std::string items = "stale";
        EXPECT_EQ(expected, ConvertTextLines(content, items, settings));
        return items;
    }

    void Display(std::string content) { DoDisplayOutput(content, MemoryDC(), settings, caches); }

    std::vector<std::string> WrittenTexts() const {
        std::vector<std::string> texts;
        for (const auto& w : fake.written) texts.push_back(w.text);
        return texts;
    }
    std::vector<std::int32_t> WrittenYs() const {
        std::vector<std::int32_t> ys;
        for (const auto& w : fake.written) ys.push_back(w.y);
        return ys;
    }

    testing::ScratchDir scratch;
    RecordingTextOutput fake;
    platform::ScopedFake<platform::TextOutput> route{fake};
    testing::RecordingGraphics graphics;  // the screen's context
    platform::ScopedFake<platform::Graphics> routeGraphics{graphics};
    RunSettings settings;
    VariableCaches caches;
};

TEST_F(OutputTest, ALineBecomesTheGeneratedElementByteForByte) {
    EXPECT_EQ("<textat x=\"30\" y=\"30\" weight=\"600\" points=\"16\" face=\"Arial\" align=\"0\" extra=\"1\" "
              "bgcolor=\"000000\" transparent=\"1\" textcolor=\"C8C8C8\" string=\"Host name\" />",
              Convert("<textline>Host name</textline>"));

    settings.textStartY = 30;
    EXPECT_EQ("<textat x=\"30\" y=\"30\" weight=\"700\" points=\"24\" face=\"Courier New\" align=\"2\" extra=\"5\" "
              "bgcolor=\"0000FF\" transparent=\"0\" textcolor=\"00FF00\" string=\" a\r\n b \" />",
              Convert("<textline points=\"24\" face=\"Courier New\" weight=\"700\" align=\"2\" extra=\"5\" "
                      "bgcolor=\"0000ff\" textcolor=\"ff00\" transparent=\"0\" x=\"9\" y=\"9\"> a\r\n b "
                      "</textline>"));
}

TEST_F(OutputTest, ColoursAreWrittenAsSixUpperCaseHexDigitsAtLeast) {
    settings.backgroundColor = 0x0000FF;
    settings.textColor = 0x01ABCDEF;
    const std::string items = Convert("<textline>x</textline>");
    EXPECT_NE(std::string::npos, items.find("bgcolor=\"0000FF\"")) << items;
    EXPECT_NE(std::string::npos, items.find("textcolor=\"1ABCDEF\"")) << items;
}

TEST_F(OutputTest, LinesMoveDownByTheCharacterHeightPlusTheSettingsExtra) {
    // 16 points at 96 pixels per inch is 21 pixels high; fontExtra is 1.
    const std::string items = Convert("<textline>one</textline>\r\n<textline>two</textline>");
    EXPECT_NE(std::string::npos, items.find("y=\"30\"") );
    EXPECT_NE(std::string::npos, items.find("y=\"52\""));
    EXPECT_EQ(74, settings.textStartY);

    Convert("<textline points=\"24\">big</textline>");
    EXPECT_EQ(74 + 32 + 1, settings.textStartY);
    // The line's own extra and weight play no part in the advance.
    Convert("<textline extra=\"5\" weight=\"900\">spaced</textline>");
    EXPECT_EQ(107 + 21 + 1, settings.textStartY);
    Convert("<textline points=\"0\">default size</textline>");
    EXPECT_EQ(129 + 1, settings.textStartY);
    settings.fontExtra = -3;
    Convert("<textline points=\"12\"></textline>");
    EXPECT_EQ(130 + 16 - 3, settings.textStartY);
}

TEST_F(OutputTest, TheLineHeightIsMeasuredOnTheScreenWithoutAWeight) {
    Convert("<textline face=\"Georgia\" points=\"12\">a</textline><textline>b</textline>");
    EXPECT_EQ((std::vector<std::string>{"GetScreenDC", "ReleaseScreenDC 3"}), graphics.calls);
    const std::vector<std::string> perLine = {"GetDeviceCaps 90", "DPtoLP 2", "CreateFontIndirect 1", "DeleteFont 1"};
    ASSERT_EQ(2 * perLine.size(), fake.calls.size());
    EXPECT_EQ(perLine, std::vector<std::string>(fake.calls.begin(), fake.calls.begin() + 4));
    EXPECT_EQ((std::vector<platform::DcHandle>(2, reinterpret_cast<platform::DcHandle>(std::uintptr_t{3}))),
              fake.capsContexts);
    ASSERT_EQ(2u, fake.fonts.size());
    EXPECT_EQ(0, fake.fonts[0].weight);
    EXPECT_EQ("Georgia", RecordingTextOutput::Face(fake.fonts[0]));
    EXPECT_EQ(0, fake.liveFonts);
}

TEST_F(OutputTest, NoLinesGivesZeroAndAnEmptyText) {
    EXPECT_EQ("", Convert("<textat string=\"a\" /><textline>unclosed", false));
    EXPECT_EQ(30, settings.textStartY);
}

TEST_F(OutputTest, AnEmptyLineStillTakesALine) {
    const std::string items = Convert("<textline></textline>");
    EXPECT_NE(std::string::npos, items.find("string=\"\" />"));
    EXPECT_EQ(52, settings.textStartY);
}

TEST_F(OutputTest, HugeAdvancesStopAtTheLimit) {
    settings.textStartY = 2147483000;
    Convert("<textline points=\"2000\">a</textline>");
    EXPECT_EQ(2147483647, settings.textStartY);
    Convert("<textline points=\"2147483647\">a</textline>");
    EXPECT_EQ(2147483647, settings.textStartY);
}

TEST_F(OutputTest, CollectTakesEachPositionedItemWhole) {
    std::string items = "stale";
    EXPECT_TRUE(CollectTextAt("a<textat x=\"1\" y=\"2\" />b<textline>l</textline><textat/>c<textat", items));
    EXPECT_EQ("<textat x=\"1\" y=\"2\" /><textat/>", items);
    EXPECT_FALSE(CollectTextAt("<textline>l</textline>", items));
    EXPECT_EQ("", items);
}

TEST_F(OutputTest, LinesAreDrawnBeforePositionedItemsWhateverTheirOrder) {
    Display("<textat x=\"5\" y=\"6\" string=\"B\" /><textline>A</textline>");
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), WrittenTexts());
    EXPECT_EQ(0u, settings.defaultOutputText.find("<textat x=\"30\" y=\"30\""));
    EXPECT_NE(std::string::npos, settings.defaultOutputText.find("<textat x=\"5\" y=\"6\" string=\"B\" />"));
}

TEST_F(OutputTest, AnItemWithoutYGoesBelowTheLastLine) {
    Display("<textline>A</textline><textat string=\"C\" /><textline>B</textline>");
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), WrittenTexts());
    EXPECT_EQ((std::vector<std::int32_t>{30, 52, 74}), WrittenYs());
}

TEST_F(OutputTest, AnOutputWithoutItemsDrawsTheLastItemsAgainAtTheSamePlaces) {
    Display("<textline>A</textline><textline>B</textline>");
    const std::string kept = settings.defaultOutputText;
    fake.written.clear();
    Display("only text, no items");
    EXPECT_EQ(kept, settings.defaultOutputText);
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), WrittenTexts());
    EXPECT_EQ((std::vector<std::int32_t>{30, 52}), WrittenYs());
    EXPECT_EQ(74, settings.textStartY);

    // Positioned items alone replace them.
    fake.written.clear();
    Display("<textat y=\"1\" string=\"P\" />");
    EXPECT_EQ("<textat y=\"1\" string=\"P\" />", settings.defaultOutputText);
    EXPECT_EQ((std::vector<std::string>{"P"}), WrittenTexts());
}

TEST_F(OutputTest, BeforeAnyItemsAnEmptyOutputDrawsTheDefaultLines) {
    Display("");
    EXPECT_EQ(3u, fake.written.size());
    EXPECT_EQ((std::vector<std::int32_t>{30, 52, 74}), WrittenYs());
    EXPECT_EQ(96, settings.textStartY);
    EXPECT_EQ(0u, settings.defaultOutputText.find("<textat "));

    // Laid out once: drawn again at the same places afterwards.
    fake.written.clear();
    Display("<output-less text/>");
    EXPECT_EQ((std::vector<std::int32_t>{30, 52, 74}), WrittenYs());
    EXPECT_EQ(96, settings.textStartY);
}

TEST_F(OutputTest, AQuoteInALineEndsTheDrawnString) {
    Display("<textline>say \"hi\" now</textline><textline>next</textline>");
    EXPECT_EQ((std::vector<std::string>{"say ", "next"}), WrittenTexts());
}

TEST_F(OutputTest, ALineHoldingSelfClosingMarkIsDrawnEmptyAndTheNextLinesAreNot) {
    Display("<textline>a/>b</textline><textline>after</textline>");
    EXPECT_EQ((std::vector<std::string>{"", "after"}), WrittenTexts());
    EXPECT_EQ((std::vector<std::int32_t>{30, 52}), WrittenYs());
}

// A screen on which making the second font fails the way exhausted memory does.
class FailingSecondFont : public RecordingTextOutput {
public:
    platform::FontHandle CreateFontFromRecord(const platform::LogFontRecord& record) override {
        if (!fonts.empty()) throw std::bad_alloc();
        return RecordingTextOutput::CreateFontFromRecord(record);
    }
};

TEST_F(OutputTest, AFailedConversionKeepsWhatWasDoneAndIsLogged) {
    FailingSecondFont failing;
    platform::ScopedFake<platform::TextOutput> reroute(failing);
    std::string items;
    EXPECT_TRUE(ConvertTextLines("<textline>one</textline><textline>two</textline>", items, settings));
    EXPECT_NE(std::string::npos, items.find("string=\"one\""));
    EXPECT_EQ(std::string::npos, items.find("string=\"two\""));
    EXPECT_EQ(52, settings.textStartY);
    EXPECT_EQ("ReleaseScreenDC 3", graphics.calls.back());
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_NE(std::string::npos, log.find(" : Error converting <text>...</text>\n\n")) << log;
}

}  // namespace
}  // namespace paneloom
