// Which Linux desktop is running and which command lines record a wallpaper
// in its own settings. Pure functions: what the session and the tools say
// goes in, argument vectors come out, so every desktop is checked without
// running one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/linux/process/tool_runner.h"

namespace paneloom::platform::lnx {

enum class DesktopKind {
    None,      // nothing found: nothing is written
    Gnome,     // GNOME, Unity, Budgie: org.gnome.desktop.background
    Cinnamon,  // org.cinnamon.desktop.background
    Mate,      // org.mate.background
    Plasma,    // KDE Plasma: plasma-apply-wallpaperimage
    Xfce,      // xfconf-query on xfce4-desktop
    Sway,      // swaymsg output * bg
    X11,       // any other X11 session: feh
};

// What the session's environment says.
struct SessionFacts {
    std::string currentDesktop;  // XDG_CURRENT_DESKTOP, e.g. "ubuntu:GNOME"
    std::string sessionType;     // XDG_SESSION_TYPE
    bool display = false;        // DISPLAY is set
    bool waylandDisplay = false; // WAYLAND_DISPLAY is set
    bool swaySocket = false;     // SWAYSOCK is set
};

// The tool a desktop is driven with.
std::string ToolFor(DesktopKind kind);

// The running desktop: the first XDG_CURRENT_DESKTOP entry we know, else
// sway by its socket, else a plain X11 session. None when its tool is not
// present.
DesktopKind DetectDesktop(const SessionFacts& facts, const std::function<bool(const std::string&)>& toolPresent);

enum class Step { Style, Picture };

// The command whose output the step's command lines depend on (the keys of
// a schema, the properties of a channel, a tool's options); empty when
// there is none.
Argv ProbeCommand(DesktopKind kind, Step step);

// The command lines that record the style, run when the style is decided.
// `probeOutput` is what ProbeCommand(kind, Step::Style) printed.
std::vector<Argv> StyleCommands(DesktopKind kind, WallpaperStyle style, const std::string& probeOutput);

// The command lines that make the file at `fullPath` the wallpaper in
// `style`. `probeOutput` is what ProbeCommand(kind, Step::Picture) printed.
// A path that a desktop's own command language could misread gets no
// command for that desktop.
std::vector<Argv> PictureCommands(DesktopKind kind, WallpaperStyle style, const std::string& fullPath,
                                  const std::string& probeOutput);

// "file://" and the path, every byte other than an unreserved character or
// '/' percent-encoded.
std::string FileUri(const std::string& path);

// A GVariant text-format string literal holding `text`.
std::string GVariantString(const std::string& text);

}  // namespace paneloom::platform::lnx
