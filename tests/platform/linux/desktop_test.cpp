// The Linux desktop: which desktop runs, which command lines record the
// wallpaper there, and how the tools are started.
#include <chrono>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "platform/linux/desktop/desktop.h"
#include "platform/linux/desktop/screen.h"
#include "support/scratch.h"

namespace paneloom::platform::lnx {
namespace {

using Commands = std::vector<Argv>;

TEST(LinuxDesktopCommands, DesktopIsFoundFromTheSessionAndItsTool) {
    const std::set<std::string> allTools = {"gsettings", "plasma-apply-wallpaperimage", "xfconf-query", "swaymsg",
                                            "feh"};
    auto present = [&](const std::string& tool) { return allTools.count(tool) != 0; };
    auto detect = [&](const std::string& desktop, bool display = false, bool wayland = false, bool sway = false,
                      const std::string& type = "") {
        SessionFacts facts;
        facts.currentDesktop = desktop;
        facts.display = display;
        facts.waylandDisplay = wayland;
        facts.swaySocket = sway;
        facts.sessionType = type;
        return DetectDesktop(facts, present);
    };
    EXPECT_EQ(DesktopKind::Gnome, detect("GNOME"));
    EXPECT_EQ(DesktopKind::Gnome, detect("ubuntu:GNOME", true, true));
    EXPECT_EQ(DesktopKind::Gnome, detect("Budgie:GNOME"));
    EXPECT_EQ(DesktopKind::Gnome, detect("Unity"));
    EXPECT_EQ(DesktopKind::Cinnamon, detect("X-Cinnamon"));
    EXPECT_EQ(DesktopKind::Mate, detect("MATE", true));
    EXPECT_EQ(DesktopKind::Plasma, detect("KDE"));
    EXPECT_EQ(DesktopKind::Xfce, detect("XFCE", true));
    EXPECT_EQ(DesktopKind::Sway, detect("sway", false, true, true));
    EXPECT_EQ(DesktopKind::Sway, detect("", false, true, true));
    EXPECT_EQ(DesktopKind::X11, detect("i3", true));
    EXPECT_EQ(DesktopKind::X11, detect("", true));
    EXPECT_EQ(DesktopKind::None, detect("Hyprland", true, true));
    EXPECT_EQ(DesktopKind::None, detect("", true, false, false, "wayland"));
    EXPECT_EQ(DesktopKind::None, detect(""));

    // A known desktop whose tool is missing is not driven with another one.
    SessionFacts plasma;
    plasma.currentDesktop = "KDE";
    plasma.display = true;
    EXPECT_EQ(DesktopKind::None, DetectDesktop(plasma, [](const std::string& tool) { return tool == "feh"; }));
}

TEST(LinuxDesktopCommands, GSettingsDesktopsWriteTheirOwnSchema) {
    const std::string schema = "org.gnome.desktop.background";
    EXPECT_EQ((Commands{{"gsettings", "set", schema, "picture-options", "centered"}}),
              StyleCommands(DesktopKind::Gnome, WallpaperStyle::Center, ""));
    EXPECT_EQ((Commands{{"gsettings", "set", schema, "picture-options", "wallpaper"}}),
              StyleCommands(DesktopKind::Gnome, WallpaperStyle::Tile, ""));
    EXPECT_EQ((Commands{{"gsettings", "set", "org.cinnamon.desktop.background", "picture-options", "stretched"}}),
              StyleCommands(DesktopKind::Cinnamon, WallpaperStyle::Stretch, ""));
    EXPECT_EQ((Commands{{"gsettings", "set", "org.mate.background", "picture-options", "stretched"}}),
              StyleCommands(DesktopKind::Mate, WallpaperStyle::Stretch, ""));

    EXPECT_EQ((Argv{"gsettings", "list-keys", schema}), ProbeCommand(DesktopKind::Gnome, Step::Picture));
    const std::string path = "/home/ann/my pictures/it's 100%.bmp";
    const std::string uri = "'file:///home/ann/my%20pictures/it%27s%20100%25.bmp'";
    EXPECT_EQ((Commands{{"gsettings", "set", schema, "picture-uri", uri},
                        {"gsettings", "set", schema, "picture-uri-dark", uri}}),
              PictureCommands(DesktopKind::Gnome, WallpaperStyle::Center, path,
                              "color-shading-type\npicture-options\npicture-uri\npicture-uri-dark\n"));
    EXPECT_EQ((Commands{{"gsettings", "set", schema, "picture-uri", uri}}),
              PictureCommands(DesktopKind::Gnome, WallpaperStyle::Center, path, "picture-options\npicture-uri\n"));
    EXPECT_EQ((Commands{{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", uri}}),
              PictureCommands(DesktopKind::Cinnamon, WallpaperStyle::Center, path, ""));
    EXPECT_EQ((Commands{{"gsettings", "set", "org.mate.background", "picture-filename",
                         "'/home/ann/my pictures/it\\'s 100%.bmp'"}}),
              PictureCommands(DesktopKind::Mate, WallpaperStyle::Center, path, ""));
}

TEST(LinuxDesktopCommands, PlasmaTakesTheFillModeWhenItsToolKnowsIt) {
    EXPECT_TRUE(StyleCommands(DesktopKind::Plasma, WallpaperStyle::Tile, "").empty());
    const std::string help = "Options:\n  -f, --fill-mode <fill-mode>  Specify the fill mode\n";
    EXPECT_EQ((Commands{{"plasma-apply-wallpaperimage", "--fill-mode", "pad", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::Plasma, WallpaperStyle::Center, "/p/w.bmp", help));
    EXPECT_EQ((Commands{{"plasma-apply-wallpaperimage", "--fill-mode", "tile", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::Plasma, WallpaperStyle::Tile, "/p/w.bmp", help));
    EXPECT_EQ((Commands{{"plasma-apply-wallpaperimage", "--fill-mode", "stretch", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::Plasma, WallpaperStyle::Stretch, "/p/w.bmp", help));
    EXPECT_EQ((Commands{{"plasma-apply-wallpaperimage", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::Plasma, WallpaperStyle::Stretch, "/p/w.bmp", "Usage: imagefile\n"));
    // The tool writes the path into a script between quotes.
    EXPECT_TRUE(PictureCommands(DesktopKind::Plasma, WallpaperStyle::Center, "/p/it's.bmp", help).empty());
    EXPECT_TRUE(PictureCommands(DesktopKind::Plasma, WallpaperStyle::Center, "/p/a\\b.bmp", help).empty());
}

TEST(LinuxDesktopCommands, XfceSetsEveryMonitorsProperties) {
    const std::string listing =
        "/backdrop/screen0/monitorHDMI-1/workspace0/image-style\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
        "/backdrop/screen0/monitor0/workspace0/color-style\n"
        "/backdrop/screen0/monitor0/workspace0/image-style\n"
        "/backdrop/screen0/monitor0/workspace0/last-image\n"
        "/desktop-icons/style\n";
    EXPECT_EQ((Argv{"xfconf-query", "-c", "xfce4-desktop", "-l"}), ProbeCommand(DesktopKind::Xfce, Step::Style));
    const std::string base = "/backdrop/screen0/monitor";
    EXPECT_EQ((Commands{
                  {"xfconf-query", "-c", "xfce4-desktop", "-p", base + "HDMI-1/workspace0/image-style", "-s", "2"},
                  {"xfconf-query", "-c", "xfce4-desktop", "-p", base + "0/workspace0/image-style", "-s", "2"},
              }),
              StyleCommands(DesktopKind::Xfce, WallpaperStyle::Tile, listing));
    EXPECT_EQ((Commands{
                  {"xfconf-query", "-c", "xfce4-desktop", "-p", base + "HDMI-1/workspace0/last-image", "-s", "/p/w.bmp"},
                  {"xfconf-query", "-c", "xfce4-desktop", "-p", base + "0/workspace0/last-image", "-s", "/p/w.bmp"},
              }),
              PictureCommands(DesktopKind::Xfce, WallpaperStyle::Tile, "/p/w.bmp", listing));
    EXPECT_EQ("1", StyleCommands(DesktopKind::Xfce, WallpaperStyle::Center, listing)[0][6]);
    EXPECT_EQ("3", StyleCommands(DesktopKind::Xfce, WallpaperStyle::Stretch, listing)[0][6]);
}

TEST(LinuxDesktopCommands, SwayAndFehTakeStyleAndPictureTogether) {
    EXPECT_TRUE(StyleCommands(DesktopKind::Sway, WallpaperStyle::Tile, "").empty());
    EXPECT_EQ((Commands{{"swaymsg", "output", "*", "bg", "/home/ann/PaneloomInfo.bmp", "tile"}}),
              PictureCommands(DesktopKind::Sway, WallpaperStyle::Tile, "/home/ann/PaneloomInfo.bmp", ""));
    EXPECT_EQ("center", PictureCommands(DesktopKind::Sway, WallpaperStyle::Center, "/w.bmp", "")[0][5]);
    EXPECT_EQ("stretch", PictureCommands(DesktopKind::Sway, WallpaperStyle::Stretch, "/w.bmp", "")[0][5]);
    // sway reads its arguments as one command and expands the path like a
    // shell word: whatever either could read is escaped, and a path that a
    // control character could break is not handed over.
    EXPECT_EQ("/a\\ \\ b\\;exec\\ \\$\\(x\\)\\,\\\"\\`x\\`\\~\\'\\\\\\*\\#\\{\\}/\xC3\xBC+@%=:_-.bmp",
              PictureCommands(DesktopKind::Sway, WallpaperStyle::Center,
                              "/a  b;exec $(x),\"`x`~'\\*#{}/\xC3\xBC+@%=:_-.bmp", "")[0][4]);
    for (const char* path : {"/a\nb.bmp", "/a\tb.bmp", "/a\x7F.bmp", "relative.bmp"}) {
        EXPECT_TRUE(PictureCommands(DesktopKind::Sway, WallpaperStyle::Center, path, "").empty()) << path;
    }

    EXPECT_TRUE(StyleCommands(DesktopKind::X11, WallpaperStyle::Tile, "").empty());
    EXPECT_EQ((Commands{{"feh", "--bg-center", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::X11, WallpaperStyle::Center, "/p/w.bmp", ""));
    EXPECT_EQ((Commands{{"feh", "--bg-tile", "/p/a b;c.bmp"}}),
              PictureCommands(DesktopKind::X11, WallpaperStyle::Tile, "/p/a b;c.bmp", ""));
    EXPECT_EQ((Commands{{"feh", "--bg-scale", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::X11, WallpaperStyle::Stretch, "/p/w.bmp", ""));

    EXPECT_TRUE(StyleCommands(DesktopKind::None, WallpaperStyle::Tile, "").empty());
    EXPECT_TRUE(PictureCommands(DesktopKind::None, WallpaperStyle::Tile, "/p/w.bmp", "").empty());
}

TEST(LinuxDesktopCommands, FillAndFitHaveEachDesktopsOwnNames) {
    struct Case {
        DesktopKind kind;
        std::string probe;
        Commands fill;
        Commands fit;
    };
    const std::string xfce = "/backdrop/screen0/monitor0/workspace0/image-style\n";
    const std::vector<Case> cases = {
        {DesktopKind::Gnome, "", {{"gsettings", "set", "org.gnome.desktop.background", "picture-options", "zoom"}},
         {{"gsettings", "set", "org.gnome.desktop.background", "picture-options", "scaled"}}},
        {DesktopKind::Xfce, xfce,
         {{"xfconf-query", "-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitor0/workspace0/image-style", "-s", "5"}},
         {{"xfconf-query", "-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitor0/workspace0/image-style", "-s", "4"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.fill, StyleCommands(c.kind, WallpaperStyle::Fill, c.probe));
        EXPECT_EQ(c.fit, StyleCommands(c.kind, WallpaperStyle::Fit, c.probe));
    }
    const std::string help = "--fill-mode";
    EXPECT_EQ((Commands{{"plasma-apply-wallpaperimage", "--fill-mode", "preserveAspectCrop", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::Plasma, WallpaperStyle::Fill, "/p/w.bmp", help));
    EXPECT_EQ((Commands{{"plasma-apply-wallpaperimage", "--fill-mode", "preserveAspectFit", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::Plasma, WallpaperStyle::Fit, "/p/w.bmp", help));
    EXPECT_EQ((Commands{{"swaymsg", "output", "*", "bg", "/p/w.bmp", "fill"}}),
              PictureCommands(DesktopKind::Sway, WallpaperStyle::Fill, "/p/w.bmp", ""));
    EXPECT_EQ((Commands{{"swaymsg", "output", "*", "bg", "/p/w.bmp", "fit"}}),
              PictureCommands(DesktopKind::Sway, WallpaperStyle::Fit, "/p/w.bmp", ""));
    EXPECT_EQ((Commands{{"feh", "--bg-fill", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::X11, WallpaperStyle::Fill, "/p/w.bmp", ""));
    EXPECT_EQ((Commands{{"feh", "--bg-max", "/p/w.bmp"}}),
              PictureCommands(DesktopKind::X11, WallpaperStyle::Fit, "/p/w.bmp", ""));
}

TEST(LinuxDesktopReaders, EachDesktopsSettingsGiveThePictureAndStyle) {
    struct Case {
        const char* name;
        std::function<void(CurrentWallpaper&)> read;
        std::string path;
        bool styleKnown;
        WallpaperStyle style;
        std::uint32_t colour;
    };
    const std::vector<Case> cases = {
        {"gnome",
         [](CurrentWallpaper& c) {
             ReadGSettings(DesktopKind::Gnome, {"'file:///home/u/My%20Pics/sky.jpg'\n", "'zoom'\n", "'#023c88'\n"}, c);
         },
         "/home/u/My Pics/sky.jpg", true, WallpaperStyle::Fill, 0x883C02},
        {"gnome, no picture shown",
         [](CurrentWallpaper& c) {
             ReadGSettings(DesktopKind::Gnome, {"'file:///a.jpg'\n", "'none'\n", "'#000000'\n"}, c);
         },
         "", false, WallpaperStyle::Center, 0},
        {"mate names a file",
         [](CurrentWallpaper& c) {
             ReadGSettings(DesktopKind::Mate, {"'/usr/share/it\\'s.png'\n", "'scaled'\n", "''\n"}, c);
         },
         "/usr/share/it's.png", true, WallpaperStyle::Fit, 0},
        {"xfce", [](CurrentWallpaper& c) { ReadXfce("/home/u/a.png\n", "2\n", c); }, "/home/u/a.png", true,
         WallpaperStyle::Tile, 0},
        {"xfce, no image style", [](CurrentWallpaper& c) { ReadXfce("/home/u/a.png\n", "0\n", c); }, "", false,
         WallpaperStyle::Center, 0},
        {"plasma",
         [](CurrentWallpaper& c) {
             ReadPlasmaConfig("[Containments][1][General]\nImage=file:///not/this.png\n"
                              "[Containments][1][Wallpaper][org.kde.image][General]\nFillMode=1\n"
                              "Image=file:///home/u/p.png\n[Containments][2][Wallpaper][org.kde.image][General]\n"
                              "Image=file:///second.png\n",
                              c);
         },
         "/home/u/p.png", true, WallpaperStyle::Fit, 0},
        {"plasma crops when no mode is written",
         [](CurrentWallpaper& c) {
             ReadPlasmaConfig("[Containments][7][Wallpaper][org.kde.image][General]\nImage=/home/u/p.png\n", c);
         },
         "/home/u/p.png", true, WallpaperStyle::Fill, 0},
        {"sway: the line for every output wins",
         [](CurrentWallpaper& c) {
             ReadSwayConfig("output HDMI-A-1 bg /one.png stretch\n  output * bg \"~/My Pics/a.png\" fit #102030\n"
                            "output DP-1 bg /two.png tile\n",
                            "/home/u", c);
         },
         "/home/u/My Pics/a.png", true, WallpaperStyle::Fit, 0x302010},
        {"sway: a solid colour",
         [](CurrentWallpaper& c) { ReadSwayConfig("output * bg #336699 solid_color\n", "/home/u", c); }, "", false,
         WallpaperStyle::Center, 0x996633},
        {"feh",
         [](CurrentWallpaper& c) { ReadFehScript("#!/bin/sh\nfeh --no-fehbg --bg-fill '/home/u/a b.jpg' \n", c); },
         "/home/u/a b.jpg", true, WallpaperStyle::Fill, 0},
    };
    for (const Case& c : cases) {
        CurrentWallpaper current;
        c.read(current);
        EXPECT_EQ(c.path, current.path) << c.name;
        EXPECT_EQ(c.styleKnown, current.styleKnown) << c.name;
        if (c.styleKnown) {
            EXPECT_EQ(c.style, current.style) << c.name;
        }
        EXPECT_EQ(c.colour, current.colour) << c.name;
    }
    EXPECT_EQ("", PathFromFileUri("http://host/a.png"));
    EXPECT_EQ("/a%2", PathFromFileUri("file:///a%2"));
    EXPECT_TRUE(PrefersDark("'prefer-dark'\n"));
    EXPECT_FALSE(PrefersDark("'default'\n"));
}

TEST(LinuxScreenSize, EachToolsAnswerGivesThePrimaryScreen) {
    struct Case {
        const char* name;
        ScreenSize size;
        std::int32_t width, height;
    };
    const std::string xrandr =
        "Screen 0: minimum 8 x 8, current 5760 x 2160, maximum 32767 x 32767\n"
        "HDMI-1 connected 1920x1080+0+0 (normal left inverted right) 510mm x 290mm\n"
        "   1920x1080     60.00*+\n"
        "DP-1 connected primary 3840x2160+1920+0 (normal left inverted right) 600mm x 340mm\n"
        "DP-2 disconnected (normal left inverted right)\n";
    const std::string sway = R"([{"name": "HDMI-A-1", "focused": false, "current_mode": {"width": 1920, "height": 1080}},
        {"name": "DP-1", "focused": true, "modes": [{"width": 640, "height": 480}], "transform": "90",
         "current_mode": {"width": 2560, "height": 1440, "refresh": 59951}, "scale": 1.5}])";
    const std::string mutter =
        "(uint32 1, [(('DP-1', 'MetaProducts Inc.', 'MetaMonitor', '0x123'), [('2560x1440@60', 2560, 1440, 60.0, "
        "1.0, [1.0, 2.0], {'is-preferred': <true>}), ('1920x1080@60', 1920, 1080, 60.0, 1.0, [1.0], "
        "{'is-current': <true>})], {'display-name': <'A'>}), (('HDMI-1', 'B', 'C', '0x1'), [('3840x2160@30', 3840, "
        "2160, 30.0, 1.0, [1.0], {'is-current': <true>})], {})], [(0, 0, 1.0, uint32 0, false, [('HDMI-1', 'B', 'C', "
        "'0x1')], @a{sv} {}), (3840, 0, 1.0, uint32 0, true, [('DP-1', 'MetaProducts Inc.', 'MetaMonitor', "
        "'0x123')], @a{sv} {})], {})";
    const Case cases[] = {
        {"xrandr primary", ScreenFromXrandr(xrandr), 3840, 2160},
        {"xrandr without primary: the first connected",
         ScreenFromXrandr("Screen 0: minimum 1 x 1, current 1024 x 768, maximum 1024 x 768\n"
                          "screen connected 1024x768+0+0 0mm x 0mm\n"),
         1024, 768},
        {"xrandr without outputs: the screen",
         ScreenFromXrandr("Screen 0: minimum 1 x 1, current 800 x 600, maximum 800 x 600\n"), 800, 600},
        {"xdpyinfo", ScreenFromXdpyinfo("screen #0:\n  dimensions:    1280x720 pixels (338x190 millimeters)\n"), 1280,
         720},
        {"sway, turned", ScreenFromSwayOutputs(sway), 1440, 2560},
        {"mutter", ScreenFromMutterState(mutter), 1920, 1080},
        {"drm", ScreenFromDrmModes("1920x1200\n1920x1080\n"), 1920, 1200},
        {"nothing", ScreenFromXrandr(""), 0, 0},
        {"not sway", ScreenFromSwayOutputs("[{\"focused\": false}]"), 0, 0},
        {"drm, no modes", ScreenFromDrmModes(""), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.width, c.size.width) << c.name;
        EXPECT_EQ(c.height, c.size.height) << c.name;
    }
}

// ---------------------------------------------------------------------------

class FakeRunner : public ToolRunner {
public:
    std::set<std::string> tools;
    std::map<std::string, std::string> outputs;  // by the command's words joined with blanks
    std::vector<std::string> ran;

    bool Present(const std::string& tool) override { return tools.count(tool) != 0; }
    bool Run(const Argv& argv, std::string* output) override {
        std::string line;
        for (const std::string& word : argv) line += (line.empty() ? "" : " ") + word;
        ran.push_back(line);
        if (output != nullptr) *output = outputs[line];
        return true;
    }
};

class LinuxDesktopTest : public ::testing::Test {
protected:
    LinuxDesktop Make() {
        return LinuxDesktop(runner, [this](const char* name) -> const char* {
            const auto found = environment.find(name);
            return found == environment.end() ? nullptr : found->second.c_str();
        });
    }

    FakeRunner runner;
    std::map<std::string, std::string> environment;
};

TEST_F(LinuxDesktopTest, GnomeGetsTheStyleFirstAndThePictureLast) {
    environment["XDG_CURRENT_DESKTOP"] = "ubuntu:GNOME";
    runner.tools = {"gsettings"};
    runner.outputs["gsettings list-keys org.gnome.desktop.background"] = "picture-uri\npicture-uri-dark\n";
    LinuxDesktop desktop = Make();
    desktop.WriteWallpaperStyle(WallpaperStyle::Stretch);
    ASSERT_EQ(std::vector<std::string>{"gsettings set org.gnome.desktop.background picture-options stretched"},
              runner.ran);
    desktop.SetWallpaper("/tmp/out.bmp");
    const std::vector<std::string> expected = {
        "gsettings set org.gnome.desktop.background picture-options stretched",
        "gsettings list-keys org.gnome.desktop.background",
        "gsettings set org.gnome.desktop.background picture-uri 'file:///tmp/out.bmp'",
        "gsettings set org.gnome.desktop.background picture-uri-dark 'file:///tmp/out.bmp'",
    };
    EXPECT_EQ(expected, runner.ran);
}

TEST_F(LinuxDesktopTest, SwayGetsTheModeRememberedFromTheStyle) {
    environment["SWAYSOCK"] = "/run/user/1000/sway-ipc.sock";
    runner.tools = {"swaymsg", "feh"};
    LinuxDesktop desktop = Make();
    desktop.WriteWallpaperStyle(WallpaperStyle::Tile);
    EXPECT_TRUE(runner.ran.empty());
    desktop.SetWallpaper("/tmp/out.bmp");
    EXPECT_EQ(std::vector<std::string>{"swaymsg output * bg /tmp/out.bmp tile"}, runner.ran);
}

TEST_F(LinuxDesktopTest, XfceIsProbedForItsPropertiesAtEachStep) {
    environment["XDG_CURRENT_DESKTOP"] = "XFCE";
    runner.tools = {"xfconf-query"};
    runner.outputs["xfconf-query -c xfce4-desktop -l"] =
        "/backdrop/screen0/monitor0/workspace0/image-style\n/backdrop/screen0/monitor0/workspace0/last-image\n";
    LinuxDesktop desktop = Make();
    desktop.WriteWallpaperStyle(WallpaperStyle::Center);
    desktop.SetWallpaper("/tmp/out.bmp");
    const std::vector<std::string> expected = {
        "xfconf-query -c xfce4-desktop -l",
        "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor0/workspace0/image-style -s 1",
        "xfconf-query -c xfce4-desktop -l",
        "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor0/workspace0/last-image -s /tmp/out.bmp",
    };
    EXPECT_EQ(expected, runner.ran);
}

TEST_F(LinuxDesktopTest, NoDesktopMeansNothingIsStarted) {
    runner.tools = {"gsettings", "feh", "swaymsg"};
    LinuxDesktop desktop = Make();
    desktop.WriteWallpaperStyle(WallpaperStyle::Stretch);
    desktop.SetWallpaper("/tmp/out.bmp");
    EXPECT_TRUE(runner.ran.empty());
}

TEST_F(LinuxDesktopTest, GnomeInTheDarkStyleShowsItsDarkPicture) {
    environment["XDG_CURRENT_DESKTOP"] = "GNOME";
    runner.tools = {"gsettings"};
    runner.outputs["gsettings get org.gnome.desktop.interface color-scheme"] = "'prefer-dark'\n";
    runner.outputs["gsettings list-keys org.gnome.desktop.background"] = "picture-uri\npicture-uri-dark\n";
    runner.outputs["gsettings get org.gnome.desktop.background picture-uri"] = "'file:///light.png'\n";
    runner.outputs["gsettings get org.gnome.desktop.background picture-uri-dark"] = "'file:///dark.png'\n";
    runner.outputs["gsettings get org.gnome.desktop.background picture-options"] = "'scaled'\n";
    LinuxDesktop desktop = Make();
    CurrentWallpaper current = desktop.ReadCurrentWallpaper();
    EXPECT_EQ("/dark.png", current.path);
    EXPECT_EQ(WallpaperStyle::Fit, current.style);

    runner.outputs["gsettings get org.gnome.desktop.interface color-scheme"] = "'default'\n";
    EXPECT_EQ("/light.png", desktop.ReadCurrentWallpaper().path);
}

TEST_F(LinuxDesktopTest, TheFirstConnectedConnectorGivesTheScreenWithoutADisplay) {
    testing::ScratchDir scratch;
    auto connector = [&](const std::string& name, const std::string& status, const std::string& modes) {
        std::filesystem::create_directory(scratch.file(name));
        scratch.Write(name + "/status", status);
        scratch.Write(name + "/modes", modes);
    };
    connector("card0-DP-1", "disconnected\n", "");
    connector("card0-HDMI-A-1", "connected\n", "2560x1440\n1920x1080\n");
    connector("card1-eDP-1", "connected\n", "1366x768\n");
    scratch.Write("version", "");
    LinuxDesktop desktop(runner, [](const char*) -> const char* { return nullptr; }, scratch.path().string());
    const ScreenSize size = desktop.PrimaryScreenSize();
    EXPECT_EQ(2560, size.width);
    EXPECT_EQ(1440, size.height);
    EXPECT_TRUE(runner.ran.empty()) << "no display: no tool is asked";

    LinuxDesktop none(runner, [](const char*) -> const char* { return nullptr; }, scratch.file("missing"));
    EXPECT_FALSE(none.PrimaryScreenSize().Known());
}

TEST_F(LinuxDesktopTest, TheStateFolderFollowsTheBaseDirectoryRules) {
    testing::ScratchDir scratch;
    environment["HOME"] = scratch.file("home");
    environment["XDG_STATE_HOME"] = "relative/state";  // not absolute: ignored
    EXPECT_EQ(scratch.file("home") + "/.local/state/paneloom/", Make().StateDirectory());
    environment["XDG_STATE_HOME"] = scratch.file("state");
    EXPECT_EQ(scratch.file("state") + "/paneloom/", Make().StateDirectory());
    EXPECT_TRUE(std::filesystem::is_directory(scratch.file("state/paneloom")));
}

TEST_F(LinuxDesktopTest, FullPathIsResolvedAgainstTheCurrentDirectory) {
    testing::ScratchDir scratch;
    LinuxDesktop desktop = Make();
    const std::filesystem::path here = std::filesystem::current_path();
    EXPECT_EQ((here / "out.bmp").string(), desktop.FullPathName("out.bmp"));
    EXPECT_EQ((here / "b.bmp").string(), desktop.FullPathName("./a/../b.bmp"));
    EXPECT_EQ("/var/x.bmp", desktop.FullPathName("/var//tmp/../x.bmp"));
    EXPECT_EQ("", desktop.FullPathName(""));
}

// ---------------------------------------------------------------------------

TEST(SystemToolRunner, ArgumentsReachTheToolUntouched) {
    ToolRunner& runner = SystemToolRunner();
    ASSERT_TRUE(runner.Present("printf"));
    const std::string tricky = "a;b $(echo x) `y` 'q' \"z\" *";
    std::string output;
    ASSERT_TRUE(runner.Run({"printf", "%s|%s", tricky, "/tmp/a b.bmp"}, &output));
    EXPECT_EQ(tricky + "|/tmp/a b.bmp", output);
}

TEST(SystemToolRunner, FailuresAndMissingToolsAreReported) {
    ToolRunner& runner = SystemToolRunner();
    EXPECT_TRUE(runner.Run({"true"}, nullptr));
    EXPECT_FALSE(runner.Run({"false"}, nullptr));
    EXPECT_FALSE(runner.Present("paneloom-no-such-tool"));
    EXPECT_FALSE(runner.Run({"paneloom-no-such-tool"}, nullptr));
    EXPECT_FALSE(runner.Run({}, nullptr));
    std::string output;
    EXPECT_FALSE(runner.Run({"sh", "-c", "echo partial; exit 3"}, &output));
    EXPECT_EQ("partial\n", output);
}

// PATH as a test sets it, put back afterwards.
class ScopedPath {
public:
    explicit ScopedPath(const char* value) {
        if (const char* old = std::getenv("PATH")) saved_ = old;
        if (value != nullptr) {
            ::setenv("PATH", value, 1);
        } else {
            ::unsetenv("PATH");
        }
    }
    ~ScopedPath() { ::setenv("PATH", saved_.c_str(), 1); }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

private:
    std::string saved_ = "/usr/bin:/bin";
};

TEST(SystemToolRunner, ToolsAreFoundOnlyInAbsolutePathEntries) {
    testing::ScratchDir scratch;
    std::filesystem::create_directories(scratch.path() / "tools");
    for (const char* name : {"sh", "tools/sh"}) {
        scratch.Write(name, "#!/bin/sh\n");
        std::filesystem::permissions(scratch.path() / name, std::filesystem::perms::owner_all);
    }
    const std::string tools = scratch.file("tools");
    struct Case {
        const char* path;  // null: unset
        std::string found;
    };
    const Case cases[] = {
        {"/usr/bin:/bin:", "/usr/bin/sh"},
        {":/bin", "/bin/sh"},
        {".", "/usr/bin/sh"},
        {"", "/usr/bin/sh"},
        {nullptr, "/usr/bin/sh"},
        {"tools:.", "/usr/bin/sh"},
        {"tools:/bin/", "/bin/sh"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path != nullptr ? c.path : "(unset)");
        ScopedPath path(c.path);
        EXPECT_EQ(c.found, LocateTool("sh"));
        EXPECT_TRUE(SystemToolRunner().Present("sh"));
        EXPECT_FALSE(SystemToolRunner().Present("./sh"));
    }
    ScopedPath path((tools + ":/usr/bin").c_str());
    EXPECT_EQ(tools + "/sh", LocateTool("sh"));
    EXPECT_EQ(tools + "/sh", LocateTool(tools + "/sh"));
    EXPECT_EQ("", LocateTool("tools/sh"));
}

// Whether the process whose number was written to `file` has ended.
bool Ended(const std::string& file) {
    std::ifstream in(file);
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// A tool that never finishes, or one that finishes while what it started
// keeps writing to its output, holds the run no longer than the time limit,
// and what it started is ended with it.
TEST(SystemToolRunner, HungToolsAndWhatTheyStartedAreEndedAtTheDeadline) {
    testing::ScratchDir scratch;
    const std::unique_ptr<ToolRunner> runner = MakeSystemToolRunner(std::chrono::milliseconds(300));
    struct Case {
        const char* name;
        std::string script;  // $1: where the started process writes its number
        bool withOutput;
    };
    const Case cases[] = {
        {"hangs, silent", "sleep 1000 & echo $! > \"$1\"; wait", false},
        {"hangs, writing", "yes & echo $! > \"$1\"; wait", true},
        {"leaves something writing", "yes & echo $! > \"$1\"; exit 0", true},
        {"leaves something holding its output", "sleep 1000 & echo $! > \"$1\"; sleep 1000", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pidFile = scratch.file("pid");
        std::filesystem::remove(pidFile);
        std::string output;
        EXPECT_FALSE(runner->Run({"sh", "-c", c.script, "sh", pidFile}, c.withOutput ? &output : nullptr));
        EXPECT_LE(output.size(), (std::size_t{1} << 20) + 4096);
        for (int i = 0; i < 100 && !Ended(pidFile); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(Ended(pidFile)) << "what the tool started still runs";
    }
    // A tool that ends in time is unaffected, and so is what it leaves
    // behind quietly.
    std::string output;
    EXPECT_TRUE(runner->Run({"sh", "-c", "echo done"}, &output));
    EXPECT_EQ("done\n", output);
}

}  // namespace
}  // namespace paneloom::platform::lnx
