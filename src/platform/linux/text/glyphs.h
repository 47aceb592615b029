// The glyphs of one face at one size, loaded and rasterised with FreeType as
// GDI draws them: hinted outlines, thickened for a simulated bold, by glyph
// index, with no kerning of their own.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
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

    Face& FontFace() const { return *face_; }
    bool SyntheticBold() const { return syntheticBold_; }

    // A glyph, loaded on first use. A glyph that cannot be loaded has no
    // outline and no advance.
    const Glyph& Get(FT_UInt index);

    // Draws a glyph in `colour` with its origin at (penX, baseline): only
    // the part of it that lands in the bitmap is rasterised, so a glyph of
    // any size costs memory in proportion to what is visible.
    void Draw(Dib& dib, FT_UInt index, std::int64_t penX, std::int64_t baseline, std::uint32_t colour);

    // The face at this size for HarfBuzz, positions in 26.6 pixels; null
    // when the face has no tables to shape with.
    hb_font_t* ShapingFont();

private:
    GlyphCache(std::shared_ptr<Face> face, FT_Size size, std::int32_t em, bool syntheticBold,
               FT_Pos emboldenStrength);
    // Into the face's glyph slot, at this size.
    bool Load(FT_UInt index);
    // The glyph just loaded, into its coverage mask.
    void RenderMask(Glyph& glyph);

    std::shared_ptr<Face> face_;
    FT_Size size_;
    std::int32_t em_;
    bool syntheticBold_;
    FT_Pos emboldenStrength_;  // 26.6 pixels
    std::unordered_map<FT_UInt, Glyph> glyphs_;
    hb_font_t* shaping_ = nullptr;
};

}  // namespace paneloom::platform::lnx
