// The Linux desktop: the running desktop's own wallpaper settings, recorded
// by that desktop's command-line tools.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/linux/desktop_commands.h"

namespace paneloom::platform::lnx {

// Starts tools. Never through a shell: the arguments reach the tool exactly
// as given.
class ToolRunner {
public:
    virtual ~ToolRunner() = default;

    // Whether an executable of that name is on PATH.
    virtual bool Present(const std::string& tool) = 0;

    // Runs argv[0] (looked up on PATH) with the arguments, its input empty
    // and its error output discarded; its output goes to `output` when that
    // is not null. True when it ran and exited with status 0.
    virtual bool Run(const CommandLine& argv, std::string* output) = 0;
};

// The runner that starts real processes. A tool that has not finished
// after ten seconds is killed, so a hung desktop service cannot hold up the
// run.
ToolRunner& SystemToolRunner();

class LinuxDesktop final : public Desktop {
public:
    // `environment` looks a variable up (null when unset), like getenv.
    LinuxDesktop(ToolRunner& runner, std::function<const char*(const char*)> environment);

    // Remembers the style for the picture step and records it where the
    // desktop keeps it apart from the picture.
    void WriteWallpaperStyle(const std::string& wallPaperStyle, const std::string& tileWallPaper) override;

    // The path made absolute against the current directory, with "." and
    // ".." resolved as names.
    std::string FullPathName(const std::string& path) override;

    void SetWallpaper(const std::string& fullPath) override;

private:
    DesktopKind Detect();
    std::string Probe(DesktopKind kind, Step step);
    void RunAll(const std::vector<CommandLine>& commands);

    ToolRunner& runner_;
    std::function<const char*(const char*)> environment_;
    WallpaperMode mode_ = WallpaperMode::Center;
};

}  // namespace paneloom::platform::lnx
