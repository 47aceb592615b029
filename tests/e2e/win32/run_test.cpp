// The real Windows program, started under Wine with exact command lines.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "e2e/drawn_text.h"
#include "e2e/program_runner.h"
#include "e2e/win32/desktop_fixture.h"
#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::ProgramPath;
using testing::RunWithCommandLine;
using testing::ScratchDir;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsEmpty(const std::filesystem::path& path) {
    return std::filesystem::directory_iterator(path) == std::filesystem::directory_iterator();
}

TEST(WindowsProgram, NoConfigurationWritesNothingAndExitsZero) {
    ScratchDir scratch;
    EXPECT_EQ(0, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
    EXPECT_TRUE(IsEmpty(scratch.path()));
}

TEST(WindowsProgram, QuotedConfigurationIsReadFromTheProgramDirectory) {
    ScratchDir scratch;
    std::filesystem::create_directory(scratch.path() / "tools");
    std::filesystem::create_directory(scratch.path() / "elsewhere");
    const std::filesystem::path program = scratch.path() / "tools" / "Paneloom.exe";
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), program.string().c_str(), FALSE));
    scratch.Write("tools/desk.xml", "<globalsettings><inputbmp name=\"Gone.bmp\"/></globalsettings>");

    const std::string line = Quoted(program.string()) + " " + Quoted("desk.xml");
    EXPECT_EQ(3, RunWithCommandLine(line, (scratch.path() / "elsewhere").string()));
    EXPECT_NE(std::string::npos, scratch.Read("tools/paneloomerror.log").find("Could not LoadImage <gone.bmp>!"));
    EXPECT_TRUE(IsEmpty(scratch.path() / "elsewhere"));
}

TEST(WindowsProgram, ConfigAttributeReadsFromTheCurrentDirectory) {
    ScratchDir scratch;
    scratch.Write("desk.xml", "<globalsettings><usescreendepth/></globalsettings>");
    const std::string line = Quoted(ProgramPath()) + " config=\"desk.xml\"";
    EXPECT_EQ(2, RunWithCommandLine(line, scratch.path().string()));
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find("Could not LoadBMPImage <Paneloom.bmp>!"));
}

TEST(WindowsProgram, ExistingLogIsAppendedTo) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", "<globalsettings></globalsettings>");
    scratch.Write("paneloomerror.log", "before\r\n");
    EXPECT_EQ(3, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
    EXPECT_EQ(3, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_EQ(0u, log.find("before\r\n"));
    EXPECT_NE(log.find("Could not LoadImage"), log.rfind("Could not LoadImage"));
}

using testing::WindowsProgramDesktop;

TEST_F(WindowsProgramDesktop, EachStyleWritesItsValuesAndTheWallpaperNamesTheOutput) {
    ScratchDir scratch;
    scratch.Write("in.bmp", Picture());
    struct Case {
        const char* style;
        const char* wallPaperStyle;
        const char* tileWallPaper;
    };
    for (const Case& c : {Case{"center", "0", "0"}, Case{"tile", "0", "1"}, Case{"stretch", "2", "0"},
                          Case{"zoom", "0", "0"}}) {
        const std::string output = std::string(c.style) + ".bmp";
        scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"in.bmp\"/><outputbmp name=\"" + output +
                                          "\"/><backgroundstyle value=\"" + c.style + "\"/></globalsettings>");
        EXPECT_EQ(0, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string())) << c.style;
        EXPECT_EQ(c.wallPaperStyle, Value("WallPaperStyle").value_or("missing")) << c.style;
        EXPECT_EQ(c.tileWallPaper, Value("TileWallPaper").value_or("missing")) << c.style;
        EXPECT_EQ(scratch.file(output), Value("Wallpaper").value_or("missing")) << c.style;
        // The picture, unchanged, at the input's depth.
        EXPECT_EQ(scratch.Read("in.bmp"), scratch.Read(output)) << c.style;
    }
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST_F(WindowsProgramDesktop, MissingInputWritesTheStyleButLeavesTheWallpaper) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml",
                  "<globalsettings><inputbmp name=\"Gone.bmp\"/><backgroundstyle value=\"tile\"/></globalsettings>");
    EXPECT_EQ(3, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(" : Could not LoadImage <gone.bmp>!\n\n"));
    EXPECT_EQ("0", Value("WallPaperStyle").value_or("missing"));
    EXPECT_EQ("1", Value("TileWallPaper").value_or("missing"));
    EXPECT_EQ("untouched", Value("Wallpaper").value_or("missing"));

    scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"Gone.bmp\"/><usescreendepth/>"
                                  "<backgroundstyle value=\"stretch\"/></globalsettings>");
    EXPECT_EQ(2, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
    EXPECT_NE(std::string::npos,
              scratch.Read("paneloomerror.log").find(" : Could not LoadBMPImage <gone.bmp>!\n\n"));
    EXPECT_EQ("2", Value("WallPaperStyle").value_or("missing"));
    EXPECT_EQ("0", Value("TileWallPaper").value_or("missing"));
    EXPECT_EQ("untouched", Value("Wallpaper").value_or("missing"));
    EXPECT_FALSE(scratch.Exists("paneloominfo.bmp"));
}

TEST_F(WindowsProgramDesktop, ScreenDepthRunWritesTheScreensDepth) {
    ScratchDir scratch;
    scratch.Write("Paneloom.bmp", Picture());
    scratch.Write("paneloom.xml", "<globalsettings><usescreendepth/></globalsettings>");
    EXPECT_EQ(0, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
    HDC screen = GetDC(nullptr);
    const int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    const std::string out = scratch.Read("PaneloomInfo.bmp");
    ASSERT_GE(out.size(), 54u);
    EXPECT_EQ(static_cast<std::uint16_t>(depth), testing::U16At(out, 28));
    EXPECT_EQ(out.size(), testing::U32At(out, 2));
    EXPECT_EQ(scratch.file("PaneloomInfo.bmp"), Value("Wallpaper").value_or("missing"));
}

// The user's own wallpaper: the program starts from the picture the
// registry names, at the screen's size, and after that never from its own
// output.
TEST_F(WindowsProgramDesktop, TheUsersWallpaperIsComposedAtTheScreensSize) {
    constexpr std::uint32_t kRed = 0x0000FF;  // 0x00BBGGRR
    constexpr std::uint32_t kBlue = 0xFF0000;
    ScratchDir scratch;
    scratch.Write("halves.png", testing::HalvesPng(40, 20, kRed, kBlue));
    scratch.Write("blue.png", testing::HalvesPng(30, 30, kBlue, kBlue));
    scratch.Write("paneloom.xml",
                  "<globalsettings><inputbmp wallpaper=\"current\" /><outputbmp name=\"out.bmp\" /></globalsettings>");
    Set("Wallpaper", scratch.file("halves.png"));
    Set("WallPaperStyle", "10");
    Set("TileWallPaper", "0");
    const std::int32_t width = GetSystemMetrics(SM_CXSCREEN);
    const std::int32_t height = GetSystemMetrics(SM_CYSCREEN);
    auto run = [&] {
        EXPECT_EQ(0, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
        testing::Picture picture;
        EXPECT_TRUE(testing::ReadPicture(scratch.Read("out.bmp"), picture));
        EXPECT_EQ(width, picture.width);
        EXPECT_EQ(height, picture.height);
        return picture;
    };

    // 40 x 20 covers the screen at its height: the middle of the screen is
    // where red meets blue.
    const testing::Picture fill = run();
    ASSERT_EQ(width, fill.width);
    for (std::int32_t y : {0, height / 2, height - 1}) {
        EXPECT_EQ(kRed, fill.At(0, y)) << y;
        EXPECT_EQ(kRed, fill.At(width / 2 - 12, y)) << y;
        EXPECT_EQ(kBlue, fill.At(width / 2 + 12, y)) << y;
        EXPECT_EQ(kBlue, fill.At(width - 1, y)) << y;
    }
    EXPECT_EQ(scratch.file("out.bmp"), Value("Wallpaper").value_or("missing"));
    EXPECT_EQ("0", Value("WallPaperStyle").value_or("missing")) << "shown pixel for pixel";
    EXPECT_EQ("0", Value("TileWallPaper").value_or("missing"));

    // The registry names the output now: the same picture again, byte for
    // byte.
    const std::string first = scratch.Read("out.bmp");
    run();
    EXPECT_EQ(first, scratch.Read("out.bmp"));

    // Another picture in the registry is the next original.
    Set("Wallpaper", scratch.file("blue.png"));
    Set("WallPaperStyle", "2");
    const testing::Picture blue = run();
    EXPECT_EQ(kBlue, blue.At(0, 0));
    EXPECT_EQ(kBlue, blue.At(width - 1, height - 1));

    // No picture at all: the desktop colour.
    Set("Wallpaper", "");
    const testing::Picture plain = run();
    const std::uint32_t colour = GetSysColor(COLOR_DESKTOP) & 0xFFFFFF;
    EXPECT_EQ(colour, plain.At(0, 0));
    EXPECT_EQ(colour, plain.At(width / 2, height / 2));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST(WindowsProgram, LogHeldByAnotherProcessDropsTheLineButNotTheExitCode) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", "<displayoutput></displayoutput>");
    scratch.Write("paneloomerror.log", "held\r\n");
    HANDLE holder = CreateFileA(scratch.file("paneloomerror.log").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(3, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
    CloseHandle(holder);
    EXPECT_EQ("held\r\n", scratch.Read("paneloomerror.log"));
}

TEST(WindowsProgram, ConfigurationThatIsADirectoryEndsQuietly) {
    ScratchDir scratch;
    std::filesystem::create_directory(scratch.path() / "paneloom.xml");
    EXPECT_EQ(0, RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

}  // namespace
}  // namespace paneloom
