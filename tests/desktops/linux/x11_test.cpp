// An X session without a desktop: the program hands the picture to feh,
// which paints the root window and names its pixmap in _XROOTPMAP_ID.
#include <gtest/gtest.h>

#include <string>

#include "desktops/linux/desktop_session.h"
#include "desktops/linux/screen.h"

namespace paneloom {
namespace {

using testing::DesktopSession;

TEST(BareX11, FehPaintsTheRootWindowInEveryStyle) {
    ASSERT_TRUE(testing::Installed("feh", "feh"));
    ASSERT_TRUE(testing::Installed("xprop", "x11-utils"));
    ASSERT_TRUE(testing::Installed("xwd", "x11-apps"));
    DesktopSession session;
    // Wider than the picture's shape, so that stretching differs from
    // zooming, with an even margin around the centred picture.
    ASSERT_TRUE(session.StartX(160, 60));
    const testing::FourColourPicture picture;
    session.Write("Paneloom.bmp", picture.Bmp());
    for (const std::string style : {"center", "tile", "stretch"}) {
        session.Write("paneloom.xml", "<globalsettings><backgroundstyle value=\"" + style + "\"/></globalsettings>");
        const testing::CommandResult run = session.RunProgram();
        ASSERT_EQ(0, run.code) << style << ": " << run.errors;
        // Read once feh has left, as every later client of the session sees it.
        const std::string pixmap = session.Run({"xprop", "-root", "_XROOTPMAP_ID"}).output;
        EXPECT_EQ(0u, pixmap.find("_XROOTPMAP_ID(PIXMAP): pixmap id # 0x")) << style << ": " << pixmap;
        EXPECT_EQ(std::string::npos, pixmap.find("# 0x0\n")) << style;
        const testing::CommandResult dump = session.Run({"xwd", "-root", "-silent"});
        ASSERT_EQ(0, dump.code) << dump.errors;
        EXPECT_EQ("", testing::Mismatch(testing::ScreenFromXwd(dump.output), picture, style)) << style;
    }
}

}  // namespace
}  // namespace paneloom
