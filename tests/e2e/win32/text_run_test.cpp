// Whole runs of the Windows program that draw text, checked in the bitmap
// they write.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/drawn_text.h"
#include "e2e/program_runner.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::Picture;
using testing::ProgramPath;
using testing::RunWithCommandLine;
using testing::ScratchDir;

TEST(WindowsProgramText, LinesLandWhereTheConfigurationPutsThem) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", testing::kLinesConfiguration);
    scratch.Write("plain.bmp",
                  testing::PlainPicture(testing::kLinesWidth, testing::kLinesHeight, testing::kLinesBackground));
    ASSERT_EQ(0, RunWithCommandLine("\"" + ProgramPath() + "\"", scratch.path().string()));
    Picture picture;
    ASSERT_TRUE(testing::ReadPicture(scratch.Read("drawn.bmp"), picture));
    testing::ExpectLinesLaidOut(picture);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
}

TEST(WindowsProgramText, TheSampleConfigurationDrawsItsCentredItemOnTheMiddle) {
    ScratchDir scratch;
    const std::string sample = testing::SampleConfiguration();
    ASSERT_NE(std::string::npos, sample.find("<displayoutput>"));
    scratch.Write("paneloom.xml", sample);
    scratch.Write("sample-input.bmp", testing::PlainPicture(1280, 720, 0x402000));
    ASSERT_EQ(0, RunWithCommandLine("\"" + ProgramPath() + "\"", scratch.path().string()));
    Picture picture;
    ASSERT_TRUE(testing::ReadPicture(scratch.Read("sample-output.bmp"), picture));
    // The opaque cell of the item centred on x 640.
    const std::int32_t left = testing::FirstColumnWith(picture, 0x402010);
    const std::int32_t right = testing::LastColumnWith(picture, 0x402010) + 1;
    ASSERT_GT(right - left, 100);
    EXPECT_LE(std::abs(left + right - 2 * 640), 1) << left << " " << right;
    EXPECT_EQ(420, testing::FirstRowWith(picture, 0x402010));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
}

TEST(WindowsProgramText, TheSampleLinesInOtherScriptsDrawAsOnEveryBuild) {
    ScratchDir scratch;
    const std::string configuration = testing::SampleScriptsConfiguration();
    ASSERT_FALSE(configuration.empty());
    scratch.Write("paneloom.xml", configuration);
    scratch.Write("plain.bmp",
                  testing::PlainPicture(testing::kLinesWidth, testing::kLinesHeight, testing::kLinesBackground));
    ASSERT_EQ(0, RunWithCommandLine("\"" + ProgramPath() + "\"", scratch.path().string()));
    Picture picture;
    ASSERT_TRUE(testing::ReadPicture(scratch.Read("drawn.bmp"), picture));
    testing::ExpectSampleScriptsLaidOut(picture);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
}

TEST(WindowsProgramText, AnEmptyOutputShowsTheDefaultLines) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml",
                  "<displayoutput><textsettings><backgroundcolor red=\"255\" green=\"0\" blue=\"0\" "
                  "transparent=\"0\"/></textsettings><output></output></displayoutput>");
    scratch.Write("Paneloom.bmp", testing::PlainPicture(400, 120, 0xFFFFFF));
    ASSERT_EQ(0, RunWithCommandLine("\"" + ProgramPath() + "\"", scratch.path().string()));
    Picture picture;
    ASSERT_TRUE(testing::ReadPicture(scratch.Read("PaneloomInfo.bmp"), picture));
    // Three red cells, one below the other.
    EXPECT_EQ(30, testing::FirstRowWith(picture, 0x0000FF));
    EXPECT_EQ(0x0000FFu, picture.At(30, 52));
    EXPECT_EQ(0x0000FFu, picture.At(30, 74));
    EXPECT_EQ(0xFFFFFFu, picture.At(30, 74 + 40));
}

}  // namespace
}  // namespace paneloom
