#include "render/wallpaper.h"

#include "platform/desktop.h"

namespace paneloom {

namespace {

// The buffer the full path is formed in holds 260 characters, terminator
// included.
constexpr std::size_t kFullPathCapacity = 260;

}  // namespace

void ApplyWallpaperStyle(std::int32_t backgroundStyle) {
    platform::WallpaperStyle style = platform::WallpaperStyle::Center;
    if (backgroundStyle == 1) {
        style = platform::WallpaperStyle::Tile;
    } else if (backgroundStyle == 2) {
        style = platform::WallpaperStyle::Stretch;
    }
    platform::Get<platform::Desktop>().WriteWallpaperStyle(style);
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
