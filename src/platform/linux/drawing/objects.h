// What the opaque drawing handles point at in the Linux build.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics.h"
#include "platform/linux/drawing/dib.h"
#include "platform/linux/text/engine.h"
#include "platform/text_output.h"

namespace paneloom::platform {

struct BitmapObject {
    lnx::Dib dib;
    bool stock = false;  // the 1x1 bitmap every new memory context holds; never deleted
};

struct PaletteObject {
    std::vector<lnx::RgbQuad> entries;
    bool stock = false;  // the default palette; never deleted
};

// A logical font. The engine's font is made the first time text is measured
// or drawn with it, so that making a font only to learn its height, or a
// context that never writes text, costs no font matching.
struct FontObject {
    LogFontRecord record;
    std::shared_ptr<lnx::Font> font;
    bool stock = false;
    // As in GDI, a font deleted while selected into a context lives on until
    // it is deselected.
    int selections = 0;
    bool deletePending = false;
};

namespace lnx {
// The 1x1 monochrome bitmap that a new memory context holds, as in GDI.
BitmapObject* StockBitmap();
// The default palette every new context holds: the 20 static colours.
PaletteObject* StockPalette();
// The font every new context holds: the default face at the default size.
FontObject* StockFont();
// Counts a selection of `font` into a context, or its end; the end deletes a
// font whose deletion was asked for while it was selected.
void RetainFont(FontObject* font);
void ReleaseFont(FontObject* font);
}  // namespace lnx

struct DcObject {
    BitmapObject* selected = nullptr;  // none for the screen's context
    PaletteObject* palette = nullptr;
    // Text attributes, GDI's defaults for a fresh context: the stock font,
    // black text on white, opaque background, no character extra.
    FontObject* font = nullptr;
    lnx::DrawState text;

    DcObject() : font(lnx::StockFont()) { lnx::RetainFont(font); }
    ~DcObject() { lnx::ReleaseFont(font); }
    DcObject(const DcObject&) = delete;
    DcObject& operator=(const DcObject&) = delete;
};

}  // namespace paneloom::platform
