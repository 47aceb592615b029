// GDI's font metrics: which numbers of a face file GDI sizes a font by, and
// how it turns a logical font's height and weight into whole pixels, so that
// a layout measured on Windows fits the same way here.
#pragma once

#include <cstdint>
#include <string>

namespace paneloom::platform::lnx {

// Size used when a logical font asks for height 0: 12 points at 96 pixels per
// inch, as an em height.
inline constexpr std::int32_t kDefaultFontHeight = -16;

// Largest em or cell height in pixels that a font is made with, as on
// Windows; larger requests are reduced to it. A glyph too large to keep is
// rasterised straight into the bitmap, only where it lands, and what the
// glyph caches keep is held to kGlyphCacheBytes (glyphs.h): a large size
// costs drawing time, not memory.
inline constexpr std::int32_t kMaxFontPixels = 16384;

inline constexpr int kNormalWeight = 400;

// What GDI reads from a face to size it, in font units: the OS/2 table's
// Windows metrics where the face has them.
struct FaceMetrics {
    std::int64_t unitsPerEm = 0;
    // The Windows cell above and below the baseline (usWinAscent and
    // usWinDescent).
    std::int64_t ascent = 0;
    std::int64_t descent = 0;
    // The face's own weight on the 1 to 1000 scale. Read from the face, not
    // from fontconfig's answer, which reports the weight it was asked for
    // when its configuration decides to embolden.
    int weight = kNormalWeight;
    bool boldStyle = false;
};

// A font's size as GDI makes it, in pixels.
struct FontMetrics {
    std::int32_t em = 0;
    std::int32_t ascent = 0;   // cell top to baseline
    std::int32_t descent = 0;  // baseline to cell bottom
    // The face has no bold of its own and bold was asked for: GDI thickens
    // the outlines and widens each character by a pixel.
    bool syntheticBold = false;
};

// The height a font is made with: the default size for 0, at most
// kMaxFontPixels either way. Equal heights make equal fonts.
std::int64_t MadeHeight(std::int32_t height);

// The weight a font is matched and made with: normal for 0 and below
// (FW_DONTCARE), at most 1000.
int EffectiveWeight(std::int32_t weight);

// The face name as LOGFONTA carries it (up to the first NUL, at most 31
// bytes, whole characters only), in the well-formed UTF-8 that fontconfig
// expects: the program's 8-bit text is UTF-8 whose stray bytes stand for
// their Windows-1252 characters.
std::string RequestedFaceName(const std::string& face);

// A face at a made height: a negative height is the em, and ascent and
// descent are each scaled to it and rounded; a positive height is the cell,
// the Windows ascent plus descent scaled to exactly that height.
FontMetrics SizeFont(const FaceMetrics& face, std::int64_t madeHeight, int weight);

// FreeType's 26.6 fixed-point positions to whole pixels, rounded down or up.
std::int64_t FloorPixels(std::int64_t position);
std::int64_t CeilPixels(std::int64_t position);

// Each character advances by its hinted advance (26.6 pixels) rounded to a
// whole pixel, one more in a simulated bold.
std::int64_t CharacterAdvance(std::int64_t hintedAdvance, bool syntheticBold);

// How far a simulated bold thickens outlines, in 26.6 pixels: 1/24 em, the
// strength GDI's FreeType-based implementations use.
std::int64_t EmboldenStrength(std::int32_t em);

}  // namespace paneloom::platform::lnx
