// The glyphs of one face at one size, loaded and rasterised with FreeType as
// GDI draws them: hinted outlines, thickened for a simulated bold, one glyph
// per byte with no kerning.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/linux/drawing/dib.h"
#include "platform/linux/text/faces.h"

namespace paneloom::platform::lnx {

struct Glyph {
    bool hasOutline = false;
    std::int32_t advance = 0;  // whole pixels
    // Pixels the outline can touch, relative to the pen position and the
    // baseline, y pointing up; the maxima are exclusive.
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    // The coverage of the box, top row first, once rendered; only for small
    // boxes (see kMaskPixels in glyphs.cpp).
    bool masked = false;
    std::vector<std::uint8_t> mask;
};

class GlyphCache {
public:
    // The face sized to `em` pixels; null when FreeType cannot size it.
    static std::unique_ptr<GlyphCache> Make(std::shared_ptr<Face> face, std::int32_t em, bool syntheticBold);
    ~GlyphCache();
    GlyphCache(const GlyphCache&) = delete;
    GlyphCache& operator=(const GlyphCache&) = delete;

    // The glyph of a text byte, loaded on first use. A byte whose glyph
    // cannot be loaded has no outline and no advance.
    const Glyph& Get(unsigned char byte);

    // Draws the glyph of `byte` in `colour` with its origin at
    // (penX, baseline): only the part of it that lands in the bitmap.
    void Draw(Dib& dib, unsigned char byte, std::int64_t penX, std::int64_t baseline, std::uint32_t colour);

private:
    GlyphCache(std::shared_ptr<Face> face, FT_Size size, bool syntheticBold, FT_Pos emboldenStrength);
    // Into the face's glyph slot, at this size.
    bool Load(unsigned char byte);
    // The glyph just loaded, into its coverage mask.
    void RenderMask(Glyph& glyph);

    std::shared_ptr<Face> face_;
    FT_Size size_;
    bool syntheticBold_;
    FT_Pos emboldenStrength_;  // 26.6 pixels
    std::array<bool, 256> loaded_{};
    std::array<Glyph, 256> glyphs_{};
};

}  // namespace paneloom::platform::lnx
