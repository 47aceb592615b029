#include "platform/linux/text/engine.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <sys/stat.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "common/utf8.h"
#include "platform/linux/text/font_mapper.h"
#include "platform/linux/white_dib.h"

namespace {

using paneloom::platform::lnx::BackgroundMode;
using paneloom::platform::lnx::Cp1252ToUnicode;
using paneloom::platform::lnx::Dib;
using paneloom::platform::lnx::DrawState;
using paneloom::platform::lnx::Font;
using paneloom::platform::lnx::FontMapper;
using paneloom::platform::lnx::kMaxFontPixels;
using paneloom::platform::lnx::RgbQuad;
using paneloom::platform::lnx::TextEngine;
using paneloom::testing::Box;
using paneloom::testing::InkBox;
using paneloom::testing::kBlack;
using paneloom::testing::kBlue;
using paneloom::testing::kGreen;
using paneloom::testing::kRed;
using paneloom::testing::kWhite;
using paneloom::testing::WhiteDib;

TextEngine& Engine() { return TextEngine::Instance(); }

std::shared_ptr<Font> MakeFont(std::int32_t height, std::int32_t weight, const std::string& face) {
    return Engine().CreateFont({height, weight, face});
}

std::string Basename(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

DrawState Transparent(std::uint32_t textColor) {
    DrawState state;
    state.textColor = textColor;
    state.backgroundMode = BackgroundMode::kTransparent;
    return state;
}

// The Windows metrics of a face file, read independently of the engine.
struct WinMetrics {
    long unitsPerEm = 0;
    long winAscent = 0;
    long winDescent = 0;
};

WinMetrics ReadWinMetrics(const Font& font) {
    WinMetrics m;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return m;
    FT_Face face = nullptr;
    if (FT_New_Face(library, font.File().c_str(), font.FaceIndex(), &face) == 0) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        m.unitsPerEm = face->units_per_EM;
        if (os2 != nullptr) {
            m.winAscent = os2->usWinAscent;
            m.winDescent = os2->usWinDescent;
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return m;
}

// The hinted advance of one code point at a pixel size, read independently.
long HintedAdvance(const Font& font, FT_ULong codePoint) {
    long advance = -1;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return advance;
    FT_Face face = nullptr;
    if (FT_New_Face(library, font.File().c_str(), font.FaceIndex(), &face) == 0) {
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font.EmPixels())) == 0 &&
            FT_Load_Char(face, codePoint, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) == 0)
            advance = (face->glyph->advance.x + 32) >> 6;
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return advance;
}

// ---------------------------------------------------------------------------
// Face matching

TEST(TextEngineFaceMatching, ArialMapsToLiberationSansWhateverTheCase) {
    for (const char* face : {"Arial", "arial", "ARIAL"}) {
        SCOPED_TRACE(face);
        const auto font = MakeFont(-16, 400, face);
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(Basename(font->File()), "LiberationSans-Regular.ttf");
        EXPECT_EQ(font->Family(), "Liberation Sans");
        EXPECT_FALSE(font->SyntheticBold());
    }
}

TEST(TextEngineFaceMatching, UnknownAndEmptyFacesFallBackToAnInstalledFace) {
    for (const char* face : {"No Such Face Paneloom 4711", ""}) {
        SCOPED_TRACE(face);
        const auto font = MakeFont(-16, 400, face);
        ASSERT_NE(font, nullptr);
        struct stat st {};
        EXPECT_EQ(stat(font->File().c_str(), &st), 0) << font->File();
        EXPECT_FALSE(font->Family().empty());
        EXPECT_GT(Engine().Measure(*font, "Hello", 0).cx, 0);
    }
}

TEST(TextEngineFaceMatching, WeightSelectsTheRegularOrBoldFace) {
    for (const std::int32_t weight : {0, 100, 400, 500}) {
        SCOPED_TRACE(weight);
        const auto font = MakeFont(-16, weight, "Arial");
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(Basename(font->File()), "LiberationSans-Regular.ttf");
    }
    for (const std::int32_t weight : {600, 700, 1000, 5000}) {
        SCOPED_TRACE(weight);
        const auto font = MakeFont(-16, weight, "Arial");
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(Basename(font->File()), "LiberationSans-Bold.ttf");
        EXPECT_FALSE(font->SyntheticBold());  // a real bold face needs no help
    }
}

TEST(TextEngineFaceMatching, BoldIsSynthesisedWhenTheFamilyHasNoBoldFace) {
    // DejaVu ships this family in one regular face only.
    const auto regular = MakeFont(-16, 400, "DejaVu Math TeX Gyre");
    const auto bold = MakeFont(-16, 700, "DejaVu Math TeX Gyre");
    ASSERT_NE(regular, nullptr);
    ASSERT_NE(bold, nullptr);
    if (regular->Family() != "DejaVu Math TeX Gyre") GTEST_SKIP() << "face not installed";
    EXPECT_EQ(bold->File(), regular->File());
    EXPECT_FALSE(regular->SyntheticBold());
    EXPECT_TRUE(bold->SyntheticBold());

    // One more pixel per character, and heavier strokes.
    EXPECT_EQ(Engine().Measure(*bold, "abc", 0).cx, Engine().Measure(*regular, "abc", 0).cx + 3);
    Dib thin = WhiteDib(40, 80, 32);
    Dib thick = WhiteDib(40, 80, 32);
    Engine().Draw(thin, *regular, 2, 0, "l", Transparent(kBlack));
    Engine().Draw(thick, *bold, 2, 0, "l", Transparent(kBlack));
    EXPECT_GT(InkBox(thick, kWhite).count, InkBox(thin, kWhite).count);
}

TEST(TextEngineFaceMatching, FaceNameIsCutTo31BytesAndReadAsWindows1252) {
    const std::string longFace = "Arial" + std::string(40, 'x');
    const auto cut = MakeFont(-16, 400, longFace);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->RequestedFace(), longFace.substr(0, 31));

    const auto accented = MakeFont(-16, 400, "Caf\xE9");
    ASSERT_NE(accented, nullptr);
    EXPECT_EQ(accented->RequestedFace(), "Caf\xC3\xA9");

    // As in a LOGFONTA, the name ends at the first NUL.
    const auto terminated = MakeFont(-16, 400, std::string("Arial\0Junk", 10));
    ASSERT_NE(terminated, nullptr);
    EXPECT_EQ(terminated->RequestedFace(), "Arial");
    EXPECT_EQ(Basename(terminated->File()), "LiberationSans-Regular.ttf");
}

// ---------------------------------------------------------------------------
// Metrics

TEST(TextEngineMetrics, NegativeHeightIsTheEmAndTheCellComesFromWindowsMetrics) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const WinMetrics m = ReadWinMetrics(*font);
    ASSERT_GT(m.unitsPerEm, 0);
    ASSERT_GT(m.winAscent + m.winDescent, 0);

    // Ascent and descent are each scaled to the em and rounded.
    const long ascent = (2 * m.winAscent * 16 + m.unitsPerEm) / (2 * m.unitsPerEm);
    const long descent = (2 * m.winDescent * 16 + m.unitsPerEm) / (2 * m.unitsPerEm);
    EXPECT_EQ(font->EmPixels(), 16);
    EXPECT_EQ(font->Ascent(), ascent);
    EXPECT_EQ(font->Descent(), descent);
    EXPECT_EQ(font->CellHeight(), ascent + descent);
    EXPECT_EQ(Engine().Ascent(*font), ascent);
    EXPECT_EQ(Engine().CellHeight(*font), ascent + descent);
    // Liberation Sans: 1854 and 434 of 2048 units give 14.48 and 3.39.
    if (m.unitsPerEm == 2048 && m.winAscent == 1854 && m.winDescent == 434) {
        EXPECT_EQ(font->Ascent(), 14);
        EXPECT_EQ(font->Descent(), 3);
    }
}

TEST(TextEngineMetrics, PositiveHeightIsTheCellHeight) {
    for (const std::int32_t height : {10, 16, 20, 33}) {
        SCOPED_TRACE(height);
        const auto font = MakeFont(height, 400, "Arial");
        ASSERT_NE(font, nullptr);
        const WinMetrics m = ReadWinMetrics(*font);
        const long units = m.winAscent + m.winDescent;
        EXPECT_EQ(font->CellHeight(), height);
        EXPECT_EQ(font->Ascent() + font->Descent(), height);
        EXPECT_EQ(font->EmPixels(), (2 * m.unitsPerEm * height + units) / (2 * units));
        EXPECT_EQ(Engine().Measure(*font, "x", 0).cy, height);
    }
}

TEST(TextEngineMetrics, ZeroHeightIsTwelvePointsAtNinetySixDpi) {
    const auto byDefault = MakeFont(0, 400, "Arial");
    const auto explicitly = MakeFont(-16, 400, "Arial");
    ASSERT_NE(byDefault, nullptr);
    ASSERT_NE(explicitly, nullptr);
    EXPECT_EQ(byDefault->EmPixels(), 16);
    EXPECT_EQ(byDefault->CellHeight(), explicitly->CellHeight());
    EXPECT_EQ(Engine().Measure(*byDefault, "Hello", 0).cx, Engine().Measure(*explicitly, "Hello", 0).cx);
}

TEST(TextEngineMetrics, HugeHeightsAreCapped) {
    const std::int32_t heights[] = {-100000, 100000, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max()};
    for (const std::int32_t height : heights) {
        SCOPED_TRACE(height);
        const auto font = MakeFont(height, 400, "Arial");
        ASSERT_NE(font, nullptr);
        EXPECT_GT(font->EmPixels(), 0);
        EXPECT_LE(font->EmPixels(), kMaxFontPixels);
        const auto extent = Engine().Measure(*font, "W", 0);
        EXPECT_GT(extent.cx, 0);
        EXPECT_LE(extent.cx, 2 * kMaxFontPixels);
    }
    EXPECT_EQ(MakeFont(-100000, 400, "Arial")->EmPixels(), kMaxFontPixels);
    EXPECT_EQ(MakeFont(100000, 400, "Arial")->CellHeight(), kMaxFontPixels);
}

// ---------------------------------------------------------------------------
// Measuring

TEST(TextEngineMeasure, ExtentIsTheSumOfAdvancesPlusExtraPerCharacter) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const auto base = Engine().Measure(*font, "Hello", 0);
    EXPECT_GT(base.cx, 0);
    EXPECT_EQ(base.cy, font->CellHeight());
    EXPECT_EQ(Engine().Measure(*font, "Hello", 2).cx, base.cx + 10);
    EXPECT_EQ(Engine().Measure(*font, "Hello", -1).cx, base.cx - 5);

    const auto empty = Engine().Measure(*font, "", 5);
    EXPECT_EQ(empty.cx, 0);
    EXPECT_EQ(empty.cy, font->CellHeight());

    // No kerning: a pair measures as its two characters apart.
    EXPECT_EQ(Engine().Measure(*font, "AV", 0).cx,
              Engine().Measure(*font, "A", 0).cx + Engine().Measure(*font, "V", 0).cx);
    // Whole pixels per character: the sum of the single characters.
    std::int32_t sum = 0;
    for (const char c : std::string("Hello")) sum += Engine().Measure(*font, std::string(1, c), 0).cx;
    EXPECT_EQ(base.cx, sum);
}

TEST(TextEngineMeasure, BytesAreReadAsWindows1252) {
    EXPECT_EQ(Cp1252ToUnicode('A'), U'A');
    EXPECT_EQ(Cp1252ToUnicode(0x80), U'\u20AC');
    EXPECT_EQ(Cp1252ToUnicode(0x8C), U'\u0152');
    EXPECT_EQ(Cp1252ToUnicode(0x97), U'\u2014');
    EXPECT_EQ(Cp1252ToUnicode(0x9F), U'\u0178');
    EXPECT_EQ(Cp1252ToUnicode(0x81), U'\u0081');  // undefined: kept as the C1 control
    EXPECT_EQ(Cp1252ToUnicode(0xE9), U'\u00E9');
    EXPECT_EQ(Cp1252ToUnicode(0xFF), U'\u00FF');

    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(Engine().Measure(*font, "\x97", 0).cx, HintedAdvance(*font, 0x2014));  // em dash
    EXPECT_EQ(Engine().Measure(*font, "\x80", 0).cx, HintedAdvance(*font, 0x20AC));  // euro sign
}

TEST(TextEngineMeasure, ExtentSaturatesInsteadOfOverflowing) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::int32_t max = std::numeric_limits<std::int32_t>::max();
    const std::int32_t min = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(Engine().Measure(*font, "HHHH", max).cx, max);
    EXPECT_EQ(Engine().Measure(*font, "HHHH", min).cx, min);
}

// ---------------------------------------------------------------------------
// Drawing

TEST(TextEngineDraw, GlyphsLandInTheCellAndSitOnTheBaseline) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    Dib dib = WhiteDib(64, 32, 32);
    Engine().Draw(dib, *font, 0, 0, "H", Transparent(kRed));
    const auto extent = Engine().Measure(*font, "H", 0);

    int exact = 0;
    for (std::int32_t y = 0; y < dib.height; ++y) {
        for (std::int32_t x = 0; x < dib.width; ++x) {
            const std::uint32_t c = dib.GetPixel(x, y);
            if (x >= extent.cx || y >= extent.cy) {
                EXPECT_EQ(c, kWhite) << x << "," << y;
            } else if (c == kRed) {
                ++exact;
            }
        }
    }
    EXPECT_GT(exact, 10);
    // H has no descender: its lowest row is the one just above the baseline.
    EXPECT_EQ(InkBox(dib, kWhite).bottom, font->Ascent() - 1);
}

TEST(TextEngineDraw, EdgesAreBlendedAboveEightBitsPerPixel) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    Dib dib = WhiteDib(32, 24, 32);
    Engine().Draw(dib, *font, 0, 0, "O", Transparent(kRed));
    int partial = 0;
    for (std::int32_t y = 0; y < dib.height; ++y) {
        for (std::int32_t x = 0; x < dib.width; ++x) {
            const std::uint32_t c = dib.GetPixel(x, y);
            if (c == kWhite || c == kRed) continue;
            ++partial;
            // Between white and red: full red, equal green and blue.
            EXPECT_EQ(c & 0xFF, 0xFFu);
            EXPECT_EQ((c >> 8) & 0xFF, (c >> 16) & 0xFF);
        }
    }
    EXPECT_GT(partial, 0);
}

TEST(TextEngineDraw, PositionShiftsTheImageByThatManyPixels) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    Dib origin = WhiteDib(48, 24, 32);
    Engine().Draw(origin, *font, 0, 0, "Hg", Transparent(kBlack));
    for (const auto& [dx, dy] : {std::pair{7, 5}, std::pair{-3, -4}, std::pair{-9, 2}}) {
        SCOPED_TRACE(std::to_string(dx) + "," + std::to_string(dy));
        Dib moved = WhiteDib(48, 24, 32);
        Engine().Draw(moved, *font, dx, dy, "Hg", Transparent(kBlack));
        for (std::int32_t y = 0; y < moved.height; ++y) {
            for (std::int32_t x = 0; x < moved.width; ++x) {
                const std::int32_t sx = x - dx;
                const std::int32_t sy = y - dy;
                const bool inside = sx >= 0 && sy >= 0 && sx < origin.width && sy < origin.height;
                ASSERT_EQ(moved.GetPixel(x, y), inside ? origin.GetPixel(sx, sy) : kWhite) << x << "," << y;
            }
        }
    }
}

TEST(TextEngineDraw, OpaqueModeFillsExactlyTheCell) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    for (const std::int32_t extra : {0, 3}) {
        SCOPED_TRACE(extra);
        Dib dib = WhiteDib(80, 40, 32);
        DrawState state;
        state.textColor = kBlue;
        state.bkColor = kGreen;
        state.backgroundMode = BackgroundMode::kOpaque;
        state.charExtra = extra;
        Engine().Draw(dib, *font, 5, 7, "Hi", state);
        const auto extent = Engine().Measure(*font, "Hi", extra);
        EXPECT_EQ(extent.cx, Engine().Measure(*font, "Hi", 0).cx + 2 * extra);

        const Box box = InkBox(dib, kWhite);
        EXPECT_EQ(box.left, 5);
        EXPECT_EQ(box.top, 7);
        EXPECT_EQ(box.right, 5 + extent.cx - 1);
        EXPECT_EQ(box.bottom, 7 + extent.cy - 1);
        EXPECT_EQ(box.count, extent.cx * extent.cy);  // no white hole inside the cell
        EXPECT_EQ(dib.GetPixel(5, 7), kGreen);
        int glyphPixels = 0;  // drawn over the background
        for (std::int32_t y = box.top; y <= box.bottom; ++y)
            for (std::int32_t x = box.left; x <= box.right; ++x) glyphPixels += dib.GetPixel(x, y) != kGreen;
        EXPECT_GT(glyphPixels, 10);
    }
}

TEST(TextEngineDraw, TransparentModeLeavesTheBackground) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    Dib dib = WhiteDib(40, 24, 32);
    DrawState state = Transparent(kBlue);
    state.bkColor = kGreen;
    Engine().Draw(dib, *font, 0, 0, "Hi", state);
    EXPECT_EQ(dib.GetPixel(0, 0), kWhite);
    for (std::int32_t y = 0; y < dib.height; ++y)
        for (std::int32_t x = 0; x < dib.width; ++x) EXPECT_NE(dib.GetPixel(x, y), kGreen);
}

TEST(TextEngineDraw, PaletteBitmapsGetOnlyPaletteColoursAtTheHalfCoverageThreshold) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    // Reference: black on white at 32 bits; a pixel at least half covered
    // comes out at 127 or darker.
    Dib reference = WhiteDib(48, 24, 32);
    Engine().Draw(reference, *font, 2, 2, "Hg@", Transparent(kBlack));

    for (const std::uint16_t bpp : {1, 4, 8}) {
        SCOPED_TRACE(bpp);
        Dib dib = WhiteDib(48, 24, bpp);
        // Red is nearer black than white in the two-colour palette.
        Engine().Draw(dib, *font, 2, 2, "Hg@", Transparent(kRed));
        int dark = 0;
        for (std::int32_t y = 0; y < dib.height; ++y) {
            for (std::int32_t x = 0; x < dib.width; ++x) {
                const std::uint32_t c = dib.GetPixel(x, y);
                ASSERT_TRUE(c == kBlack || c == kWhite) << x << "," << y;
                const bool halfCovered = (reference.GetPixel(x, y) & 0xFF) <= 127;
                EXPECT_EQ(c == kBlack, halfCovered) << x << "," << y;
                dark += c == kBlack;
            }
        }
        EXPECT_GT(dark, 10);
        if (bpp == 8) {
            for (const std::uint8_t index : dib.bits) EXPECT_LT(index, 2);
        }

        // An opaque background takes the nearest palette colour too.
        Dib filled;
        ASSERT_TRUE(filled.Allocate(48, 24, bpp));  // all index 0: black
        filled.palette = {RgbQuad{0, 0, 0, 0}, RgbQuad{200, 200, 200, 0}};
        DrawState state;
        state.textColor = kBlack;
        state.bkColor = 0xF0F0F0;
        Engine().Draw(filled, *font, 0, 0, "H", state);
        EXPECT_EQ(filled.GetPixel(0, 0), 0xC8C8C8u);
        EXPECT_EQ(filled.GetPixel(47, 23), kBlack);
    }
}

TEST(TextEngineDraw, OtherTrueColourDepthsAreDrawn) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    Dib reference = WhiteDib(40, 24, 32);
    Engine().Draw(reference, *font, 1, 1, "Hg", Transparent(kRed));
    Dib rgb = WhiteDib(40, 24, 24);
    Engine().Draw(rgb, *font, 1, 1, "Hg", Transparent(kRed));
    Dib words = WhiteDib(40, 24, 16);
    Engine().Draw(words, *font, 1, 1, "Hg", Transparent(kRed));
    const auto extent = Engine().Measure(*font, "Hg", 0);
    int red = 0;
    for (std::int32_t y = 0; y < reference.height; ++y) {
        for (std::int32_t x = 0; x < reference.width; ++x) {
            EXPECT_EQ(rgb.GetPixel(x, y), reference.GetPixel(x, y));
            const bool inCell = x >= 1 && y >= 1 && x < 1 + extent.cx && y < 1 + extent.cy;
            if (!inCell) {
                EXPECT_EQ(words.GetPixel(x, y), kWhite);
            }
            red += words.GetPixel(x, y) == kRed;
        }
    }
    EXPECT_GT(red, 10);
}

TEST(TextEngineDraw, TextOutsideTheBitmapIsClipped) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::int32_t max = std::numeric_limits<std::int32_t>::max();
    const std::int32_t min = std::numeric_limits<std::int32_t>::min();
    DrawState state;
    state.bkColor = kGreen;
    state.textColor = kBlue;
    for (const auto& [x, y] : {std::pair{-1000, -1000}, std::pair{1000, 0}, std::pair{0, 1000}, std::pair{max, max},
                              std::pair{min, min}, std::pair{max - 3, 0}, std::pair{0, min}, std::pair{-200, 2}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        Dib dib = WhiteDib(32, 16, 32);
        Engine().Draw(dib, *font, x, y, "Hello", state);
        EXPECT_EQ(InkBox(dib, kWhite).count, 0);
    }
    // Partly outside: only the visible part is drawn.
    Dib dib = WhiteDib(32, 16, 32);
    Engine().Draw(dib, *font, -10, -5, "Hello", state);
    const Box box = InkBox(dib, kWhite);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_GT(box.count, 0);
}

TEST(TextEngineDraw, HugeFontsAndStringsStayBounded) {
    const auto huge = MakeFont(-100000, 400, "Arial");
    ASSERT_NE(huge, nullptr);
    Dib dib = WhiteDib(64, 64, 32);
    DrawState state;
    state.bkColor = kGreen;
    state.textColor = kBlue;
    Engine().Draw(dib, *huge, -500, -1500, "W", state);
    // The cell of the largest font covers the whole bitmap.
    EXPECT_EQ(InkBox(dib, kWhite).count, dib.width * dib.height);


    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    state.charExtra = std::numeric_limits<std::int32_t>::max();
    Dib strip = WhiteDib(64, 20, 32);
    Engine().Draw(strip, *font, 0, 0, std::string(10000, 'W'), state);
    EXPECT_EQ(strip.GetPixel(63, 0), kGreen);  // the cell runs off the right edge
}

// ---------------------------------------------------------------------------
// Scripts: UTF-8 text, faces per character, shaping and direction

// Ink of a drawing, as a set of columns: the leftmost and the rightmost one.
struct Columns {
    std::int32_t left = -1;
    std::int32_t right = -1;
};

Columns InkColumns(const Dib& dib) {
    const Box box = InkBox(dib, kWhite);
    return box.count == 0 ? Columns{} : Columns{box.left, box.right};
}

// A font of the face that has every character of `text`, or a failure that
// names the package to install.
void ExpectDrawable(const Font& font, const std::string& text, const char* package) {
    Dib dib = WhiteDib(4 * font.EmPixels() * static_cast<std::int32_t>(text.size()), 2 * font.CellHeight(), 32);
    Engine().Draw(dib, font, 0, 0, text, Transparent(kBlack));
    ASSERT_GT(InkBox(dib, kWhite).count, 0) << "no face draws this text; install " << package;
}

TEST(TextEngineScripts, Utf8AndEightBitBytesOfLatin1TextDrawTheSamePicture) {
    const auto font = MakeFont(-21, 600, "Arial");
    ASSERT_NE(font, nullptr);
    const std::string utf8 = "B\xC3\xBCro \xE2\x80\x93 Stra\xC3\x9F" "e \xE2\x82\xAC\xC3\xBF \xC3\x89t\xC3\xA9";
    const std::string eightBit = "B\xFCro \x96 Stra\xDF" "e \x80\xFF \xC9t\xE9";
    DrawState state = Transparent(kBlue);
    state.charExtra = 2;
    Dib fromUtf8 = WhiteDib(400, 30, 32);
    Dib fromEightBit = WhiteDib(400, 30, 32);
    Engine().Draw(fromUtf8, *font, 3, 2, utf8, state);
    Engine().Draw(fromEightBit, *font, 3, 2, eightBit, state);
    ASSERT_GT(InkBox(fromUtf8, kWhite).count, 100);
    EXPECT_EQ(fromUtf8.bits, fromEightBit.bits);
    EXPECT_EQ(Engine().Measure(*font, utf8, 2).cx, Engine().Measure(*font, eightBit, 2).cx);
    // One character, one advance: ü is not drawn as the two bytes' letters.
    EXPECT_EQ(Engine().Measure(*font, "\xC3\xBC", 0).cx, HintedAdvance(*font, 0xFC));
}

TEST(TextEngineScripts, ANarrowCyrillicLetterIsOneNarrowGlyph) {
    const auto font = MakeFont(-32, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::int32_t ghe = Engine().Measure(*font, "\xD0\xB3", 0).cx;  // г
    EXPECT_EQ(ghe, HintedAdvance(*font, 0x433));
    // Its two bytes read as Windows-1252 letters would be "Ð³".
    EXPECT_LT(ghe, Engine().Measure(*font, "\xC3\x90\xC2\xB3", 0).cx);
    EXPECT_LT(ghe, font->EmPixels() * 3 / 4);
}

TEST(TextEngineScripts, AHanCharacterComesFromAnotherFaceAdvancingAboutOneEmInTheSameCell) {
    const auto font = MakeFont(-32, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::string han = "\xE4\xB8\xAD";  // 中
    ExpectDrawable(*font, han, "fonts-wqy-microhei");
    const auto extent = Engine().Measure(*font, han, 0);
    EXPECT_NEAR(extent.cx, font->EmPixels(), 2);
    EXPECT_EQ(extent.cy, font->CellHeight());
    // Its glyph, not the missing-glyph box of Arial's face: a private-use
    // character that no face has is drawn as that box.
    Dib drawn = WhiteDib(64, 48, 32);
    Dib missing = WhiteDib(64, 48, 32);
    Engine().Draw(drawn, *font, 0, 0, han, Transparent(kBlack));
    Engine().Draw(missing, *font, 0, 0, "\xEF\x80\x80", Transparent(kBlack));  // U+F000
    EXPECT_NE(drawn.bits, missing.bits);
    EXPECT_GE(InkBox(drawn, kWhite).left, 0);
    EXPECT_LT(InkBox(drawn, kWhite).right, extent.cx);
}

TEST(TextEngineScripts, ThreeJoinedArabicLettersAreNarrowerThanThreeIsolatedOnes) {
    const auto font = MakeFont(-32, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::string beh = "\xD8\xA8";  // ب
    ExpectDrawable(*font, beh, "fonts-dejavu-core");
    const std::int32_t isolated = Engine().Measure(*font, beh, 0).cx;
    const std::int32_t joined = Engine().Measure(*font, beh + beh + beh, 0).cx;
    EXPECT_GT(joined, 0);
    EXPECT_LT(joined, 3 * isolated - 3);
    // The extra follows each letter, joined or not.
    EXPECT_EQ(Engine().Measure(*font, beh + beh + beh, 5).cx, joined + 15);
}

TEST(TextEngineScripts, ARightToLeftRunIsDrawnRightToLeft) {
    const auto font = MakeFont(-32, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::string vav = "\xD7\x95";  // ו, narrow
    const std::string shin = "\xD7\xA9";  // ש, wide
    ExpectDrawable(*font, vav + shin, "fonts-liberation2");
    const std::int32_t shinWidth = Engine().Measure(*font, shin, 0).cx;
    Dib word = WhiteDib(120, 48, 32);
    Dib shinAlone = WhiteDib(120, 48, 32);
    Dib vavAlone = WhiteDib(120, 48, 32);
    // Vav comes first in the text, so it stands on the right.
    Engine().Draw(word, *font, 10, 0, vav + shin, Transparent(kBlack));
    Engine().Draw(shinAlone, *font, 10, 0, shin, Transparent(kBlack));
    Engine().Draw(vavAlone, *font, 10 + shinWidth, 0, vav, Transparent(kBlack));
    EXPECT_NEAR(InkColumns(word).left, InkColumns(shinAlone).left, 1);
    EXPECT_NEAR(InkColumns(word).right, InkColumns(vavAlone).right, 1);

    // In a left-to-right line the Latin text keeps its place before it.
    const std::int32_t latin = Engine().Measure(*font, "ab ", 0).cx;
    Dib line = WhiteDib(160, 48, 32);
    Engine().Draw(line, *font, 10, 0, "ab " + vav + shin, Transparent(kBlack));
    EXPECT_NEAR(InkColumns(line).right, InkColumns(vavAlone).right + latin, 1);
}

// Where HarfBuzz or FriBidi cannot be opened, every line is laid out as
// Latin text is: character by character, left to right, each glyph at its
// own advance. Latin text draws exactly as with the libraries.
TEST(TextEngineScripts, WithoutTheShapingLibrariesLinesAreLaidOutCharacterByCharacter) {
    TextEngine plain(paneloom::platform::lnx::NoShaping);
    const auto shapedFont = MakeFont(-32, 400, "Arial");
    const auto plainFont = plain.CreateFont({-32, 400, "Arial"});
    ASSERT_NE(shapedFont, nullptr);
    ASSERT_NE(plainFont, nullptr);
    const std::string beh = "\xD8\xA8";   // ب, joins both ways
    const std::string vav = "\xD7\x95";   // ו, narrow
    const std::string shin = "\xD7\xA9";  // ש, wide
    ExpectDrawable(*shapedFont, beh + vav + shin, "fonts-dejavu-core and fonts-liberation2");

    struct Case {
        const char* what;
        std::string text;
        bool sameAsShaped;
    };
    const Case cases[] = {
        {"Latin", "Hello, World 1.0", true},
        {"Latin with a combining mark", "Cafe\xCC\x81", true},
        {"Arabic letters stay apart", beh + beh + beh, false},
        {"Hebrew stays in logical order", vav + shin, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::int32_t sum = 0;
        for (std::size_t i = 0; i < c.text.size();) {
            const auto character = paneloom::DecodeCharacter(c.text, i);
            sum += plain.Measure(*plainFont, c.text.substr(i, character.length), 0).cx;
            i += character.length;
        }
        EXPECT_EQ(plain.Measure(*plainFont, c.text, 0).cx, sum);

        Dib shaped = WhiteDib(200, 48, 32);
        Dib unshaped = WhiteDib(200, 48, 32);
        Engine().Draw(shaped, *shapedFont, 10, 0, c.text, Transparent(kBlack));
        plain.Draw(unshaped, *plainFont, 10, 0, c.text, Transparent(kBlack));
        EXPECT_GT(InkBox(unshaped, kWhite).count, 0);
        EXPECT_EQ(shaped.bits == unshaped.bits, c.sameAsShaped);
    }

    // The first letter of the text stands on the left.
    Dib word = WhiteDib(120, 48, 32);
    Dib vavAlone = WhiteDib(120, 48, 32);
    plain.Draw(word, *plainFont, 10, 0, vav + shin, Transparent(kBlack));
    plain.Draw(vavAlone, *plainFont, 10, 0, vav, Transparent(kBlack));
    EXPECT_EQ(InkColumns(word).left, InkColumns(vavAlone).left);
}

TEST(TextEngineScripts, MixedScriptsAreMeasuredAsTheyAreDrawn) {
    const auto font = MakeFont(-21, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::string text = "PC \xD0\x9A\xD0\xBE\xD0\xBC \xE4\xB8\xAD\xE6\x96\x87 \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 "
                             "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D 42";
    for (const std::int32_t extra : {0, 3, -1}) {
        SCOPED_TRACE(extra);
        DrawState state;
        state.bkColor = kGreen;
        state.textColor = kBlue;
        state.charExtra = extra;
        Dib dib = WhiteDib(400, 40, 32);
        Engine().Draw(dib, *font, 7, 5, text, state);
        const auto extent = Engine().Measure(*font, text, extra);
        const Box box = InkBox(dib, kWhite);
        EXPECT_EQ(box.left, 7);
        EXPECT_EQ(box.right, 7 + extent.cx - 1);
        // Glyphs of other faces may reach below the cell, as in GDI.
        EXPECT_GE(box.bottom, 5 + font->CellHeight() - 1);
    }
}

TEST(TextEngineScripts, StrayMarksControlsAndBrokenBytesAreDrawnWithoutHarm) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::string texts[] = {
        "\xCC\x81" "a\xCC\x81",                      // a mark first, then after a letter
        "\xE2\x80\xAE" "abc\xE2\x80\xAC \xD7\x90",    // bidirectional overrides
        "\xD9\x84\xE2\x80\x8D\xE2\x80\x8C\xD8\xA7",   // lam, joiners, alef
        "\xE0\xA4\x95\xE0\xA5\x8D\xE0\xA4\xB7",       // a Devanagari conjunct
        "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF \xED\xA0\x80 \xC3 \xE2\x82",  // emoji, the last code point, broken bytes
        std::string("\0\x01\x7F\xC2\x81", 5),
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        DrawState state;
        state.bkColor = kGreen;
        Dib dib = WhiteDib(200, 24, 32);
        Engine().Draw(dib, *font, 2, 1, text, state);
        const auto extent = Engine().Measure(*font, text, 0);
        EXPECT_GE(extent.cx, 0);
        if (extent.cx > 0) {
            EXPECT_EQ(InkBox(dib, kWhite).right, 2 + extent.cx - 1);
        }
    }
}

// ---------------------------------------------------------------------------
// Hostile text: what it costs is bounded by what plain text costs

std::string Utf8(char32_t code, std::size_t count = 1) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) paneloom::AppendUtf8(text, code);
    return text;
}

TEST(TextEngineHostileText, MarksBeyondThirtyAfterALetterAreLeftOut) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    struct Case {
        const char* what;
        std::string before;  // the letter the marks follow, if any
        char32_t mark;
        std::string after;
    };
    const Case cases[] = {
        {"Latin acute", "a", 0x0301, "b"},
        {"Arabic shadda", Utf8(0x0628), 0x0651, Utf8(0x0628)},
        {"Devanagari vowel sign, class 0", Utf8(0x0915), 0x0941, Utf8(0x0915)},
        {"no letter before", "", 0x0301, "b"},
        {"joiners", Utf8(0x0644), 0x200D, Utf8(0x0627)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto text = [&](std::size_t marks) { return c.before + Utf8(c.mark, marks) + c.after; };
        // With an extra after every character laid out, the width counts
        // them where each is laid out alone; shaped ones get it per cluster.
        for (const std::int32_t extra : {0, 1}) {
            SCOPED_TRACE(extra);
            const std::int32_t thirty = Engine().Measure(*font, text(30), extra).cx;
            EXPECT_EQ(Engine().Measure(*font, text(31), extra).cx, thirty);
            EXPECT_EQ(Engine().Measure(*font, text(70000), extra).cx, thirty);
        }
        Dib thirty = WhiteDib(160, 40, 32);
        Dib many = WhiteDib(160, 40, 32);
        Engine().Draw(thirty, *font, 4, 10, text(30), Transparent(kBlack));
        Engine().Draw(many, *font, 4, 10, text(70000), Transparent(kBlack));
        EXPECT_GT(InkBox(many, kWhite).count, 0);
        EXPECT_TRUE(many.bits == thirty.bits) << "the marks beyond thirty were drawn";
    }
    // Up to thirty, every mark is laid out: each one more widens the
    // measure by its extra.
    EXPECT_EQ(Engine().Measure(*font, "a" + Utf8(0x0301, 30), 1).cx,
              Engine().Measure(*font, "a" + Utf8(0x0301, 29), 1).cx + 1);
    // Marks after each letter are counted afresh.
    const std::string twice = "a" + Utf8(0x0301, 30) + "a" + Utf8(0x0301, 30);
    EXPECT_EQ(Engine().Measure(*font, twice, 1).cx, 2 * Engine().Measure(*font, "a" + Utf8(0x0301, 30), 1).cx);
}

TEST(TextEngineHostileText, ALongRightToLeftRunIsShapedInPiecesThatKeepTheirOrder) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    const std::string shalom = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";  // שלום
    ExpectDrawable(*font, shalom, "fonts-liberation2");
    // A word too long for one piece, then a short one: the short word,
    // last in the text, is drawn leftmost, exactly as when drawn alone.
    for (const std::size_t letters : {std::size_t{1100}, std::size_t{2500}}) {
        SCOPED_TRACE(letters);
        const std::string line = Utf8(0x05D5, letters) + " " + shalom;  // vav...
        const std::int32_t wordWidth = Engine().Measure(*font, shalom, 0).cx;
        EXPECT_GT(Engine().Measure(*font, line, 0).cx, static_cast<std::int32_t>(letters));
        Dib drawn = WhiteDib(wordWidth, 24, 32);
        Dib alone = WhiteDib(wordWidth, 24, 32);
        Engine().Draw(drawn, *font, 0, 0, line, Transparent(kBlack));
        Engine().Draw(alone, *font, 0, 0, shalom, Transparent(kBlack));
        EXPECT_GT(InkBox(alone, kWhite).count, 10);
        EXPECT_TRUE(drawn.bits == alone.bits);
    }
}

TEST(TextEngineHostileText, MeasuringRasterisesNothingAndDrawingOnlyWhatLands) {
    std::string han;  // 2,000 distinct characters
    for (char32_t code = 0x4E00; code < 0x4E00 + 2000; ++code) paneloom::AppendUtf8(han, code);
    struct Case {
        const char* what;
        std::string text;
        std::int32_t height;
        std::int32_t widestAdvance;  // at most, for the glyphs that can land
    };
    const Case cases[] = {
        {"Han at 17 pixels", han, -17, 17},
        {"Han at 23 pixels", han, -23, 23},
        {"Latin at 41 pixels", std::string(3000, 'W') + "iiii", -41, 41},
        {"Latin at 90 pixels: no masks", std::string(50, 'M'), -90, 90},
    };
    ExpectDrawable(*MakeFont(-17, 400, "Arial"), "\xE4\xB8\x80", "fonts-wqy-microhei");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto font = MakeFont(c.height, 400, "Arial");
        ASSERT_NE(font, nullptr);
        const TextEngine::GlyphMemory start = Engine().GlyphMemoryUse();
        EXPECT_GT(Engine().Measure(*font, c.text, 0).cx, 0);
        const TextEngine::GlyphMemory measured = Engine().GlyphMemoryUse();
        EXPECT_EQ(measured.rasterised, start.rasterised);
        EXPECT_LE(measured.bytes, measured.capacity);

        // Off the bitmap on every side: nothing to rasterise.
        for (const auto& [x, y] : {std::pair{-2000000000, 0}, std::pair{70, 0}, std::pair{0, -200}, std::pair{0, 70}}) {
            Dib dib = WhiteDib(64, 64, 32);
            Engine().Draw(dib, *font, x, y, c.text, Transparent(kBlack));
        }
        EXPECT_EQ(Engine().GlyphMemoryUse().rasterised, start.rasterised);

        // On it, the few glyphs that reach its 64 columns.
        Dib dib = WhiteDib(64, 64, 32);
        Engine().Draw(dib, *font, 0, 0, c.text, Transparent(kBlack));
        const TextEngine::GlyphMemory drawn = Engine().GlyphMemoryUse();
        EXPECT_GT(InkBox(dib, kWhite).count, 0);
        EXPECT_GT(drawn.rasterised, start.rasterised);
        EXPECT_LE(drawn.rasterised - start.rasterised, static_cast<std::uint64_t>(64 / c.widestAdvance + 3));
        EXPECT_LE(drawn.bytes, drawn.capacity);
    }
}

TEST(TextEngineHostileText, FallbackAnswersAreRememberedUpToTheirCap) {
    std::string han;  // more distinct characters than the mapper keeps answers for
    for (char32_t code = 0x4E00; code < 0x4E00 + 10000; ++code) paneloom::AppendUtf8(han, code);
    const auto font = MakeFont(-15, 300, "Arial");  // a request no other test makes
    ASSERT_NE(font, nullptr);
    ExpectDrawable(*font, "\xE4\xB8\x80", "fonts-wqy-microhei");
    const std::int32_t first = Engine().Measure(*font, "\xE4\xB8\x80", 0).cx;
    const std::size_t before = Engine().GlyphMemoryUse().fallbackCharacters;

    EXPECT_GT(Engine().Measure(*font, han, 0).cx, 0);

    EXPECT_LE(Engine().GlyphMemoryUse().fallbackCharacters - before, FontMapper::kRememberedCharacters);
    // A forgotten answer is found again, the same.
    EXPECT_EQ(first, Engine().Measure(*font, "\xE4\xB8\x80", 0).cx);
}

TEST(TextEngineDraw, AnInvalidBitmapIsLeftAlone) {
    const auto font = MakeFont(-16, 400, "Arial");
    ASSERT_NE(font, nullptr);
    Dib empty;
    Engine().Draw(empty, *font, 0, 0, "Hello", DrawState{});
    EXPECT_TRUE(empty.bits.empty());
}

}  // namespace
