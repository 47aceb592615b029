// The Linux desktop: which desktop runs, which command lines record the
// wallpaper there, and how the tools are started.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "platform/linux/desktop/desktop.h"
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
