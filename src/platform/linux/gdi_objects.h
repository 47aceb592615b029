// What the opaque drawing handles point at in the Linux build.
#pragma once

#include <vector>

#include "platform/gdi.h"
#include "platform/linux/dib.h"

namespace paneloom::platform {

struct BitmapObject {
    lnx::Dib dib;
    bool stock = false;  // the 1x1 bitmap every new memory context holds; never deleted
};

struct PaletteObject {
    std::vector<lnx::RgbQuad> entries;
    bool stock = false;  // the default palette; never deleted
};

struct DcObject {
    BitmapObject* selected = nullptr;
    PaletteObject* palette = nullptr;
};

namespace lnx {
// The 1x1 monochrome bitmap that a new memory context holds, as in GDI.
BitmapObject* StockBitmap();
// The default palette every new context holds: the 20 static colours.
PaletteObject* StockPalette();
}  // namespace lnx

}  // namespace paneloom::platform
