// Reading the input bitmap at the screen's depth, and writing the finished
// bitmap out as a .bmp file.
#pragma once

#include <string>

#include "platform/gdi.h"

namespace paneloom {

// Reads a .bmp file into a bitmap compatible with the screen, with a palette
// when the file has 256 colours or fewer. 1 on success, 0 when the file
// cannot be read as a bitmap.
int LoadBMPImage(const std::string& path, platform::BitmapHandle& bitmap, platform::PaletteHandle& palette);

// Writes the bitmap as a .bmp file, converting through `palette` (or the
// system's default palette when it is null). 0 when the conversion failed.
int WriteBMPImage(const std::string& path, platform::BitmapHandle bitmap, platform::PaletteHandle palette);

}  // namespace paneloom
