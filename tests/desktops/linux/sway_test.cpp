// sway draws no wallpaper itself: its output configuration starts swaybg,
// which shows the picture on every output. sway refuses to run as root, so
// the session belongs to an unprivileged user when the tests run as root.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "desktops/linux/desktop_session.h"
#include "desktops/linux/screen.h"

namespace paneloom {
namespace {

using testing::DesktopSession;

// What the output shows once swaybg has drawn, which it does after the
// program has ended: compared until it matches or half a minute passes.
std::string OutputMismatch(const DesktopSession& session, const testing::FourColourPicture& picture,
                           const std::string& style) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string mismatch;
    do {
        const testing::CommandResult shot = session.Run({"grim", "-t", "ppm", "-"});
        mismatch = testing::Mismatch(testing::ScreenFromPpm(shot.output), picture, style);
        if (mismatch.empty()) break;
        mismatch += " " + shot.errors;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return mismatch;
}

TEST(HeadlessSway, SwaybgShowsThePictureInEveryStyle) {
    ASSERT_TRUE(testing::Installed("swaybg", "swaybg"));
    ASSERT_TRUE(testing::Installed("grim", "grim"));
    DesktopSession session(true);
    // Wider than the picture's shape, so that stretching differs from
    // zooming, with an even margin around the centred picture.
    ASSERT_TRUE(session.StartSway(160, 60));
    const testing::FourColourPicture picture;
    session.Write("Paneloom.bmp", picture.Bmp());
    const std::string output = (session.WorkDirectory() / "PaneloomInfo.bmp").string();
    for (const std::string style : {"center", "tile", "stretch"}) {
        // At the screen's depth: 32 bits per pixel, the fourth byte zero.
        session.Write("paneloom.xml",
                      "<globalsettings><usescreendepth/><backgroundstyle value=\"" + style + "\"/></globalsettings>");
        const testing::CommandResult run = session.RunProgram();
        ASSERT_EQ(0, run.code) << style << ": " << run.errors;
        EXPECT_EQ("", OutputMismatch(session, picture, style)) << style;
        const std::vector<std::string> expected = {"swaybg", "-o", "*", "-i", output, "-m", style};
        const auto backgrounds = session.CommandLinesOf("swaybg");
        EXPECT_NE(backgrounds.end(), std::find(backgrounds.begin(), backgrounds.end(), expected)) << style;
    }
}

// sway reads its arguments as one command and expands the picture's path
// like a shell word: blanks, quotes, separators and a variable's name in it
// must reach swaybg as they are.
TEST(HeadlessSway, APathSwayCouldMisreadReachesSwaybgAsItIs) {
    ASSERT_TRUE(testing::Installed("swaybg", "swaybg"));
    ASSERT_TRUE(testing::Installed("grim", "grim"));
    DesktopSession session(true);
    ASSERT_TRUE(session.StartSway(160, 60));
    const std::string folder = "O'Brien \xC3\xBC;  $HOME, \"2\" *";
    session.MakeDirectory(folder);
    const testing::FourColourPicture picture;
    session.Write(folder + "/Paneloom.bmp", picture.Bmp());
    session.Write(folder + "/paneloom.xml", "<globalsettings><backgroundstyle value=\"tile\"/></globalsettings>");
    const testing::CommandResult run = session.RunProgram(folder);
    ASSERT_EQ(0, run.code) << run.errors;
    EXPECT_EQ("", OutputMismatch(session, picture, "tile"));
    const std::string output = (session.WorkDirectory() / folder / "PaneloomInfo.bmp").string();
    const std::vector<std::string> expected = {"swaybg", "-o", "*", "-i", output, "-m", "tile"};
    const auto backgrounds = session.CommandLinesOf("swaybg");
    EXPECT_NE(backgrounds.end(), std::find(backgrounds.begin(), backgrounds.end(), expected));
}

}  // namespace
}  // namespace paneloom
