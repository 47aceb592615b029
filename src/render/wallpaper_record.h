// What the program keeps between runs about the user's own wallpaper: the
// picture an output was first made from, so that a run while the desktop
// shows that output composes from the user's picture again, never from its
// own output, and in the style the user had chosen.
#pragma once

#include <cstdint>
#include <string>

#include "platform/desktop.h"

namespace paneloom {

struct WallpaperRecord {
    std::string original;  // full path of the user's picture
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    platform::WallpaperStyle style = platform::WallpaperStyle::Center;

    bool operator==(const WallpaperRecord& other) const {
        return original == other.original && size == other.size && modified == other.modified &&
               style == other.style;
    }
    bool operator!=(const WallpaperRecord& other) const { return !(*this == other); }
};

// The record's text: a first line that names the format, then one
// "key=value" line per field.
std::string FormatRecord(const WallpaperRecord& record);

// False, with `record` untouched, for a text that is not a whole record.
bool ParseRecord(const std::string& text, WallpaperRecord& record);

// The record's file name for one output (its full path), so that each
// configuration's output keeps its own.
std::string RecordFileName(const std::string& outputFullPath);

// The style's name in a record, and back; false for a name of none.
const char* StyleName(platform::WallpaperStyle style);
bool StyleOfName(const std::string& name, platform::WallpaperStyle& style);

// The record at `path` through the file seam; false when there is none or
// it cannot be read.
bool ReadRecordFile(const std::string& path, WallpaperRecord& record);

// Replaces the record at `path` whole; false when it could not be written.
bool WriteRecordFile(const std::string& path, const WallpaperRecord& record);

}  // namespace paneloom
