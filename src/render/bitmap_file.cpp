#include "render/bitmap_file.h"

namespace paneloom {

// Placeholders until bitmap reading and writing land.
int LoadBMPImage(const std::string&, platform::BitmapHandle&, platform::PaletteHandle&) { return 0; }

int WriteBMPImage(const std::string&, platform::BitmapHandle, platform::PaletteHandle) { return 0; }

}  // namespace paneloom
