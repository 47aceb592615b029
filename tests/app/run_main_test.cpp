#include "app/run_main.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "config/run_settings.h"
#include "support/fakes.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::FakeClock;
using testing::FakeProcess;
using testing::RecordingGraphics;
using testing::ScratchDir;

class RunMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsForTest();
        process.commandLine = "\"prog\"";
    }
    void TearDown() override { ResetSettingsForTest(); }

    int Run() {
        platform::ScopedFake<platform::Process> p(process);
        platform::ScopedFake<platform::Clock> c(clock);
        platform::ScopedFake<platform::Graphics> g(graphics);
        return RunMain();
    }

    bool Called(const std::string& call) const {
        return std::find(graphics.calls.begin(), graphics.calls.end(), call) != graphics.calls.end();
    }

    ScratchDir scratch;
    FakeProcess process;
    FakeClock clock;
    RecordingGraphics graphics;
};

TEST_F(RunMainTest, MissingConfigurationEndsQuietlyWithZero) {
    EXPECT_EQ(0, Run());
    EXPECT_TRUE(graphics.calls.empty());
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST_F(RunMainTest, FrameworkFailureLogsWithoutLineFeedAndReturnsOne) {
    process.initOk = false;
    EXPECT_EQ(1, Run());
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Fatal Error: MFC initialization failed\n",
              scratch.Read("paneloomerror.log"));
}

TEST_F(RunMainTest, PlatformLoaderFailureReturnsThree) {
    scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"In.BMP\" /></globalsettings>");
    graphics.loadFails = true;
    EXPECT_EQ(3, Run());
    EXPECT_TRUE(Called("LoadBitmapFile in.bmp"));
    EXPECT_FALSE(Called("CreateScreenCompatibleDC"));
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Could not LoadImage <in.bmp>!\n\n",
              scratch.Read("paneloomerror.log"));
}

TEST_F(RunMainTest, ScreenDepthLoaderFailureReturnsTwo) {
    scratch.Write("paneloom.xml", "<globalsettings><usescreendepth/></globalsettings>");
    EXPECT_EQ(2, Run());
    EXPECT_FALSE(Called("LoadBitmapFile Paneloom.bmp"));
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Could not LoadBMPImage <Paneloom.bmp>!\n\n",
              scratch.Read("paneloomerror.log"));
}

TEST_F(RunMainTest, WholeRunSelectsAndReleasesTheBitmap) {
    scratch.Write("paneloom.xml", "<displayoutput><output>x</output></displayoutput>");
    EXPECT_EQ(0, Run());
    const std::vector<std::string> expected = {
        "LoadBitmapFile Paneloom.bmp", "CreateScreenCompatibleDC", "SelectBitmap 1", "SelectBitmap 9",
        "DeleteDC",                    "DeleteBitmap 1",
    };
    ASSERT_GE(graphics.calls.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), graphics.calls.begin()));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST_F(RunMainTest, TextSettingsApplyBeforeOutputAndAccumulate) {
    scratch.Write("paneloom.xml",
                  "<displayoutput><output>a</output><textsettings><font points=\"20\"/></textsettings>"
                  "<textsettings><font points=\"99\"/></textsettings></displayoutput>"
                  "<textsettings><font weight=\"1\"/></textsettings>"
                  "<displayoutput><textsettings><textcolor red=\"1\" green=\"2\" blue=\"3\"/></textsettings>"
                  "</displayoutput>"
                  "<displayoutput><textsettings><font extra=\"7\"/></textsettings>");
    EXPECT_EQ(0, Run());
    const RunSettings& s = Settings();
    EXPECT_EQ(20, s.fontPoints);
    EXPECT_EQ(600, s.fontWeight);
    EXPECT_EQ(0x030201u, s.textColor);
    // The last element has no closing tag and is never applied.
    EXPECT_EQ(1, s.fontExtra);
}

TEST_F(RunMainTest, CommentedOutElementsAndSecondGlobalSettingsAreIgnored) {
    scratch.Write("paneloom.xml",
                  "<!-- <globalsettings><inputbmp name=\"a.bmp\"/></globalsettings> -->\r\n\r\n"
                  "<globalsettings><inputbmp name=\"b.bmp\"/></globalsettings>"
                  "<globalsettings><inputbmp name=\"c.bmp\"/></globalsettings>");
    EXPECT_EQ(0, Run());
    EXPECT_TRUE(Called("LoadBitmapFile b.bmp"));
}

TEST_F(RunMainTest, ConfigurationFromTheCommandLine) {
    scratch.Write("desk.xml", "<globalsettings><inputbmp name=\"desk.bmp\"/></globalsettings>");
    process.commandLine = "\"prog.exe\" config=\"desk.xml\"";
    EXPECT_EQ(0, Run());
    EXPECT_TRUE(Called("LoadBitmapFile desk.bmp"));
    EXPECT_EQ("desk.xml", Settings().configPath);
}

}  // namespace
}  // namespace paneloom
