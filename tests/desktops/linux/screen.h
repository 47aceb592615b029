// What a desktop shows, read back from its display server, and the picture
// the tests expect to see there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace paneloom::testing {

struct Screen {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB, rows from the top
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// An X window dump as xwd writes it, of a true-colour screen; an empty
// screen when it is not one.
Screen ScreenFromXwd(const std::string& bytes);

// A binary portable pixmap (P6, 8 bits a channel), as grim writes it.
Screen ScreenFromPpm(const std::string& bytes);

// Four solid areas of four colours, split away from the middle: where the
// picture lands, which way up it is and how it is scaled all show.
struct FourColourPicture {
    int width = 40;
    int height = 30;
    int splitX = 10;
    int splitY = 10;
    std::uint32_t At(int x, int y) const;
    std::string Bmp() const;  // 24 bits per pixel, rows stored from the bottom
};

// How `screen` fails to show `picture` the way `mode` ("center", "tile" or
// "stretch") places it; empty when it shows it so. A stretched picture is
// compared away from its areas' edges, where scaling blends colours.
std::string Mismatch(const Screen& screen, const FourColourPicture& picture, const std::string& mode);

}  // namespace paneloom::testing
