#include "render/wallpaper_record.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "common/scan.h"
#include "platform/files.h"

namespace paneloom {

namespace {

constexpr const char* kFirstLine = "paneloom wallpaper record 1";
// A record is a few lines; a larger file is not one.
constexpr std::uint64_t kMaxRecordBytes = 64 * 1024;

bool ParseUnsigned(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (number > (UINT64_MAX - digit) / 10) return false;
        number = number * 10 + digit;
    }
    value = number;
    return true;
}

bool ParseSigned(const std::string& text, std::int64_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    std::uint64_t magnitude = 0;
    if (!ParseUnsigned(negative ? text.substr(1) : text, magnitude) ||
        magnitude > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

}  // namespace

const char* StyleName(platform::WallpaperStyle style) {
    switch (style) {
        case platform::WallpaperStyle::Tile:
            return "tile";
        case platform::WallpaperStyle::Stretch:
            return "stretch";
        case platform::WallpaperStyle::Fill:
            return "fill";
        case platform::WallpaperStyle::Fit:
            return "fit";
        case platform::WallpaperStyle::Center:
            break;
    }
    return "center";
}

bool StyleOfName(const std::string& name, platform::WallpaperStyle& style) {
    for (platform::WallpaperStyle candidate :
         {platform::WallpaperStyle::Center, platform::WallpaperStyle::Tile, platform::WallpaperStyle::Stretch,
          platform::WallpaperStyle::Fill, platform::WallpaperStyle::Fit}) {
        if (name == StyleName(candidate)) {
            style = candidate;
            return true;
        }
    }
    return false;
}

std::string FormatRecord(const WallpaperRecord& record) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "size=%" PRIu64 "\nmodified=%" PRId64 "\n", record.size, record.modified);
    return std::string(kFirstLine) + "\noriginal=" + record.original + "\n" + numbers + "style=" +
           StyleName(record.style) + "\n";
}

bool ParseRecord(const std::string& text, WallpaperRecord& record) {
    const std::vector<std::string> lines = SplitLines(text);
    if (lines.empty() || lines[0] != kFirstLine) return false;
    WallpaperRecord parsed;
    unsigned seen = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "original" && !value.empty()) {
            parsed.original = value;
            seen |= 1;
        } else if (key == "size" && ParseUnsigned(value, parsed.size)) {
            seen |= 2;
        } else if (key == "modified" && ParseSigned(value, parsed.modified)) {
            seen |= 4;
        } else if (key == "style" && StyleOfName(value, parsed.style)) {
            seen |= 8;
        }
    }
    if (seen != 15) return false;
    record = parsed;
    return true;
}

std::string RecordFileName(const std::string& outputFullPath) {
    // FNV-1a over the path: short, and the same on every run.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : outputFullPath) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "wallpaper-%016" PRIx64 ".txt", hash);
    return name;
}

bool ReadRecordFile(const std::string& path, WallpaperRecord& record) {
    try {
        std::unique_ptr<platform::ReadableFile> file = platform::Get<platform::Files>().OpenForReading(path);
        if (file == nullptr || file->Size() > kMaxRecordBytes) return false;
        std::string text(static_cast<std::size_t>(file->Size()), '\0');
        text.resize(file->Read(&text[0], text.size()));
        return ParseRecord(text, record);
    } catch (const platform::FileError&) {
        return false;
    }
}

bool WriteRecordFile(const std::string& path, const WallpaperRecord& record) {
    // A name with a line break would read back as another record.
    if (record.original.find_first_of("\r\n") != std::string::npos) return false;
    const std::string text = FormatRecord(record);
    try {
        return platform::Get<platform::Files>().ReplaceWhole(path, [&text](platform::FileSink& sink) {
            sink.Write(text.data(), text.size());
            return true;
        }) == platform::ReplaceResult::Replaced;
    } catch (const platform::FileError&) {
        return false;
    }
}

}  // namespace paneloom
