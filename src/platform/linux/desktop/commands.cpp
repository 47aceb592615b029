#include "platform/linux/desktop/commands.h"

#include "common/scan.h"

namespace paneloom::platform::lnx {

namespace {

bool IsAsciiAlnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A tool's output line by line, without the carriage returns and blanks
// left at line ends. Not trimmed at the start: a line that begins with a
// blank is no key or property name.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines = SplitLines(text);
    for (std::string& line : lines) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    }
    return lines;
}

DesktopKind KindOfEntry(const std::string& entry) {
    const std::string name = LowerAscii(entry);
    if (name == "gnome" || name == "gnome-classic" || name == "gnome-flashback" || name == "unity" ||
        name == "budgie" || name == "budgie-desktop") {
        return DesktopKind::Gnome;
    }
    if (name == "x-cinnamon" || name == "cinnamon") return DesktopKind::Cinnamon;
    if (name == "mate") return DesktopKind::Mate;
    if (name == "kde") return DesktopKind::Plasma;
    if (name == "xfce") return DesktopKind::Xfce;
    if (name == "sway") return DesktopKind::Sway;
    return DesktopKind::None;
}

const char* GSettingsSchema(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::Gnome:
            return "org.gnome.desktop.background";
        case DesktopKind::Cinnamon:
            return "org.cinnamon.desktop.background";
        case DesktopKind::Mate:
            return "org.mate.background";
        default:
            return "";
    }
}

bool UsesGSettings(DesktopKind kind) {
    return kind == DesktopKind::Gnome || kind == DesktopKind::Cinnamon || kind == DesktopKind::Mate;
}

// Each tool names the three styles its own way.
const char* StyleName(WallpaperStyle style, const char* center, const char* tile, const char* stretch) {
    switch (style) {
        case WallpaperStyle::Tile:
            return tile;
        case WallpaperStyle::Stretch:
            return stretch;
        default:
            return center;
    }
}

// picture-options: the same three names in all three schemas.
const char* GSettingsOption(WallpaperStyle style) { return StyleName(style, "centered", "wallpaper", "stretched"); }

// xfdesktop's image-style numbers.
const char* XfceStyle(WallpaperStyle style) { return StyleName(style, "1", "2", "3"); }

const char* PlasmaFillMode(WallpaperStyle style) { return StyleName(style, "pad", "tile", "stretch"); }

const char* SwayMode(WallpaperStyle style) { return StyleName(style, "center", "tile", "stretch"); }

const char* FehOption(WallpaperStyle style) { return StyleName(style, "--bg-center", "--bg-tile", "--bg-scale"); }

bool HasControlCharacter(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

// sway joins its arguments into one command, splits it again on blanks,
// quotes, ';' and ',', and expands the path like a shell word. A backslash
// before every character that either step could read keeps it what it is
// through both, so a path with blanks or quotes is shown as it is; a
// control character is not handed over at all.
bool SwayTakes(const std::string& path) { return !path.empty() && path[0] == '/' && !HasControlCharacter(path); }

std::string SwayWord(const std::string& path) {
    std::string word;
    for (char c : path) {
        const auto u = static_cast<unsigned char>(c);
        const bool plain = u >= 0x80 || IsAsciiAlnum(u) || c == '/' || c == '.' || c == '_' || c == '-' ||
                           c == '+' || c == '@' || c == '%' || c == '=' || c == ':';
        if (!plain) word += '\\';
        word += c;
    }
    return word;
}

// Plasma's tool writes the path into a script between single quotes and
// refuses a path holding one; a backslash or a control character could
// still change what the script says.
bool PlasmaTakesLiterally(const std::string& path) {
    return !path.empty() && path.find('\'') == std::string::npos && path.find('\\') == std::string::npos &&
           !HasControlCharacter(path);
}

// Property names of the xfce4-desktop channel that end in `leaf`.
std::vector<std::string> XfceProperties(const std::string& listing, const std::string& leaf) {
    std::vector<std::string> names;
    for (const std::string& line : Lines(listing)) {
        if (StartsWith(line, "/backdrop/") && EndsWith(line, leaf) &&
            line.find_first_of(" \t") == std::string::npos) {
            names.push_back(line);
        }
    }
    return names;
}

Argv GSettingsSet(DesktopKind kind, const std::string& key, const std::string& value) {
    return {"gsettings", "set", GSettingsSchema(kind), key, value};
}

}  // namespace

std::string ToolFor(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::Gnome:
        case DesktopKind::Cinnamon:
        case DesktopKind::Mate:
            return "gsettings";
        case DesktopKind::Plasma:
            return "plasma-apply-wallpaperimage";
        case DesktopKind::Xfce:
            return "xfconf-query";
        case DesktopKind::Sway:
            return "swaymsg";
        case DesktopKind::X11:
            return "feh";
        default:
            return "";
    }
}

DesktopKind DetectDesktop(const SessionFacts& facts, const std::function<bool(const std::string&)>& toolPresent) {
    DesktopKind kind = DesktopKind::None;
    std::string::size_type start = 0;
    while (kind == DesktopKind::None && start <= facts.currentDesktop.size()) {
        std::string::size_type colon = facts.currentDesktop.find(':', start);
        if (colon == std::string::npos) colon = facts.currentDesktop.size();
        kind = KindOfEntry(facts.currentDesktop.substr(start, colon - start));
        start = colon + 1;
    }
    if (kind == DesktopKind::None && facts.swaySocket) kind = DesktopKind::Sway;
    if (kind == DesktopKind::None && facts.display && !facts.waylandDisplay && LowerAscii(facts.sessionType) != "wayland") {
        kind = DesktopKind::X11;
    }
    if (kind != DesktopKind::None && !toolPresent(ToolFor(kind))) return DesktopKind::None;
    return kind;
}

Argv ProbeCommand(DesktopKind kind, Step step) {
    if (kind == DesktopKind::Xfce) return {"xfconf-query", "-c", "xfce4-desktop", "-l"};
    if (step != Step::Picture) return {};
    if (kind == DesktopKind::Gnome) return {"gsettings", "list-keys", GSettingsSchema(kind)};
    if (kind == DesktopKind::Plasma) return {"plasma-apply-wallpaperimage", "--help"};
    return {};
}

std::vector<Argv> StyleCommands(DesktopKind kind, WallpaperStyle style, const std::string& probeOutput) {
    std::vector<Argv> commands;
    if (UsesGSettings(kind)) {
        commands.push_back(GSettingsSet(kind, "picture-options", GSettingsOption(style)));
    } else if (kind == DesktopKind::Xfce) {
        for (const std::string& property : XfceProperties(probeOutput, "/image-style")) {
            commands.push_back({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", XfceStyle(style)});
        }
    }
    // Plasma, sway and feh take the style together with the picture.
    return commands;
}

std::vector<Argv> PictureCommands(DesktopKind kind, WallpaperStyle style, const std::string& fullPath,
                                  const std::string& probeOutput) {
    std::vector<Argv> commands;
    if (fullPath.empty()) return commands;
    switch (kind) {
        case DesktopKind::Gnome: {
            const std::string uri = GVariantString(FileUri(fullPath));
            commands.push_back(GSettingsSet(kind, "picture-uri", uri));
            for (const std::string& key : Lines(probeOutput)) {
                if (key == "picture-uri-dark") commands.push_back(GSettingsSet(kind, "picture-uri-dark", uri));
            }
            break;
        }
        case DesktopKind::Cinnamon:
            commands.push_back(GSettingsSet(kind, "picture-uri", GVariantString(FileUri(fullPath))));
            break;
        case DesktopKind::Mate:
            commands.push_back(GSettingsSet(kind, "picture-filename", GVariantString(fullPath)));
            break;
        case DesktopKind::Plasma:
            if (!PlasmaTakesLiterally(fullPath)) break;
            if (probeOutput.find("--fill-mode") != std::string::npos) {
                commands.push_back({"plasma-apply-wallpaperimage", "--fill-mode", PlasmaFillMode(style), fullPath});
            } else {
                commands.push_back({"plasma-apply-wallpaperimage", fullPath});
            }
            break;
        case DesktopKind::Xfce:
            for (const std::string& property : XfceProperties(probeOutput, "/last-image")) {
                commands.push_back({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", fullPath});
            }
            break;
        case DesktopKind::Sway:
            if (SwayTakes(fullPath)) {
                commands.push_back({"swaymsg", "output", "*", "bg", SwayWord(fullPath), SwayMode(style)});
            }
            break;
        case DesktopKind::X11:
            commands.push_back({"feh", FehOption(style), fullPath});
            break;
        case DesktopKind::None:
            break;
    }
    return commands;
}

std::string FileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (IsAsciiAlnum(u) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            uri += c;
        } else {
            uri += '%';
            uri += hex[u >> 4];
            uri += hex[u & 0x0F];
        }
    }
    return uri;
}

std::string GVariantString(const std::string& text) {
    std::string literal = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\') literal += '\\';
        literal += c;
    }
    literal += '\'';
    return literal;
}

}  // namespace paneloom::platform::lnx
