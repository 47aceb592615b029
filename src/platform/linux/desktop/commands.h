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

// Reading back what the desktop shows. Each reader takes what a tool
// printed or a settings file holds and fills what it learns into `current`,
// leaving the rest as it is.

// The command lines whose outputs ReadGSettings takes, in that order: the
// picture, the style, the colour. `dark` asks for the dark style's picture.
std::vector<Argv> GSettingsReadCommands(DesktopKind kind, bool dark);
void ReadGSettings(DesktopKind kind, const std::vector<std::string>& outputs, CurrentWallpaper& current);

// Whether what `gsettings get org.gnome.desktop.interface color-scheme`
// printed asks for the dark style.
bool PrefersDark(const std::string& printed);

// The image and image-style properties of the first monitor listed in the
// xfce4-desktop channel; empty when there is none.
std::string XfceFirstImageProperty(const std::string& listing);
std::string XfceStyleProperty(const std::string& imageProperty);
// `image` and `style` are what xfconf-query printed for the two properties.
void ReadXfce(const std::string& image, const std::string& style, CurrentWallpaper& current);

// Plasma's desktop applets file (plasma-org.kde.plasma.desktop-appletsrc):
// the first containment's image and fill mode.
void ReadPlasmaConfig(const std::string& text, CurrentWallpaper& current);

// sway's configuration: the last `output` line for all outputs (or the
// first named one) that sets a background picture. `home` expands a
// leading "~/".
void ReadSwayConfig(const std::string& text, const std::string& home, CurrentWallpaper& current);

// feh's ~/.fehbg script: the style option and the picture it shows.
void ReadFehScript(const std::string& text, CurrentWallpaper& current);

// The text of a GVariant string literal as gsettings prints it; empty when
// `printed` is not one.
std::string StringFromGVariant(const std::string& printed);

// The local path a "file://" URI names, percent-decoded; empty when it
// names none.
std::string PathFromFileUri(const std::string& uri);

// "file://" and the path, every byte other than an unreserved character or
// '/' percent-encoded.
std::string FileUri(const std::string& path);

// A GVariant text-format string literal holding `text`.
std::string GVariantString(const std::string& text);

}  // namespace paneloom::platform::lnx
