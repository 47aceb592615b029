// The glyphs of one face at one size, loaded and rasterised with FreeType as
// GDI draws them: hinted outlines, thickened for a simulated bold, by glyph
// index, with no kerning of their own.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/linux/drawing/dib.h"
#include "platform/linux/text/faces.h"

namespace paneloom::platform::lnx {

// What the glyph caches of one engine may hold together, in bytes: about
// what their glyphs' metrics take, plus their kept coverage masks. Enough
// for thousands of glyphs of ordinary text at every size a run uses.
inline constexpr std::size_t kGlyphCacheBytes = std::size_t{8} << 20;

struct Glyph {
    bool hasOutline = false;
    std::int32_t advance = 0;  // whole pixels
    // Pixels the outline can touch, relative to the pen position and the
    // baseline, y pointing up; the maxima are exclusive.
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    // The coverage of the box, top row first, rendered the first time the
    // glyph lands on a bitmap; only for small boxes (see kMaskPixels in
    // glyphs.cpp).
    bool maskTried = false;
    bool masked = false;
    std::vector<std::uint8_t> mask;
};

class GlyphCache;

// The memory that glyph caches share: each glyph loaded counts about what
// its entry takes, each coverage mask its bytes. When more would not fit,
// every cache sharing the budget drops all it holds, and glyphs are loaded
// again as they are next needed; so what they hold never passes the
// capacity, however much text is measured. Masks are made only for glyphs
// that land on a bitmap. Not for use from several threads.
class GlyphBudget {
public:
    explicit GlyphBudget(std::size_t capacity) : capacity_(capacity) {}
    GlyphBudget(const GlyphBudget&) = delete;
    GlyphBudget& operator=(const GlyphBudget&) = delete;

    std::size_t Capacity() const { return capacity_; }
    std::size_t Used() const { return used_; }
    // Glyph outlines rasterised so far, into a mask or onto a bitmap.
    std::uint64_t Rasterised() const { return rasterised_; }

private:
    friend class GlyphCache;
    // Room for `bytes` more: when they would not fit, every cache drops
    // its glyphs.
    void MakeRoom(std::size_t bytes);

    std::size_t capacity_;
    std::size_t used_ = 0;
    std::uint64_t rasterised_ = 0;
    std::vector<GlyphCache*> caches_;
};

class GlyphCache {
public:
    // The face sized to `em` pixels, its glyphs counted against `budget`;
    // null when FreeType cannot size it.
    static std::unique_ptr<GlyphCache> Make(std::shared_ptr<Face> face, std::int32_t em, bool syntheticBold,
                                            std::shared_ptr<GlyphBudget> budget);
    ~GlyphCache();
    GlyphCache(const GlyphCache&) = delete;
    GlyphCache& operator=(const GlyphCache&) = delete;

    Face& FontFace() const { return *face_; }
    bool SyntheticBold() const { return syntheticBold_; }

    // A glyph's metrics, loaded on first use; nothing is rasterised. A
    // glyph that cannot be loaded has no outline and no advance. The
    // reference holds until the next call on any cache of the same budget.
    const Glyph& Get(FT_UInt index);

    // Draws a glyph in `colour` with its origin at (penX, baseline). Only a
    // glyph that lands in the bitmap is rasterised: a small one once, into
    // the mask it keeps; a larger one each time, straight into the bitmap and
    // only where it lands, so a glyph of any size costs memory in proportion
    // to what is visible.
    void Draw(Dib& dib, FT_UInt index, std::int64_t penX, std::int64_t baseline, std::uint32_t colour);

    // The face at this size for HarfBuzz, positions in 26.6 pixels; null
    // when the face has no tables to shape with.
    hb_font_t* ShapingFont(const ShapingLibrary& hb);

private:
    friend class GlyphBudget;
    GlyphCache(std::shared_ptr<Face> face, FT_Size size, std::int32_t em, bool syntheticBold,
               FT_Pos emboldenStrength, std::shared_ptr<GlyphBudget> budget);
    // The glyph's entry, its metrics loaded on first use.
    Glyph& Entry(FT_UInt index);
    // Into the face's glyph slot, at this size.
    bool Load(FT_UInt index);
    // The glyph just loaded, into its coverage mask.
    void RenderMask(Glyph& glyph);
    // Lets go of every glyph.
    void Drop();

    std::shared_ptr<Face> face_;
    FT_Size size_;
    std::int32_t em_;
    bool syntheticBold_;
    FT_Pos emboldenStrength_;  // 26.6 pixels
    std::unordered_map<FT_UInt, Glyph> glyphs_;
    std::shared_ptr<GlyphBudget> budget_;
    std::size_t bytes_ = 0;  // of the budget, held here
    hb_font_t* shaping_ = nullptr;
    const ShapingLibrary* shapingLibrary_ = nullptr;  // that made shaping_
};

}  // namespace paneloom::platform::lnx
