// The Linux desktop: the running desktop's own wallpaper settings, recorded
// by that desktop's command-line tools.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/linux/desktop/commands.h"
#include "platform/linux/process/tool_runner.h"

namespace paneloom::platform::lnx {

class LinuxDesktop final : public Desktop {
public:
    // `environment` looks a variable up (null when unset), like getenv;
    // `drmRoot` is where the kernel lists the display connectors.
    LinuxDesktop(ToolRunner& runner, std::function<const char*(const char*)> environment,
                 std::string drmRoot = "/sys/class/drm");

    // Remembers the style for the picture step and records it where the
    // desktop keeps it apart from the picture.
    void WriteWallpaperStyle(WallpaperStyle style) override;

    // The path made absolute against the current directory, with "." and
    // ".." resolved as names.
    std::string FullPathName(const std::string& path) override;

    void SetWallpaper(const std::string& fullPath) override;

    // From the running desktop's own settings, as it keeps them: GSettings,
    // xfconf, Plasma's and sway's configuration files, feh's script.
    CurrentWallpaper ReadCurrentWallpaper() override;

    // X11's primary output (RandR), sway's focused output, GNOME's primary
    // monitor on Wayland, else the first connected display connector.
    ScreenSize PrimaryScreenSize() override;

    // $XDG_STATE_HOME/paneloom/, else ~/.local/state/paneloom/.
    std::string StateDirectory() override;

private:
    std::string Variable(const char* name) const;
    std::string Home() const;
    std::string ConfigHome() const;
    std::string Output(const Argv& argv);
    DesktopKind Detect();
    std::string Probe(DesktopKind kind, Step step);
    void RunAll(const std::vector<Argv>& commands);

    ToolRunner& runner_;
    std::function<const char*(const char*)> environment_;
    std::string drmRoot_;
    WallpaperStyle style_ = WallpaperStyle::Center;
};

}  // namespace paneloom::platform::lnx
