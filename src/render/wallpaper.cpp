#include "render/wallpaper.h"

#include "platform/desktop.h"

namespace paneloom {

namespace {

// The buffer the full path is formed in holds 260 characters, terminator
// included.
constexpr std::size_t kFullPathCapacity = 260;

}  // namespace

platform::WallpaperStyle WallpaperStyleOf(std::int32_t backgroundStyle) {
    switch (backgroundStyle) {
        case 1:
            return platform::WallpaperStyle::Tile;
        case 2:
            return platform::WallpaperStyle::Stretch;
        case 3:
            return platform::WallpaperStyle::Fill;
        case 4:
            return platform::WallpaperStyle::Fit;
        default:
            return platform::WallpaperStyle::Center;
    }
}

void ApplyWallpaperStyle(std::int32_t backgroundStyle) {
    platform::Get<platform::Desktop>().WriteWallpaperStyle(WallpaperStyleOf(backgroundStyle));
}

void SetDesktopWallpaper(const std::string& outputBitmapPath) {
    platform::Desktop& desktop = platform::Get<platform::Desktop>();
    const std::string fullPath = desktop.FullPathName(outputBitmapPath);
    // A path that does not fit the buffer would name some other file, or
    // none: the wallpaper is left as it is.
    if (fullPath.empty() || fullPath.size() >= kFullPathCapacity) return;
    desktop.SetWallpaper(fullPath);
}

}  // namespace paneloom
