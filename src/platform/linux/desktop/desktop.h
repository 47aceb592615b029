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
    // `environment` looks a variable up (null when unset), like getenv.
    LinuxDesktop(ToolRunner& runner, std::function<const char*(const char*)> environment);

    // Remembers the style for the picture step and records it where the
    // desktop keeps it apart from the picture.
    void WriteWallpaperStyle(WallpaperStyle style) override;

    // The path made absolute against the current directory, with "." and
    // ".." resolved as names.
    std::string FullPathName(const std::string& path) override;

    void SetWallpaper(const std::string& fullPath) override;

private:
    DesktopKind Detect();
    std::string Probe(DesktopKind kind, Step step);
    void RunAll(const std::vector<Argv>& commands);

    ToolRunner& runner_;
    std::function<const char*(const char*)> environment_;
    WallpaperStyle style_ = WallpaperStyle::Center;
};

}  // namespace paneloom::platform::lnx
