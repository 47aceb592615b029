#include "platform/linux/text/face_memo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/scan.h"
#include "platform/linux/files/file_reader.h"

namespace paneloom::platform::lnx {

namespace {

constexpr const char* kFirstLine = "paneloom face answers 1";

// A memo holds a few faces and a hundred paths; anything far larger was
// not written by us.
constexpr off_t kLargestMemo = off_t{1} << 18;

// What fontconfig's answers depend on in the environment: where the
// user's configuration and fonts are, and the language it prefers faces for.
constexpr const char* kSteeringVariables[] = {"HOME",   "XDG_CONFIG_HOME", "XDG_DATA_HOME", "FC_LANG",
                                              "LC_ALL", "LC_CTYPE",        "LANG"};

std::string Value(const VariableReader& variable, const char* name) {
    const char* value = variable(name);
    return value != nullptr ? value : "";
}

std::string AbsoluteOr(const VariableReader& variable, const char* name, const std::string& fallback) {
    const std::string value = Value(variable, name);
    return !value.empty() && value[0] == '/' ? value : fallback;
}

// Fields are separated by tabs and records by line breaks; a text holding
// either cannot be kept (and is never a real path or face name anyway).
bool Plain(const std::string& text) { return text.find_first_of("\t\n\r") == std::string::npos; }

std::string EnvironmentLine(const VariableReader& variable) {
    std::string line = "env";
    for (const char* name : kSteeringVariables) line += "\t" + Value(variable, name);
    return line;
}

// What a path is now: its identity, size and times, or "-" when there is
// nothing there. Links are followed, as fontconfig follows them.
std::string Signature(const std::string& path) {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0) return "-";
    char text[160];
    std::snprintf(text, sizeof text, "%llu:%llu:%lld:%lld.%09ld:%lld.%09ld", static_cast<unsigned long long>(facts.st_dev),
                  static_cast<unsigned long long>(facts.st_ino), static_cast<long long>(facts.st_size),
                  static_cast<long long>(facts.st_mtim.tv_sec), facts.st_mtim.tv_nsec,
                  static_cast<long long>(facts.st_ctim.tv_sec), facts.st_ctim.tv_nsec);
    return text;
}

void AddAll(FcStrList* list, std::vector<std::string>& paths) {
    if (list == nullptr) return;
    while (FcChar8* path = FcStrListNext(list)) paths.emplace_back(reinterpret_cast<const char*>(path));
    FcStrListDone(list);
}

// Every path whose change could change an answer.
std::vector<std::string> WatchedPaths(FcConfig* config, const VariableReader& variable) {
    std::vector<std::string> paths;
    AddAll(FcConfigGetConfigFiles(config), paths);
    AddAll(FcConfigGetConfigDirs(config), paths);
    AddAll(FcConfigGetFontDirs(config), paths);
    // Where a configuration that is not there yet would be picked up from:
    // making one makes these, or changes the folder it is made in. (The
    // home and ~/.config themselves change with every other program.)
    const std::string home = Value(variable, "HOME");
    const std::string configHome = AbsoluteOr(variable, "XDG_CONFIG_HOME", home.empty() ? "" : home + "/.config");
    paths.insert(paths.end(), {"/etc/fonts", "/etc/fonts/conf.d", "/etc/fonts/local.conf"});
    if (!configHome.empty()) {
        paths.insert(paths.end(),
                     {configHome + "/fontconfig", configHome + "/fontconfig/fonts.conf", configHome + "/fontconfig/conf.d"});
    }
    if (!home.empty()) paths.insert(paths.end(), {home + "/.fonts.conf", home + "/.fonts.conf.d"});
    return paths;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// A folder only this user can change: otherwise another user could swap
// the memo for one naming a file of theirs.
bool OwnFolder(const std::string& folder) {
    struct stat facts {};
    return ::lstat(folder.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode) && facts.st_uid == ::geteuid() &&
           (facts.st_mode & 022) == 0;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

bool ReadOwnFile(const std::string& path, std::string& text) {
    struct stat facts {};
    const int fd = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, facts);
    if (fd < 0) return false;
    bool ok = facts.st_uid == ::geteuid() && (facts.st_mode & 022) == 0 && facts.st_size <= kLargestMemo;
    if (ok) {
        text.resize(static_cast<std::size_t>(facts.st_size));
        std::size_t got = 0;
        ok = ReadUpTo(fd, &text[0], text.size(), got) && got == text.size();
    }
    ::close(fd);
    return ok;
}

// Makes the memo's folder and the cache folder above it, private, when
// missing: the cache may hold what a user's reports name.
bool MakeFolder(const std::string& folder) {
    if (OwnFolder(folder)) return true;
    const std::string parent = FolderOf(folder);
    if (!parent.empty()) ::mkdir(parent.c_str(), 0700);
    return ::mkdir(folder.c_str(), 0700) == 0 && OwnFolder(folder);
}

}  // namespace

std::string FaceMemoPath(const VariableReader& variable) {
    for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT"})
        if (!Value(variable, name).empty()) return std::string();
    for (const char* name : kSteeringVariables)
        if (!Plain(Value(variable, name))) return std::string();
    const std::string home = Value(variable, "HOME");
    const std::string cache = AbsoluteOr(variable, "XDG_CACHE_HOME", home.empty() || home[0] != '/' ? "" : home + "/.cache");
    return cache.empty() ? std::string() : cache + "/paneloom/faces";
}

FaceAnswers ReadFaceMemo(const std::string& path, const VariableReader& variable) {
    FaceAnswers answers;
    std::string text;
    if (path.empty() || !OwnFolder(FolderOf(path)) || !ReadOwnFile(path, text)) return answers;
    // Every record ends its line: a last line without one was cut short.
    if (text.empty() || text.back() != '\n') return answers;
    const std::vector<std::string> lines = SplitLines(text);
    if (lines.size() < 2 || lines[0] != kFirstLine || lines[1] != EnvironmentLine(variable)) return answers;
    for (std::size_t number = 2; number < lines.size(); ++number) {
        const std::vector<std::string> fields = Split(lines[number]);
        if (fields[0] == "path" && fields.size() == 3) {
            if (Signature(fields[2]) != fields[1]) return {};
        } else if (fields[0] == "face" && fields.size() == 6) {
            FaceMatch match;
            match.found = true;
            match.index = std::atoi(fields[3].c_str());
            match.file = fields[4];
            match.family = fields[5];
            answers[{fields[1], std::atoi(fields[2].c_str())}] = match;
        } else {
            return {};
        }
    }
    return answers;
}

bool WriteFaceMemo(const std::string& path, FcConfig* config, const FaceAnswers& answers,
                   const VariableReader& variable) {
    const std::string folder = FolderOf(path);
    if (path.empty() || config == nullptr || folder.empty()) return false;
    std::string text = std::string(kFirstLine) + "\n" + EnvironmentLine(variable) + "\n";
    for (const std::string& watched : WatchedPaths(config, variable)) {
        if (!Plain(watched)) return false;
        text += "path\t" + Signature(watched) + "\t" + watched + "\n";
    }
    for (const auto& [key, match] : answers) {
        if (!match.found || !Plain(key.first) || !Plain(match.file) || !Plain(match.family)) continue;
        text += "face\t" + key.first + "\t" + std::to_string(key.second) + "\t" + std::to_string(match.index) + "\t" +
                match.file + "\t" + match.family + "\n";
    }
    if (!MakeFolder(folder)) return false;
    std::string temporary = folder + "/.faces-XXXXXX";
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, text.data(), text.size());
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace paneloom::platform::lnx
