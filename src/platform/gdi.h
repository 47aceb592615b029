// Bitmaps and device contexts: the drawing objects the run holds.
//
// Handles are opaque. On Windows they are the GDI handles themselves; on
// Linux they point at our own objects (see linux/gdi_objects.h).
#pragma once

#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

struct BitmapObject;
struct DcObject;
struct PaletteObject;
using BitmapHandle = BitmapObject*;
using DcHandle = DcObject*;
using PaletteHandle = PaletteObject*;

class Graphics {
public:
    virtual ~Graphics() = default;

    // Loads a .bmp file as a device-independent section at the file's own
    // depth (LoadImageA with LR_LOADFROMFILE | LR_CREATEDIBSECTION |
    // LR_DEFAULTSIZE); null when the file cannot be loaded.
    virtual BitmapHandle LoadBitmapFile(const std::string& path) = 0;

    // A memory device context compatible with the screen; null on failure.
    virtual DcHandle CreateScreenCompatibleDC() = 0;

    // Selects a bitmap into a memory context and returns the one it replaces
    // (null when the selection failed).
    virtual BitmapHandle SelectBitmap(DcHandle dc, BitmapHandle bitmap) = 0;

    virtual void DeleteDC(DcHandle dc) = 0;
    virtual void DeleteBitmap(BitmapHandle bitmap) = 0;
    virtual void DeletePalette(PaletteHandle palette) = 0;
};

template <>
Graphics& RealImpl<Graphics>();

}  // namespace paneloom::platform
