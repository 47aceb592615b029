#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/linux/desktop/desktop.h"

namespace paneloom::platform {

namespace lnx {

LinuxDesktop::LinuxDesktop(ToolRunner& runner, std::function<const char*(const char*)> environment)
    : runner_(runner), environment_(std::move(environment)) {}

DesktopKind LinuxDesktop::Detect() {
    auto text = [this](const char* name) {
        const char* value = environment_(name);
        return value != nullptr ? std::string(value) : std::string();
    };
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

}  // namespace lnx

template <>
Desktop& RealImpl<Desktop>() {
    static lnx::LinuxDesktop desktop(lnx::SystemToolRunner(), [](const char* name) { return std::getenv(name); });
    return desktop;
}

}  // namespace paneloom::platform
