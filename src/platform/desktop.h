// The desktop: where the wallpaper and its style are recorded.
#pragma once

#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

// How the wallpaper covers the screen.
enum class WallpaperStyle { Center, Tile, Stretch };

class Desktop {
public:
    virtual ~Desktop() = default;

    // Records the style in the user's desktop settings. Nothing happens when
    // the settings cannot be opened; they are never created.
    virtual void WriteWallpaperStyle(WallpaperStyle style) = 0;

    // `path` resolved against the current directory into a full path
    // (GetFullPathNameA); empty when it cannot be resolved.
    virtual std::string FullPathName(const std::string& path) = 0;

    // Hands the file named by a full path to the system as the new
    // wallpaper, stored in the user's settings and announced to running
    // programs. Reports nothing.
    virtual void SetWallpaper(const std::string& fullPath) = 0;
};

template <>
Desktop& RealImpl<Desktop>();

}  // namespace paneloom::platform
