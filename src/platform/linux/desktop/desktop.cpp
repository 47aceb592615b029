#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/scan.h"
#include "platform/linux/desktop/screen.h"
#include "platform/linux/files/file_reader.h"

#include "platform/linux/desktop/desktop.h"

namespace paneloom::platform {

namespace lnx {

namespace {

// Settings files and tool outputs read here are small; anything larger is
// not theirs.
constexpr std::size_t kMaxSettingsBytes = 1 << 20;

std::string ReadSmallFile(const std::string& path) {
    std::string text;
    if (!ReadBoundedFile(path, kMaxSettingsBytes, text)) text.clear();
    return text;
}

}  // namespace

LinuxDesktop::LinuxDesktop(ToolRunner& runner, std::function<const char*(const char*)> environment,
                           std::string drmRoot)
    : runner_(runner), environment_(std::move(environment)), drmRoot_(std::move(drmRoot)) {}

std::string LinuxDesktop::Variable(const char* name) const {
    const char* value = environment_(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string LinuxDesktop::Home() const {
    std::string home = Variable("HOME");
    if (home.empty()) {
        const struct passwd* user = ::getpwuid(::geteuid());
        if (user != nullptr && user->pw_dir != nullptr) home = user->pw_dir;
    }
    return home;
}

// The base directory specification: a relative value counts as unset.
std::string LinuxDesktop::ConfigHome() const {
    const std::string config = Variable("XDG_CONFIG_HOME");
    if (StartsWith(config, "/")) return config;
    const std::string home = Home();
    return home.empty() ? std::string() : home + "/.config";
}

std::string LinuxDesktop::Output(const Argv& argv) {
    std::string output;
    if (!runner_.Run(argv, &output)) output.clear();
    return output;
}

DesktopKind LinuxDesktop::Detect() {
    auto text = [this](const char* name) { return Variable(name); };
    SessionFacts facts;
    facts.currentDesktop = text("XDG_CURRENT_DESKTOP");
    facts.sessionType = text("XDG_SESSION_TYPE");
    facts.display = !text("DISPLAY").empty();
    facts.waylandDisplay = !text("WAYLAND_DISPLAY").empty();
    facts.swaySocket = !text("SWAYSOCK").empty();
    return DetectDesktop(facts, [this](const std::string& tool) { return runner_.Present(tool); });
}

std::string LinuxDesktop::Probe(DesktopKind kind, Step step) {
    const Argv probe = ProbeCommand(kind, step);
    std::string output;
    if (!probe.empty() && !runner_.Run(probe, &output)) output.clear();
    return output;
}

void LinuxDesktop::RunAll(const std::vector<Argv>& commands) {
    for (const Argv& command : commands) runner_.Run(command, nullptr);
}

void LinuxDesktop::WriteWallpaperStyle(WallpaperStyle style) {
    style_ = style;
    const DesktopKind kind = Detect();
    if (kind == DesktopKind::None) return;
    RunAll(StyleCommands(kind, style_, Probe(kind, Step::Style)));
}

std::string LinuxDesktop::FullPathName(const std::string& path) {
    if (path.empty()) return std::string();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return std::string();
    return absolute.lexically_normal().string();
}

void LinuxDesktop::SetWallpaper(const std::string& fullPath) {
    const DesktopKind kind = Detect();
    if (kind == DesktopKind::None) return;
    RunAll(PictureCommands(kind, style_, fullPath, Probe(kind, Step::Picture)));
}

CurrentWallpaper LinuxDesktop::ReadCurrentWallpaper() {
    CurrentWallpaper current;
    const DesktopKind kind = Detect();
    switch (kind) {
        case DesktopKind::Gnome:
        case DesktopKind::Cinnamon:
        case DesktopKind::Mate: {
            bool dark = false;
            if (kind == DesktopKind::Gnome &&
                PrefersDark(Output({"gsettings", "get", "org.gnome.desktop.interface", "color-scheme"}))) {
                for (const std::string& key : SplitLines(Probe(kind, Step::Picture))) {
                    if (Trim(key) == "picture-uri-dark") dark = true;
                }
            }
            std::vector<std::string> outputs;
            for (const Argv& command : GSettingsReadCommands(kind, dark)) outputs.push_back(Output(command));
            ReadGSettings(kind, outputs, current);
            break;
        }
        case DesktopKind::Xfce: {
            const std::string image = XfceFirstImageProperty(Probe(kind, Step::Picture));
            if (image.empty()) break;
            ReadXfce(Output({"xfconf-query", "-c", "xfce4-desktop", "-p", image}),
                     Output({"xfconf-query", "-c", "xfce4-desktop", "-p", XfceStyleProperty(image)}), current);
            break;
        }
        case DesktopKind::Plasma:
            ReadPlasmaConfig(ReadSmallFile(ConfigHome() + "/plasma-org.kde.plasma.desktop-appletsrc"), current);
            break;
        case DesktopKind::Sway: {
            std::string config = ReadSmallFile(ConfigHome() + "/sway/config");
            if (config.empty()) config = ReadSmallFile(Home() + "/.sway/config");
            ReadSwayConfig(config, Home(), current);
            break;
        }
        case DesktopKind::X11:
            ReadFehScript(ReadSmallFile(Home() + "/.fehbg"), current);
            break;
        case DesktopKind::None:
            break;
    }
    // A relative name means nothing outside the desktop's own folder.
    if (!StartsWith(current.path, "/")) current.path.clear();
    return current;
}

ScreenSize LinuxDesktop::PrimaryScreenSize() {
    const bool wayland = !Variable("WAYLAND_DISPLAY").empty() || LowerAscii(Variable("XDG_SESSION_TYPE")) == "wayland";
    ScreenSize size;
    if (!Variable("SWAYSOCK").empty() && runner_.Present("swaymsg")) {
        size = ScreenFromSwayOutputs(Output({"swaymsg", "-t", "get_outputs", "-r"}));
    }
    if (!size.Known() && wayland && Detect() == DesktopKind::Gnome && runner_.Present("gdbus")) {
        size = ScreenFromMutterState(Output({"gdbus", "call", "--session", "--dest", "org.gnome.Mutter.DisplayConfig",
                                             "--object-path", "/org/gnome/Mutter/DisplayConfig", "--method",
                                             "org.gnome.Mutter.DisplayConfig.GetCurrentState"}));
    }
    if (!size.Known() && !Variable("DISPLAY").empty()) {
        if (runner_.Present("xrandr")) size = ScreenFromXrandr(Output({"xrandr", "--query"}));
        if (!size.Known() && runner_.Present("xdpyinfo")) size = ScreenFromXdpyinfo(Output({"xdpyinfo"}));
    }
    if (!size.Known()) {
        for (const std::string& name : ListDirectory(drmRoot_)) {
            // Connectors are named after their card: card0-HDMI-A-1.
            if (!StartsWith(name, "card") || name.find('-') == std::string::npos) continue;
            const std::string folder = drmRoot_ + "/" + name;
            if (Trim(ReadSmallFile(folder + "/status")) != "connected") continue;
            size = ScreenFromDrmModes(ReadSmallFile(folder + "/modes"));
            if (size.Known()) break;
        }
    }
    return size;
}

std::string LinuxDesktop::StateDirectory() {
    std::string base = Variable("XDG_STATE_HOME");
    if (!StartsWith(base, "/")) {
        const std::string home = Home();
        if (home.empty()) return std::string();
        base = home + "/.local/state";
    }
    const std::string folder = base + "/paneloom";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!IsDirectory(folder)) return std::string();
    return folder + "/";
}

}  // namespace lnx

template <>
Desktop& RealImpl<Desktop>() {
    static lnx::LinuxDesktop desktop(lnx::SystemToolRunner(), [](const char* name) { return std::getenv(name); });
    return desktop;
}

}  // namespace paneloom::platform
