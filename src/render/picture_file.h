// The finished bitmap as a picture to look at: its pixels as RGB, and the
// file a preview writes, PNG or .bmp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "render/bitmap_file.h"

namespace paneloom {

// Pixels as 8-bit red, green and blue, rows top first with no padding.
struct RgbPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgb;
};

// The colours of the rows a conversion delivers, as the .bmp file written
// from it holds them: through its colour table up to 8 bits per pixel,
// through its masks (or 5-5-5 and BGR by default) above. False for a depth
// or a compression the written file never has, or rows the system did not
// deliver.
bool ReadRgbPixels(DibConversion& dib, RgbPicture& picture);

// True when `path` ends in ".png", in any case.
bool NamesPng(const std::string& path);

// Writes the bitmap to `path`: a .bmp file exactly as the run writes its
// output, or, where the name ends in .png, a PNG of the same pixels. False,
// with the reason logged, when the file was not written.
bool WritePicture(const std::string& path, platform::BitmapHandle bitmap, platform::PaletteHandle palette);

}  // namespace paneloom
