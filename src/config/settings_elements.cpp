#include "config/settings_elements.h"

#include "log/error_log.h"
#include "codepage/ansi_text.h"
#include "common/scan.h"
#include "config/markup.h"
#include "platform/files.h"

namespace paneloom {

namespace {

// Looks up a child tag and lower-cases all of it, so that attribute names and
// keyword values are matched whatever their case, while the tag name itself
// (searched in the untouched content) stays case-sensitive.
bool FindLoweredTag(const std::string& content, const char* name, std::string& tag) {
    if (!FindTag(content, name, tag)) return false;
    ToLowerAnsi(tag);
    return true;
}

// The `name` of a child tag that names a file. The attribute is found by the
// same scan over the lower-cased tag as any other; the name comes out
// lower-cased only where the file system ignores case, since elsewhere that
// names another file (and a byte-wise lower-casing can break a UTF-8 name).
void ReadFileName(const std::string& content, const char* tagName, std::string& path) {
    std::string tag;
    if (!FindTag(content, tagName, tag)) return;
    if (platform::Get<platform::Files>().NamesIgnoreCase()) {
        ToLowerAnsi(tag);
        GetAttribute(tag, "name", path);
        return;
    }
    // Lower-casing the ASCII letters alone moves no byte, so the value lies
    // at the same place in the tag as written.
    const std::string lowered = LowerAscii(tag);
    std::int32_t from = 0;
    std::int32_t count = 0;
    if (FindAttributeValue(lowered, "name", from, count)) {
        path = tag.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
    }
}

// Reads red, green and blue in a chain; the colour is set only when all three
// are readable.
void ReadColour(const std::string& tag, std::uint32_t& colour) {
    std::int32_t red = 0, green = 0, blue = 0;
    if (GetIntAttribute(tag, "red", red) && GetIntAttribute(tag, "green", green) &&
        GetIntAttribute(tag, "blue", blue)) {
        colour = PackColour(red, green, blue);
    }
}

}  // namespace

std::uint32_t PackColour(std::int32_t red, std::int32_t green, std::int32_t blue) {
    return ((static_cast<std::uint32_t>(blue) & 0xFF) << 16) |
           ((static_cast<std::uint32_t>(green) & 0xFF) << 8) | (static_cast<std::uint32_t>(red) & 0xFF);
}

void ParseGlobalSettings(const std::string& content, RunSettings& settings) {
    try {
        std::string tag;
        settings.useScreenDepth = FindTag(content, "usescreendepth", tag);

        if (FindLoweredTag(content, "backgroundstyle", tag)) {
            std::string value;
            GetAttribute(tag, "value", value);
            if (value == "center") settings.backgroundStyle = 0;
            else if (value == "tile") settings.backgroundStyle = 1;
            else if (value == "stretch") settings.backgroundStyle = 2;
            else if (value == "fill") settings.backgroundStyle = 3;
            else if (value == "fit") settings.backgroundStyle = 4;
        }
        ReadFileName(content, "inputbmp", settings.inputBitmapPath);
        if (FindLoweredTag(content, "inputbmp", tag)) {
            std::string value;
            settings.inputNamed = GetAttribute(tag, "name", value);
            value.clear();
            GetAttribute(tag, "wallpaper", value);
            if (value == "current") settings.inputCurrentWallpaper = true;
            value.clear();
            GetAttribute(tag, "size", value);
            if (value == "screen") settings.inputAtScreenSize = true;
        }
        ReadFileName(content, "outputbmp", settings.outputBitmapPath);
    } catch (...) {
        LogError("Error parsing global settings\n");
    }
}

void ParseTextSettings(const std::string& content, RunSettings& settings) {
    try {
        std::string tag;

        if (FindLoweredTag(content, "textalign", tag)) {
            std::string value;
            GetAttribute(tag, "value", value);
            if (value == "left") settings.textAlign = 0;
            else if (value == "center") settings.textAlign = 1;
            else if (value == "right") settings.textAlign = 2;
        }
        if (FindLoweredTag(content, "textstart", tag)) {
            // "x" is first found inside the tag name itself, so the value read
            // is that of the first attribute written: x must come before y.
            GetIntAttribute(tag, "x", settings.textStartX);
            GetIntAttribute(tag, "y", settings.textStartY);
        }
        if (FindLoweredTag(content, "backgroundcolor", tag)) {
            ReadColour(tag, settings.backgroundColor);
            GetIntAttribute(tag, "transparent", settings.transparent);
        }
        if (FindLoweredTag(content, "textcolor", tag)) ReadColour(tag, settings.textColor);
        if (FindLoweredTag(content, "font", tag)) {
            GetIntAttribute(tag, "weight", settings.fontWeight);
            GetIntAttribute(tag, "extra", settings.fontExtra);
            GetIntAttribute(tag, "points", settings.fontPoints);
            GetAttribute(tag, "face", settings.fontFace);
        }
        ReadFileName(content, "executable", settings.executablePath);
    } catch (...) {
        LogError("Error parsing text settings\n");
    }
}

}  // namespace paneloom
