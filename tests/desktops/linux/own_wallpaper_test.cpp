// The user's own wallpaper under a GNOME desktop whose settings live in the
// real dconf service of the session's own bus: the program starts from the
// picture the desktop shows, composes it as the user's style lays it out,
// and after that never from its own output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "desktops/linux/desktop_session.h"
#include "e2e/drawn_text.h"

namespace paneloom {
namespace {

using testing::DesktopSession;
using testing::Picture;

constexpr std::uint32_t kRed = 0x0000FF;  // 0x00BBGGRR
constexpr std::uint32_t kBlue = 0xFF0000;
constexpr std::uint32_t kDesktopColour = 0x302010;  // '#102030'

std::string Halves(std::int32_t width, std::int32_t height) { return testing::HalvesPng(width, height, kRed, kBlue); }

std::string ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

const char* const kConfiguration =
    "<globalsettings><inputbmp wallpaper=\"current\" /><outputbmp name=\"out.bmp\" /></globalsettings>";

class OwnWallpaper : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testing::Installed("gsettings", "libglib2.0-bin"));
        ASSERT_TRUE(testing::Activatable("ca.desrt.dconf", "dconf-service"));
        ASSERT_TRUE(session.StartBus());
        session.Set("XDG_CURRENT_DESKTOP", "GNOME");
        Set("primary-color", "'#102030'");
        session.Write("paneloom.xml", kConfiguration);
    }

    void Set(const std::string& key, const std::string& value) {
        const testing::CommandResult set = session.Run({"gsettings", "set", "org.gnome.desktop.background", key, value});
        ASSERT_EQ(0, set.code) << key << ": " << set.errors;
    }
    std::string Get(const std::string& key) {
        return session.Run({"gsettings", "get", "org.gnome.desktop.background", key}).output;
    }
    void Show(const std::string& name, const std::string& option) {
        Set("picture-uri", "'file://" + (session.WorkDirectory() / name).string() + "'");
        Set("picture-options", "'" + option + "'");
    }
    std::string Path(const std::string& name) const { return (session.WorkDirectory() / name).string(); }
    std::string Output() const { return ReadWhole(Path("out.bmp")); }
    Picture Run() {
        const testing::CommandResult run = session.RunProgram();
        EXPECT_EQ(0, run.code) << run.errors;
        Picture picture;
        EXPECT_TRUE(testing::ReadPicture(Output(), picture));
        return picture;
    }

    DesktopSession session;
};

TEST_F(OwnWallpaper, TheRoundTripStartsFromTheUsersPictureEveryTime) {
    session.Write("halves.png", Halves(40, 20));
    Show("halves.png", "zoom");

    // No display: the picture's own size.
    const Picture first = Run();
    ASSERT_EQ(40, first.width);
    ASSERT_EQ(20, first.height);
    EXPECT_EQ(kRed, first.At(5, 10));
    EXPECT_EQ(kBlue, first.At(35, 10));
    EXPECT_EQ("'file://" + Path("out.bmp") + "'\n", Get("picture-uri"));
    EXPECT_EQ("'centered'\n", Get("picture-options")) << "shown pixel for pixel";

    // The desktop now shows the output: the next run starts from the
    // user's picture again, in the user's style, and writes the same bytes.
    const std::string bytes = Output();
    Run();
    EXPECT_EQ(bytes, Output());
    EXPECT_EQ("'centered'\n", Get("picture-options"));

    // Another picture chosen becomes the original.
    session.Write("blue.bmp", testing::PlainPicture(30, 10, kBlue));
    Show("blue.bmp", "zoom");
    const Picture blue = Run();
    EXPECT_EQ(30, blue.width);
    EXPECT_EQ(kBlue, blue.At(2, 5));
    Run();
    EXPECT_EQ(30, Run().width) << "the record follows the new original";

    // That original gone, no fallback named: the desktop colour.
    std::filesystem::remove(Path("blue.bmp"));
    const Picture plain = Run();
    EXPECT_EQ(kDesktopColour, plain.At(0, 0));
    EXPECT_EQ(kDesktopColour, plain.At(plain.width - 1, plain.height - 1));

    // With a fallback named, the fallback.
    session.Write("paneloom.xml", "<globalsettings><inputbmp wallpaper=\"current\" name=\"halves.png\" />"
                                  "<outputbmp name=\"out.bmp\" /></globalsettings>");
    const Picture fallback = Run();
    EXPECT_EQ(40, fallback.width);
    EXPECT_EQ(kRed, fallback.At(5, 10));
}

TEST_F(OwnWallpaper, UnderXTheScreensSizeAndTheUsersStyleLayThePictureOut) {
    ASSERT_TRUE(testing::Installed("xrandr", "x11-xserver-utils"));
    ASSERT_TRUE(session.StartX(320, 200));
    session.Write("halves.png", Halves(40, 40));

    // The colour of each column named, down the whole screen.
    struct Layout {
        const char* style;
        const char* what;
        std::vector<std::pair<std::int32_t, std::uint32_t>> columns;
    };
    const Layout layouts[] = {
        {"zoom", "fill: scaled to 320 x 320 and cropped to its middle rows",
         {{0, kRed}, {150, kRed}, {170, kBlue}, {319, kBlue}}},
        {"scaled", "fit: 200 x 200 in the middle, bands of the desktop colour beside it",
         {{0, kDesktopColour},
          {59, kDesktopColour},
          {62, kRed},
          {155, kRed},
          {165, kBlue},
          {257, kBlue},
          {260, kDesktopColour},
          {319, kDesktopColour}}},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        Show("halves.png", layout.style);
        const Picture picture = Run();
        ASSERT_EQ(320, picture.width);
        ASSERT_EQ(200, picture.height);
        for (std::int32_t y : {0, 100, 199}) {
            for (const auto& [x, colour] : layout.columns) EXPECT_EQ(colour, picture.At(x, y)) << x << ", " << y;
        }
    }
}

}  // namespace
}  // namespace paneloom
