// Whole runs of the Linux program that draw text, checked in the bitmap
// they write.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/drawn_text.h"
#include "e2e/program_runner.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::Picture;
using testing::RunWithArguments;
using testing::ScratchDir;

TEST(LinuxProgramText, LinesLandWhereTheConfigurationPutsThem) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", testing::kLinesConfiguration);
    scratch.Write("plain.bmp",
                  testing::PlainPicture(testing::kLinesWidth, testing::kLinesHeight, testing::kLinesBackground));
    ASSERT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    Picture picture;
    ASSERT_TRUE(testing::ReadPicture(scratch.Read("drawn.bmp"), picture));
    testing::ExpectLinesLaidOut(picture);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
}

TEST(LinuxProgramText, TheSampleConfigurationDrawsItsCentredItemOnTheMiddle) {
    ScratchDir scratch;
    const std::string sample = testing::SampleConfiguration();
    ASSERT_NE(std::string::npos, sample.find("<displayoutput>"));
    scratch.Write("paneloom.xml", sample);
    scratch.Write("sample-input.bmp", testing::PlainPicture(1280, 720, 0x402000));
    ASSERT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
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

TEST(LinuxProgramText, TheSampleLinesInOtherScriptsDrawAsOnEveryBuild) {
    ScratchDir scratch;
    const std::string configuration = testing::SampleScriptsConfiguration();
    ASSERT_FALSE(configuration.empty());
    scratch.Write("paneloom.xml", configuration);
    scratch.Write("plain.bmp",
                  testing::PlainPicture(testing::kLinesWidth, testing::kLinesHeight, testing::kLinesBackground));
    ASSERT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    Picture picture;
    ASSERT_TRUE(testing::ReadPicture(scratch.Read("drawn.bmp"), picture));
    testing::ExpectSampleScriptsLaidOut(picture);
}

TEST(LinuxProgramText, AUnicodeFileDrawsAsItsUtf8) {
    const std::string utf8 = testing::SampleScriptsConfiguration();
    ASSERT_FALSE(utf8.empty());
    std::string first;
    for (const std::string& saved :
         {utf8, testing::SavedAsUtf16(utf8, true), testing::SavedAsUtf16(utf8, false)}) {
        ScratchDir scratch;
        scratch.Write("paneloom.xml", saved);
        scratch.Write("plain.bmp",
                      testing::PlainPicture(testing::kLinesWidth, testing::kLinesHeight, testing::kLinesBackground));
        ASSERT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
        ASSERT_TRUE(scratch.Exists("drawn.bmp"));
        const std::string drawn = scratch.Read("drawn.bmp");
        if (first.empty()) first = drawn;
        EXPECT_TRUE(drawn == first) << "differs from the UTF-8 file's picture";
    }
}

TEST(LinuxProgramText, AnEmptyOutputShowsTheDefaultLines) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml",
                  "<displayoutput><textsettings><backgroundcolor red=\"255\" green=\"0\" blue=\"0\" "
                  "transparent=\"0\"/></textsettings><output></output></displayoutput>");
    scratch.Write("Paneloom.bmp", testing::PlainPicture(400, 120, 0xFFFFFF));
    ASSERT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    Picture picture;
    ASSERT_TRUE(testing::ReadPicture(scratch.Read("PaneloomInfo.bmp"), picture));
    // Three red cells, one below the other.
    EXPECT_EQ(30, testing::FirstRowWith(picture, 0x0000FF));
    EXPECT_EQ(0x0000FFu, picture.At(30, 52));
    EXPECT_EQ(0x0000FFu, picture.At(30, 74));
    EXPECT_EQ(0xFFFFFFu, picture.At(30, 74 + 40));
}

// The faces' answers kept between runs in the user's cache: a run draws
// with what they name, and a run without them draws the same as before.
TEST(LinuxProgramText, TheNextRunDrawsWithTheFaceAnswersTheFirstKept) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", testing::kLinesConfiguration);
    scratch.Write("plain.bmp",
                  testing::PlainPicture(testing::kLinesWidth, testing::kLinesHeight, testing::kLinesBackground));
    std::filesystem::create_directories(scratch.file("home"));
    const std::vector<std::string> environment =
        testing::WithSanitizerOptions({"PATH=/usr/bin:/bin", "HOME=" + scratch.file("home")});
    const auto run = [&] {
        EXPECT_EQ(0, testing::RunCommand({testing::ProgramPath()}, environment, scratch.path().string()).code);
        return scratch.Read("drawn.bmp");
    };
    const std::string first = run();
    const std::string kept = scratch.Read("home/.cache/paneloom/faces");
    ASSERT_NE(kept.find("\tLiberation Sans\n"), std::string::npos) << kept;
    EXPECT_EQ(first, run());

    // Pointed at another face file, the next run draws with that one.
    std::string other = kept;
    for (std::size_t at = 0; (at = other.find("/liberation2/LiberationSans-", at)) != std::string::npos;) {
        const std::size_t end = other.find('\t', at);
        other.replace(at, end - at, "/dejavu/DejaVuSerif.ttf");
    }
    scratch.Write("home/.cache/paneloom/faces", other);
    ::chmod(scratch.file("home/.cache/paneloom/faces").c_str(), 0600);
    EXPECT_NE(first, run());

    // Forgotten, they are found again, the same as the first time.
    std::filesystem::remove(scratch.file("home/.cache/paneloom/faces"));
    EXPECT_EQ(first, run());
    EXPECT_EQ(kept, scratch.Read("home/.cache/paneloom/faces"));
}

}  // namespace
}  // namespace paneloom
