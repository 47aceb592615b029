#include "render/wallpaper.h"

namespace paneloom {

// Placeholders until wallpaper application lands.
void ApplyWallpaperStyle(std::int32_t) {}

void SetDesktopWallpaper(const std::string&) {}

}  // namespace paneloom
