#include "app/run_main.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "config/run_settings.h"
#include "support/bmp_maker.h"
#include "support/fakes.h"
#include "support/recording_text.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::BlankBmp;
using testing::BmpParts;
using testing::FakeClock;
using testing::FakeDesktop;
using testing::FakeFiles;
using testing::FakeProcess;
using testing::MakeBmp;
using testing::RecordingGraphics;
using testing::ScratchDir;

class RunMainTest : public ::testing::Test {
protected:
    // A run on Windows, where file names are lower-cased.
    void SetUp() override {
        process.commandLine = "\"prog\"";
        files.namesIgnoreCase = true;
    }

    // Every seam a run reaches, routed to the fakes for as long as it lives.
    struct Routed {
        explicit Routed(RunMainTest& test)
            : p(test.process), c(test.clock), g(test.graphics), d(test.desktop), f(test.files), t(test.text) {}
        platform::ScopedFake<platform::Process> p;
        platform::ScopedFake<platform::Clock> c;
        platform::ScopedFake<platform::Graphics> g;
        platform::ScopedFake<platform::Desktop> d;
        platform::ScopedFake<platform::Files> f;
        platform::ScopedFake<platform::TextOutput> t;
    };

    // One run, as a fresh process would make it, in `context`, which keeps
    // what the run left there.
    int Run() {
        Routed routed(*this);
        context = RunContext();
        return RunMain(context);
    }

    bool Called(const std::string& call) const {
        return std::find(graphics.calls.begin(), graphics.calls.end(), call) != graphics.calls.end();
    }

    ScratchDir scratch;
    FakeProcess process;
    FakeClock clock;
    RecordingGraphics graphics;
    FakeDesktop desktop;
    FakeFiles files;
    testing::RecordingTextOutput text;
    RunContext context;
};

// A 2 x 1 8-bit file with a full colour table, for the screen-depth loader.
std::string EightBitFile() {
    BmpParts bmp = BlankBmp(2, 1, 8);
    bmp.table.assign(256 * 4, '\x11');
    bmp.bits = std::string("\x01\x02\0\0", 4);
    return MakeBmp(bmp);
}

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

TEST_F(RunMainTest, WholeRunSelectsWritesAndReleasesTheBitmap) {
    scratch.Write("paneloom.xml", "<displayoutput><output>x</output></displayoutput>");
    EXPECT_EQ(0, Run());
    const std::vector<std::string> expected = {
        "LoadBitmapFile Paneloom.bmp", "CreateScreenCompatibleDC", "SelectBitmap 1", "SelectBitmap 9", "DeleteDC",
        // WriteBMPImage, through the stock palette as no palette is passed on
        "DefaultPalette", "GetBitmapRecord 1", "GetScreenDC", "SelectDcPalette 15", "RealizeDcPalette",
        "GetDeviceIndependentBits header", "GetDeviceIndependentBits rows", "SelectDcPalette 7", "ReleaseScreenDC 3",
        "DeleteBitmap 1",
    };
    std::vector<std::string> calls = graphics.calls;
    // Drawing the output element (the default lines, as "x" holds no items)
    // adds calls of its own while the bitmap is selected.
    const auto selected = std::find(calls.begin(), calls.end(), "SelectBitmap 1");
    const auto released = std::find(selected, calls.end(), "SelectBitmap 9");
    ASSERT_NE(calls.end(), released);
    calls.erase(selected + 1, released);
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(expected, std::vector<std::string>(calls.begin(), calls.begin() + expected.size()));
    EXPECT_EQ(3u, text.written.size());
    EXPECT_EQ(0u, scratch.Read("PaneloomInfo.bmp").find("BM"));
    const std::vector<std::string> desktopCalls = {"WriteWallpaperStyle center", "FullPathName PaneloomInfo.bmp",
                                                   "SetWallpaper C:\\work\\PaneloomInfo.bmp"};
    EXPECT_EQ(desktopCalls, desktop.calls);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST_F(RunMainTest, StyleIsWrittenBeforeTheBitmapIsLoaded) {
    scratch.Write("paneloom.xml", "<globalsettings><backgroundstyle value=\"tile\"/></globalsettings>");
    graphics.loadFails = true;
    EXPECT_EQ(3, Run());
    EXPECT_EQ(std::vector<std::string>{"WriteWallpaperStyle tile"}, desktop.calls);

    desktop.calls.clear();
    scratch.Write("paneloom.xml", "<globalsettings><usescreendepth/><backgroundstyle value=\"stretch\"/>"
                                  "</globalsettings>");
    EXPECT_EQ(2, Run());
    EXPECT_EQ(std::vector<std::string>{"WriteWallpaperStyle stretch"}, desktop.calls);
}

TEST_F(RunMainTest, ScreenDepthRunWritesThroughTheFilesPalette) {
    scratch.Write("paneloom.xml", "<globalsettings><usescreendepth/><outputbmp name=\"Out.bmp\"/></globalsettings>");
    scratch.Write("Paneloom.bmp", EightBitFile());
    EXPECT_EQ(0, Run());
    EXPECT_FALSE(Called("LoadBitmapFile Paneloom.bmp"));
    EXPECT_TRUE(Called("CreateLogicalPalette 256"));
    // The writer converts through the file's palette (5), not the stock one.
    EXPECT_FALSE(Called("DefaultPalette"));
    const auto write = std::find(graphics.calls.begin(), graphics.calls.end(), "GetBitmapRecord 1");
    ASSERT_NE(graphics.calls.end(), write);
    EXPECT_NE(graphics.calls.end(), std::find(write, graphics.calls.end(), "SelectDcPalette 5"));
    const auto deleted = std::find(write, graphics.calls.end(), "DeleteBitmap 1");
    EXPECT_NE(graphics.calls.end(), std::find(deleted, graphics.calls.end(), "DeletePalette 5"));
    EXPECT_TRUE(scratch.Exists("out.bmp"));
    EXPECT_EQ("SetWallpaper C:\\work\\out.bmp", desktop.calls.back());
}

TEST_F(RunMainTest, FailedOutputWriteEndsTheRunBeforeTheWallpaper) {
    scratch.Write("paneloom.xml", "<globalsettings><backgroundstyle value=\"stretch\"/></globalsettings>");
    scratch.Write("PaneloomInfo.bmp", "previous picture");
    files.failWrites = true;
    EXPECT_EQ(-1, Run());
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error in main loop\n\n", scratch.Read("paneloomerror.log"));
    EXPECT_EQ(std::vector<std::string>{"WriteWallpaperStyle stretch"}, desktop.calls);
    EXPECT_EQ("previous picture", scratch.Read("PaneloomInfo.bmp"));
    EXPECT_TRUE(Called("DeleteBitmap 1"));
}

// A picture that could not be written is not made the wallpaper; the style
// is still written and the run ends as usual.
TEST_F(RunMainTest, OutputThatCannotBeWrittenLeavesTheWallpaperAsItWas) {
    std::filesystem::create_directory(scratch.path() / "taken.bmp");
    for (const std::string output : {"nosuchdir/out.bmp", "taken.bmp"}) {
        SCOPED_TRACE(output);
        scratch.Write("paneloom.xml", "<globalsettings><outputbmp name=\"" + output +
                                          "\"/><backgroundstyle value=\"tile\"/></globalsettings>");
        desktop.calls.clear();
        EXPECT_EQ(0, Run());
        EXPECT_EQ(std::vector<std::string>{"WriteWallpaperStyle tile"}, desktop.calls);
        EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(" : Could not write <" + output + ">!\n\n"));
    }
}

TEST_F(RunMainTest, ReadErrorOnTheInputEndsInMainLoopError) {
    scratch.Write("paneloom.xml", "<globalsettings><usescreendepth/></globalsettings>");
    scratch.Write("Paneloom.bmp", EightBitFile());
    // The configuration is read first; only the bitmap's read fails.
    class FailBitmapRead : public FakeFiles {
    public:
        std::unique_ptr<platform::ReadableFile> OpenForReading(const std::string& path) override {
            failReads = true;
            std::unique_ptr<platform::ReadableFile> file = FakeFiles::OpenForReading(path);
            failReads = false;
            return file;
        }
    } failing;
    platform::ScopedFake<platform::Process> p(process);
    platform::ScopedFake<platform::Clock> c(clock);
    platform::ScopedFake<platform::Graphics> g(graphics);
    platform::ScopedFake<platform::Desktop> d(desktop);
    platform::ScopedFake<platform::Files> f(failing);
    EXPECT_EQ(-1, RunMain());
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error in main loop\n\n", scratch.Read("paneloomerror.log"));
    EXPECT_FALSE(Called("CreateDeviceBitmap"));
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
    const RunSettings& s = context.settings;
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
    EXPECT_EQ("desk.xml", context.settings.configPath);
}

TEST_F(RunMainTest, EveryRunStartsFromTheDefaults) {
    scratch.Write("desk.xml", "<globalsettings><inputbmp name=\"desk.bmp\"/><backgroundstyle value=\"tile\"/>"
                              "</globalsettings>");
    scratch.Write("paneloom.xml", "<displayoutput><textsettings><font points=\"40\"/></textsettings>"
                                  "<output><textline>x</textline></output></displayoutput>");
    Routed routed(*this);

    process.commandLine = "\"prog.exe\" config=\"desk.xml\"";
    EXPECT_EQ(0, RunMain());
    EXPECT_TRUE(Called("LoadBitmapFile desk.bmp"));
    process.commandLine = "\"prog\"";
    EXPECT_EQ(0, RunMain());
    EXPECT_TRUE(Called("LoadBitmapFile Paneloom.bmp"));
    EXPECT_EQ("WriteWallpaperStyle center", desktop.calls.at(3));
    EXPECT_EQ(0, RunMain());
    ASSERT_EQ(2u, text.written.size());
    EXPECT_EQ(text.written[0].y, text.written[1].y) << "the start y of one run does not carry into the next";
}

}  // namespace
}  // namespace paneloom
