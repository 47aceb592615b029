// The desktop: where the wallpaper and its style are recorded, what it shows
// now, and the screen it shows it on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

// How the wallpaper covers the screen. Fill covers it and crops what falls
// outside; fit shows all of the picture, with bands of the desktop colour.
enum class WallpaperStyle { Center, Tile, Stretch, Fill, Fit };

// What the desktop shows now.
struct CurrentWallpaper {
    std::string path;       // full path of the picture; empty when it shows none
    bool styleKnown = false;
    WallpaperStyle style = WallpaperStyle::Center;
    std::uint32_t colour = 0;  // the desktop's background colour, 0x00BBGGRR
};

// The primary screen in device pixels, not scaled by the display scaling;
// 0 x 0 when no screen is known (no display, a headless session).
struct ScreenSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool Known() const { return width > 0 && height > 0; }
};

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

    // The picture, style and colour the desktop shows now, as the user's
    // desktop settings record them.
    virtual CurrentWallpaper ReadCurrentWallpaper() = 0;

    // The primary screen's size.
    virtual ScreenSize PrimaryScreenSize() = 0;

    // The user's own folder for what the program keeps between runs, made
    // when it is missing; empty when there is none.
    virtual std::string StateDirectory() = 0;
};

template <>
Desktop& RealImpl<Desktop>();

}  // namespace paneloom::platform
