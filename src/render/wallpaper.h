// Making the output bitmap the desktop wallpaper.
#pragma once

#include <cstdint>
#include <string>

#include "platform/desktop.h"

namespace paneloom {

// The style a backgroundStyle value stands for (0 center, 1 tile, 2 stretch,
// 3 fill, 4 fit); any other value centres.
platform::WallpaperStyle WallpaperStyleOf(std::int32_t backgroundStyle);

// Writes the wallpaper style (as WallpaperStyleOf says) into the user's
// desktop settings. Reports nothing.
void ApplyWallpaperStyle(std::int32_t backgroundStyle);

// Hands the full path of the bitmap file to the system as the new wallpaper.
// A full path that does not fit 259 characters leaves the wallpaper as it
// is. Reports nothing.
void SetDesktopWallpaper(const std::string& outputBitmapPath);

}  // namespace paneloom
