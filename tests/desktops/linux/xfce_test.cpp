// xfdesktop keeps a backdrop for every monitor and workspace in the
// xfce4-desktop channel, served by the real xfconfd on the session bus.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "desktops/linux/desktop_session.h"
#include "desktops/linux/screen.h"

namespace paneloom {
namespace {

using testing::DesktopSession;

TEST(XfceDesktop, EveryMonitorAndWorkspaceTakesThePictureAndTheStyle) {
    ASSERT_TRUE(testing::Installed("xfconf-query", "xfconf"));
    ASSERT_TRUE(testing::Activatable("org.xfce.Xfconf", "xfconf"));
    ASSERT_TRUE(testing::Installed("gdbus", "libglib2.0-bin"));
    DesktopSession session;
    ASSERT_TRUE(session.StartBus());
    session.Set("XDG_CURRENT_DESKTOP", "XFCE");
    auto query = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"xfconf-query", "-c", "xfce4-desktop"});
        const testing::CommandResult answer = session.Run(arguments);
        EXPECT_EQ(0, answer.code) << arguments.back() << ": " << answer.errors;
        return answer.output;
    };
    // xfdesktop reads a property through the service, typed: an image
    // style stored as text would not be one.
    auto typed = [&](const std::string& property) {
        return session
            .Run({"gdbus", "call", "--session", "--dest", "org.xfce.Xfconf", "--object-path", "/org/xfce/Xfconf",
                  "--method", "org.xfce.Xfconf.GetProperty", "xfce4-desktop", property})
            .output;
    };

    // The channel as xfdesktop leaves it on a machine with two monitors and
    // four workspaces, next to settings that are no backdrop's.
    std::vector<std::string> backdrops;
    for (const char* monitor : {"monitorHDMI-1", "monitoreDP-1"}) {
        for (int workspace = 0; workspace < 4; ++workspace) {
            const std::string backdrop =
                std::string("/backdrop/screen0/") + monitor + "/workspace" + std::to_string(workspace);
            query({"-n", "-p", backdrop + "/last-image", "-t", "string", "-s",
                   "/usr/share/backgrounds/xfce/xfce-shapes.svg"});
            query({"-n", "-p", backdrop + "/image-style", "-t", "int", "-s", "5"});
            query({"-n", "-p", backdrop + "/color-style", "-t", "int", "-s", "0"});
            backdrops.push_back(backdrop);
        }
    }
    query({"-n", "-p", "/backdrop/single-workspace-mode", "-t", "bool", "-s", "true"});
    query({"-n", "-p", "/backdrop/single-workspace-number", "-t", "int", "-s", "0"});
    query({"-n", "-p", "/desktop-icons/style", "-t", "int", "-s", "2"});

    session.Write("Paneloom.bmp", testing::FourColourPicture().Bmp());
    const std::string picture = (session.WorkDirectory() / "PaneloomInfo.bmp").string();
    const std::vector<std::pair<std::string, std::string>> styles = {{"center", "1"}, {"tile", "2"}, {"stretch", "3"}};
    for (const auto& [style, imageStyle] : styles) {
        session.Write("paneloom.xml", "<globalsettings><backgroundstyle value=\"" + style + "\"/></globalsettings>");
        const testing::CommandResult run = session.RunProgram();
        ASSERT_EQ(0, run.code) << style << ": " << run.errors;
        for (const std::string& backdrop : backdrops) {
            EXPECT_EQ(picture + "\n", query({"-p", backdrop + "/last-image"})) << backdrop;
            EXPECT_EQ(imageStyle + "\n", query({"-p", backdrop + "/image-style"})) << backdrop << " " << style;
            EXPECT_EQ("(<" + imageStyle + ">,)\n", typed(backdrop + "/image-style")) << backdrop;
            EXPECT_EQ("0\n", query({"-p", backdrop + "/color-style"})) << backdrop;
        }
    }
    EXPECT_EQ("true\n", query({"-p", "/backdrop/single-workspace-mode"}));
    EXPECT_EQ("0\n", query({"-p", "/backdrop/single-workspace-number"}));
    EXPECT_EQ("2\n", query({"-p", "/desktop-icons/style"}));
    EXPECT_TRUE(session.BusNameOwned("org.xfce.Xfconf")) << "xfconfd on the session's own bus stored them";
}

}  // namespace
}  // namespace paneloom
