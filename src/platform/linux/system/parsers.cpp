#include "platform/linux/system/parsers.h"

#include <limits>

#include "common/scan.h"

namespace paneloom::platform::lnx {

namespace {

constexpr std::uint32_t kMax32 = std::numeric_limits<std::uint32_t>::max();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits from `position` as a number held at the 32-bit maximum;
// `position` ends after the digits. False when there is no digit. Unlike
// ParseSigned this reads the number at the start of a longer text ("6" of
// "6.1.0-18") and saturates, because a kernel's numbers are read for show.
bool ReadNumber(const std::string& text, std::size_t& position, std::uint32_t& number) {
    const std::size_t start = position;
    std::uint64_t value = 0;
    while (position < text.size() && IsDigit(text[position])) {
        value = value * 10 + static_cast<std::uint64_t>(text[position] - '0');
        if (value > kMax32) value = kMax32;
        ++position;
    }
    number = static_cast<std::uint32_t>(value);
    return position > start;
}

// The clock text of /proc/cpuinfo ("2993.218"), rounded to whole MHz.
bool ParseMHz(const std::string& text, std::uint32_t& mhz) {
    std::size_t position = 0;
    std::uint32_t whole = 0;
    if (!ReadNumber(text, position, whole)) return false;
    if (position + 1 < text.size() && text[position] == '.' && IsDigit(text[position + 1]) &&
        text[position + 1] >= '5' && whole < kMax32) {
        ++whole;
    }
    mhz = whole;
    return true;
}

}  // namespace

CpuInfo ParseCpuInfo(const std::string& text) {
    // Name keys in order of preference: x86 and most others say "model
    // name"; older ARM kernels "Processor"; MIPS "cpu model".
    static const char* const kNameKeys[] = {"model name", "Processor", "cpu model"};
    constexpr std::size_t kNameKeyCount = sizeof kNameKeys / sizeof kNameKeys[0];
    bool found[kNameKeyCount] = {};
    std::string names[kNameKeyCount];
    CpuInfo info;
    for (const std::string& line : SplitLines(text)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = Trim(std::string_view(line).substr(0, colon));
        const std::string value = Trim(std::string_view(line).substr(colon + 1));
        for (std::size_t i = 0; i < kNameKeyCount; ++i) {
            if (!found[i] && key == kNameKeys[i]) {
                found[i] = true;
                names[i] = value;
            }
        }
        if (!info.hasClock && key == "cpu MHz") info.hasClock = ParseMHz(value, info.clockMHz);
    }
    for (std::size_t i = 0; i < kNameKeyCount; ++i) {
        if (found[i]) {
            info.hasName = true;
            info.name = names[i];
            break;
        }
    }
    return info;
}

bool OsReleaseValue(const std::string& text, const std::string& key, std::string& value) {
    bool assigned = false;
    for (const std::string& line : SplitLines(text)) {
        std::size_t begin = 0;
        const std::size_t end = line.size();
        while (begin < end && IsBlank(line[begin])) ++begin;
        if (end - begin <= key.size() || line.compare(begin, key.size(), key) != 0 ||
            line[begin + key.size()] != '=') {
            continue;
        }
        // Shell word rules, as the file is meant to be sourced by a shell:
        // double quotes with \" \\ \$ \` escapes, single quotes taken as they
        // stand, a backslash outside quotes escaping the next character, and
        // the word ending at the first blank outside quotes. A quote left
        // open runs to the end of the line.
        std::string word;
        std::size_t i = begin + key.size() + 1;
        while (i < end) {
            const char c = line[i];
            if (c == '"') {
                ++i;
                while (i < end && line[i] != '"') {
                    if (line[i] == '\\' && i + 1 < end &&
                        (line[i + 1] == '"' || line[i + 1] == '\\' || line[i + 1] == '$' || line[i + 1] == '`')) {
                        ++i;
                    }
                    word.push_back(line[i]);
                    ++i;
                }
                ++i;
            } else if (c == '\'') {
                ++i;
                while (i < end && line[i] != '\'') word.push_back(line[i++]);
                ++i;
            } else if (c == '\\') {
                if (i + 1 < end) word.push_back(line[i + 1]);
                i += 2;
            } else if (IsBlank(c)) {
                break;
            } else {
                word.push_back(c);
                ++i;
            }
        }
        value = word;
        assigned = true;
    }
    return assigned;
}

std::string OsReleaseSystemName(const std::string& text) {
    std::string pretty;
    if (OsReleaseValue(text, "PRETTY_NAME", pretty) && !pretty.empty()) return pretty;
    std::string name;
    if (!OsReleaseValue(text, "NAME", name) || name.empty()) name = "Linux";
    std::string version;
    if (OsReleaseValue(text, "VERSION", version) && !version.empty()) name += " " + version;
    return name;
}

void ParseKernelRelease(const std::string& release, std::uint32_t& major, std::uint32_t& minor) {
    major = 0;
    minor = 0;
    std::size_t position = 0;
    if (!ReadNumber(release, position, major)) return;
    if (position < release.size() && release[position] == '.') {
        ++position;
        ReadNumber(release, position, minor);
    }
}

std::uint32_t KernelBuildNumber(const std::string& version) {
    std::size_t hash = version.find('#');
    while (hash != std::string::npos) {
        std::size_t position = hash + 1;
        std::uint32_t number = 0;
        if (ReadNumber(version, position, number)) return number;
        hash = version.find('#', hash + 1);
    }
    return 0;
}

std::vector<MountEntry> ParseMountTable(const std::string& text) {
    std::vector<MountEntry> entries;
    for (const std::string& line : SplitLines(text)) {
        const std::size_t end = line.size();
        std::string fields[3];
        std::size_t count = 0;
        std::size_t i = 0;
        while (i < end && count < 3) {
            while (i < end && (line[i] == ' ' || line[i] == '\t')) ++i;
            if (i >= end) break;
            std::string& field = fields[count++];
            while (i < end && line[i] != ' ' && line[i] != '\t') {
                // The kernel writes blanks, tabs, line feeds and backslashes
                // in names as three octal digits after a backslash.
                if (line[i] == '\\' && end - i >= 4 && line[i + 1] >= '0' && line[i + 1] <= '3' &&
                    line[i + 2] >= '0' && line[i + 2] <= '7' && line[i + 3] >= '0' && line[i + 3] <= '7') {
                    field.push_back(static_cast<char>(((line[i + 1] - '0') << 6) | ((line[i + 2] - '0') << 3) |
                                                      (line[i + 3] - '0')));
                    i += 4;
                } else {
                    field.push_back(line[i++]);
                }
            }
        }
        if (count < 3) continue;
        entries.push_back(MountEntry{fields[0], fields[1], fields[2]});
    }
    return entries;
}

std::vector<LogicalDrive> AssignDriveLetters(const std::vector<MountEntry>& mounts) {
    std::vector<LogicalDrive> drives;
    drives.push_back(LogicalDrive{'C', "/"});
    // A device mounted again elsewhere (a bind mount, another subvolume) is
    // the same file system: it keeps the letter it already has.
    std::vector<std::string> devices;
    MountEntry root;
    if (FindMount(mounts, "/", root)) devices.push_back(root.source);
    for (const MountEntry& mount : mounts) {
        if (drives.back().letter == 'Z') break;
        if (mount.mountPoint.empty() || mount.mountPoint[0] != '/') continue;
        if (!StartsWith(mount.source, "/dev/") || mount.source.size() == 5) continue;
        if (mount.fileSystem == "squashfs") continue;
        bool taken = false;
        for (const LogicalDrive& drive : drives) taken = taken || drive.root == mount.mountPoint;
        for (const std::string& device : devices) taken = taken || device == mount.source;
        if (taken) continue;
        devices.push_back(mount.source);
        drives.push_back(LogicalDrive{static_cast<char>(drives.back().letter + 1), mount.mountPoint});
    }
    return drives;
}

bool FindMount(const std::vector<MountEntry>& mounts, const std::string& mountPoint, MountEntry& entry) {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (it->mountPoint == mountPoint) {
            entry = *it;
            return true;
        }
    }
    return false;
}

std::uint32_t SerialFromUuid(const std::string& uuid) {
    std::string digits;
    for (char c : uuid) {
        if (c == '-') continue;
        if (HexDigitValue(c) < 0) return 0;
        digits.push_back(c);
    }
    if (digits.size() < 8) return 0;
    const std::size_t start = digits.size() == 16 ? 8 : 0;
    std::uint32_t serial = 0;
    for (std::size_t i = start; i < start + 8; ++i) {
        serial = (serial << 4) | static_cast<std::uint32_t>(HexDigitValue(digits[i]));
    }
    return serial;
}

std::string DecodeUdevName(const std::string& name) {
    std::string decoded;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && HexDigitValue(name[i + 2]) >= 0 &&
            HexDigitValue(name[i + 3]) >= 0) {
            decoded.push_back(static_cast<char>((HexDigitValue(name[i + 2]) << 4) | HexDigitValue(name[i + 3])));
            i += 3;
        } else {
            decoded.push_back(name[i]);
        }
    }
    return decoded;
}

}  // namespace paneloom::platform::lnx
