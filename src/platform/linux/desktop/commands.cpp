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

// Each tool names the five styles its own way.
struct StyleNames {
    const char* center;
    const char* tile;
    const char* stretch;
    const char* fill;
    const char* fit;
};

const char* StyleName(WallpaperStyle style, const StyleNames& names) {
    switch (style) {
        case WallpaperStyle::Tile:
            return names.tile;
        case WallpaperStyle::Stretch:
            return names.stretch;
        case WallpaperStyle::Fill:
            return names.fill;
        case WallpaperStyle::Fit:
            return names.fit;
        case WallpaperStyle::Center:
            break;
    }
    return names.center;
}

// picture-options: the same names in all three schemas.
constexpr StyleNames kGSettingsOptions{"centered", "wallpaper", "stretched", "zoom", "scaled"};
const char* GSettingsOption(WallpaperStyle style) { return StyleName(style, kGSettingsOptions); }

// xfdesktop's image-style numbers.
constexpr StyleNames kXfceStyles{"1", "2", "3", "5", "4"};
const char* XfceStyle(WallpaperStyle style) { return StyleName(style, kXfceStyles); }

// Plasma's image fill modes, by the names its tool takes.
const char* PlasmaFillMode(WallpaperStyle style) {
    return StyleName(style, {"pad", "tile", "stretch", "preserveAspectCrop", "preserveAspectFit"});
}

constexpr StyleNames kSwayModes{"center", "tile", "stretch", "fill", "fit"};
const char* SwayMode(WallpaperStyle style) { return StyleName(style, kSwayModes); }

constexpr StyleNames kFehOptions{"--bg-center", "--bg-tile", "--bg-scale", "--bg-fill", "--bg-max"};
const char* FehOption(WallpaperStyle style) { return StyleName(style, kFehOptions); }

// The style a tool's own name stands for; false for a name of none.
bool StyleOfName(const std::string& name, const StyleNames& names, WallpaperStyle& style) {
    const WallpaperStyle all[] = {WallpaperStyle::Center, WallpaperStyle::Tile, WallpaperStyle::Stretch,
                                  WallpaperStyle::Fill, WallpaperStyle::Fit};
    for (WallpaperStyle candidate : all) {
        if (name == StyleName(candidate, names)) {
            style = candidate;
            return true;
        }
    }
    return false;
}

void SetStyle(const std::string& name, const StyleNames& names, CurrentWallpaper& current) {
    if (StyleOfName(name, names, current.style)) current.styleKnown = true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "#rrggbb" as 0x00BBGGRR; false for any other text.
bool ColourOfHex(const std::string& text, std::uint32_t& colour) {
    if (text.size() != 7 || text[0] != '#') return false;
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        rgb = (rgb << 4) | static_cast<std::uint32_t>(digit);
    }
    colour = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

std::string FirstLine(const std::string& text) {
    const std::vector<std::string> lines = Lines(text);
    return lines.empty() ? std::string() : lines.front();
}

// The words of a configuration or shell line: blanks separate them, single
// or double quotes hold blanks inside one, a backslash keeps the next
// character (outside single quotes).
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && i + 1 < line.size()) {
                word += line[++i];
            } else {
                word += c;
            }
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string ExpandHome(const std::string& path, const std::string& home) {
    if (StartsWith(path, "~/") && !home.empty()) return home + path.substr(1);
    return path;
}

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

std::vector<Argv> GSettingsReadCommands(DesktopKind kind, bool dark) {
    if (!UsesGSettings(kind)) return {};
    const char* picture = kind == DesktopKind::Mate ? "picture-filename" : dark ? "picture-uri-dark" : "picture-uri";
    const std::string schema = GSettingsSchema(kind);
    return {{"gsettings", "get", schema, picture},
            {"gsettings", "get", schema, "picture-options"},
            {"gsettings", "get", schema, "primary-color"}};
}

void ReadGSettings(DesktopKind kind, const std::vector<std::string>& outputs, CurrentWallpaper& current) {
    if (outputs.size() < 3) return;
    const std::string picture = StringFromGVariant(FirstLine(outputs[0]));
    current.path = kind == DesktopKind::Mate ? picture : PathFromFileUri(picture);
    // "none" shows the colour alone, whatever the picture key says.
    const std::string option = StringFromGVariant(FirstLine(outputs[1]));
    if (option == "none") current.path.clear();
    SetStyle(option, kGSettingsOptions, current);
    ColourOfHex(StringFromGVariant(FirstLine(outputs[2])), current.colour);
}

bool PrefersDark(const std::string& printed) { return StringFromGVariant(FirstLine(printed)) == "prefer-dark"; }

std::string XfceFirstImageProperty(const std::string& listing) {
    const std::vector<std::string> images = XfceProperties(listing, "/last-image");
    return images.empty() ? std::string() : images.front();
}

std::string XfceStyleProperty(const std::string& imageProperty) {
    const std::string leaf = "/last-image";
    if (!EndsWith(imageProperty, leaf)) return std::string();
    return imageProperty.substr(0, imageProperty.size() - leaf.size()) + "/image-style";
}

void ReadXfce(const std::string& image, const std::string& style, CurrentWallpaper& current) {
    current.path = FirstLine(image);
    const std::string number = FirstLine(style);
    // 0 shows no picture at all.
    if (number == "0") current.path.clear();
    SetStyle(number, kXfceStyles, current);
}

void ReadPlasmaConfig(const std::string& text, CurrentWallpaper& current) {
    bool inImageGroup = false;
    bool found = false;
    std::string image;
    std::string fillMode;
    for (const std::string& raw : Lines(text)) {
        const std::string line = std::string(Trim(raw));
        if (StartsWith(line, "[")) {
            if (found) break;  // the first containment's group is over
            inImageGroup = StartsWith(line, "[Containments][") &&
                           EndsWith(line, "[Wallpaper][org.kde.image][General]");
            continue;
        }
        if (!inImageGroup) continue;
        if (StartsWith(line, "Image=")) {
            image = line.substr(6);
            found = true;
        } else if (StartsWith(line, "FillMode=")) {
            fillMode = line.substr(9);
        }
    }
    if (!found) return;
    current.path = StartsWith(image, "file://") ? PathFromFileUri(image) : image;
    // Qt's fill modes; Plasma crops to cover when none is written.
    static const struct {
        const char* number;
        WallpaperStyle style;
    } kModes[] = {{"0", WallpaperStyle::Stretch}, {"1", WallpaperStyle::Fit}, {"2", WallpaperStyle::Fill},
                  {"3", WallpaperStyle::Tile},    {"6", WallpaperStyle::Center}, {"", WallpaperStyle::Fill}};
    for (const auto& mode : kModes) {
        if (fillMode == mode.number) {
            current.style = mode.style;
            current.styleKnown = true;
        }
    }
}

void ReadSwayConfig(const std::string& text, const std::string& home, CurrentWallpaper& current) {
    bool haveAll = false;
    bool haveNamed = false;
    for (const std::string& line : Lines(text)) {
        const std::vector<std::string> words = Words(std::string(Trim(line)));
        if (words.size() < 4 || words[0] != "output" || (words[2] != "bg" && words[2] != "background")) continue;
        const bool all = words[1] == "*";
        // The line for every output wins over one for a single output; of
        // lines alike, the last one is in force.
        if (!all && (haveAll || haveNamed)) continue;
        (all ? haveAll : haveNamed) = true;
        if (words.size() >= 5 && words[4] == "solid_color") {
            current.path.clear();
            ColourOfHex(words[3], current.colour);
            continue;
        }
        current.path = ExpandHome(words[3], home);
        if (words.size() >= 5) SetStyle(words[4], kSwayModes, current);
        if (words.size() >= 6) ColourOfHex(words[5], current.colour);
    }
}

void ReadFehScript(const std::string& text, CurrentWallpaper& current) {
    for (const std::string& line : Lines(text)) {
        const std::vector<std::string> words = Words(std::string(Trim(line)));
        if (words.empty() || (words[0] != "feh" && !EndsWith(words[0], "/feh"))) continue;
        for (std::size_t i = 1; i < words.size(); ++i) {
            if (StartsWith(words[i], "--bg-")) {
                SetStyle(words[i], kFehOptions, current);
            } else if (!StartsWith(words[i], "-")) {
                current.path = words[i];
            }
        }
    }
}

std::string StringFromGVariant(const std::string& printed) {
    if (printed.size() < 2) return std::string();
    const char quote = printed.front();
    if ((quote != '\'' && quote != '"') || printed.back() != quote) return std::string();
    std::string text;
    for (std::size_t i = 1; i + 1 < printed.size(); ++i) {
        if (printed[i] == '\\' && i + 2 < printed.size()) ++i;
        text += printed[i];
    }
    return text;
}

std::string PathFromFileUri(const std::string& uri) {
    std::string rest;
    if (StartsWith(uri, "file:///")) {
        rest = uri.substr(7);
    } else if (StartsWith(uri, "file://localhost/")) {
        rest = uri.substr(16);
    } else {
        return std::string();
    }
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexDigit(rest[i + 1]) >= 0 && HexDigit(rest[i + 2]) >= 0) {
            path += static_cast<char>(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2]));
            i += 2;
        } else {
            path += rest[i];
        }
    }
    return path;
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
