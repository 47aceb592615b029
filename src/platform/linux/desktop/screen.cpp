#include "platform/linux/desktop/screen.h"

#include <cstdint>
#include <vector>

#include "common/scan.h"

namespace paneloom::platform::lnx {

namespace {

// Reads the decimal number at `at`, moving past it; false when there is none
// or it is out of range.
bool ReadNumber(const std::string& text, std::size_t& at, std::int32_t& value) {
    std::int64_t number = 0;
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 9) {
        number = number * 10 + (text[at] - '0');
        ++at;
    }
    if (at == start) return false;
    value = static_cast<std::int32_t>(number);
    return true;
}

// "WxH" (then anything) at the start of `text`.
ScreenSize SizeAtStart(const std::string& text, const char* separator = "x") {
    ScreenSize size;
    std::size_t at = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!ReadNumber(text, at, width) || text.compare(at, std::string(separator).size(), separator) != 0) return size;
    at += std::string(separator).size();
    if (!ReadNumber(text, at, height)) return size;
    size.width = width;
    size.height = height;
    return size;
}

std::vector<std::string> Blanked(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// JSON text without the blanks outside strings, so that a key and its value
// can be found as one run of characters.
std::string Compact(const std::string& json) {
    std::string out;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            out += c;
            if (c == '\\' && i + 1 < json.size()) {
                out += json[++i];
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
            out += c;
        } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            out += c;
        }
    }
    return out;
}

// The top-level objects of a compact JSON array.
std::vector<std::string> ArrayObjects(const std::string& json) {
    std::vector<std::string> objects;
    int depth = 0;
    bool inString = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (c == '{' && depth == 1) start = i;
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
            if (c == '}' && depth == 1) objects.push_back(json.substr(start, i - start + 1));
        }
    }
    return objects;
}

bool NumberAfter(const std::string& text, const std::string& key, std::int32_t& value) {
    std::size_t at = text.find(key);
    if (at == std::string::npos) return false;
    at += key.size();
    return ReadNumber(text, at, value);
}

}  // namespace

ScreenSize ScreenFromXrandr(const std::string& output) {
    ScreenSize primary;
    ScreenSize first;
    ScreenSize whole;
    for (const std::string& line : SplitLines(output)) {
        const std::vector<std::string> words = Blanked(line);
        if (StartsWith(line, "Screen ")) {
            const std::size_t current = line.find("current ");
            if (current != std::string::npos) whole = SizeAtStart(line.substr(current + 8), " x ");
            continue;
        }
        if (words.size() < 3 || words[1] != "connected") continue;
        const bool isPrimary = words[2] == "primary";
        const std::size_t geometry = isPrimary ? 3 : 2;
        if (geometry >= words.size()) continue;
        // Only an output in use has a geometry ("WxH+X+Y").
        if (words[geometry].find('+') == std::string::npos) continue;
        const ScreenSize size = SizeAtStart(words[geometry]);
        if (!size.Known()) continue;
        if (isPrimary && !primary.Known()) primary = size;
        if (!first.Known()) first = size;
    }
    if (primary.Known()) return primary;
    if (first.Known()) return first;
    return whole;
}

ScreenSize ScreenFromXdpyinfo(const std::string& output) {
    for (const std::string& line : SplitLines(output)) {
        const std::string trimmed = Trim(line);
        if (StartsWith(trimmed, "dimensions:")) return SizeAtStart(Trim(trimmed.substr(11)));
    }
    return ScreenSize();
}

ScreenSize ScreenFromSwayOutputs(const std::string& json) {
    for (const std::string& output : ArrayObjects(Compact(json))) {
        if (output.find("\"focused\":true") == std::string::npos) continue;
        const std::size_t mode = output.find("\"current_mode\":{");
        if (mode == std::string::npos) continue;
        const std::string modeText = output.substr(mode, output.find('}', mode) - mode);
        ScreenSize size;
        if (!NumberAfter(modeText, "\"width\":", size.width) || !NumberAfter(modeText, "\"height\":", size.height)) {
            continue;
        }
        // A turned output shows the mode on its side.
        for (const char* turned : {"\"transform\":\"90\"", "\"transform\":\"270\"", "\"transform\":\"flipped-90\"",
                                   "\"transform\":\"flipped-270\""}) {
            if (output.find(turned) != std::string::npos) std::swap(size.width, size.height);
        }
        return size;
    }
    return ScreenSize();
}

ScreenSize ScreenFromMutterState(const std::string& state) {
    // The logical monitors list each monitor as ('connector', 'vendor', ...)
    // right after their primary flag.
    const std::string marker = "true, [('";
    const std::size_t primary = state.find(marker);
    if (primary == std::string::npos) return ScreenSize();
    const std::size_t nameStart = primary + marker.size();
    const std::size_t nameEnd = state.find('\'', nameStart);
    if (nameEnd == std::string::npos) return ScreenSize();
    const std::string connector = state.substr(nameStart, nameEnd - nameStart);

    // The monitor itself: (('connector', ...), [modes], {properties}); each
    // mode is ('id', width, height, ...) with 'is-current' among its
    // properties.
    const std::size_t monitor = state.find("(('" + connector + "'");
    if (monitor == std::string::npos) return ScreenSize();
    const std::size_t nextMonitor = state.find("(('", monitor + 3);
    const std::size_t end = nextMonitor == std::string::npos ? state.size() : nextMonitor;
    const std::size_t current = state.find("'is-current': <true>", monitor);
    if (current == std::string::npos || current > end) return ScreenSize();
    const std::size_t modeStart = state.rfind("('", current);
    if (modeStart == std::string::npos || modeStart < monitor) return ScreenSize();
    const std::size_t idEnd = state.find("', ", modeStart + 2);
    if (idEnd == std::string::npos) return ScreenSize();
    std::size_t at = idEnd + 3;
    ScreenSize size;
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!ReadNumber(state, at, width) || state.compare(at, 2, ", ") != 0) return ScreenSize();
    at += 2;
    if (!ReadNumber(state, at, height)) return ScreenSize();
    size.width = width;
    size.height = height;
    return size;
}

ScreenSize ScreenFromDrmModes(const std::string& modes) {
    const std::vector<std::string> lines = SplitLines(modes);
    if (lines.empty()) return ScreenSize();
    return SizeAtStart(Trim(lines.front()));
}

}  // namespace paneloom::platform::lnx
