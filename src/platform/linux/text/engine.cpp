#include "platform/linux/text/engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <deque>
#include <tuple>
#include <vector>
#include <limits>
#include <map>
#include <utility>

#include "platform/linux/drawing/compositing.h"

namespace paneloom::platform::lnx {

namespace {

// LOGFONTA holds 32 bytes of face name including the terminator.
constexpr std::size_t kFaceNameLimit = 31;

constexpr int kNormalWeight = 400;
// GDI simulates bold when the weight asked for is above this and the face
// found is not bold itself.
constexpr int kSyntheticBoldAbove = 550;
// A face at least this heavy (semibold and up) already counts as bold.
constexpr int kBoldFaceWeight = 600;

// FreeType's span records hold 16-bit positions; glyph pixels are clipped to
// this range around their origin (far beyond any glyph under kMaxFontPixels).
constexpr std::int64_t kSpanLimit = 32767;

// A glyph whose box holds at most this many pixels keeps its coverage once
// rendered, so that each further use is a blend of that mask (at 16 points
// every glyph fits many times over). Larger glyphs are rasterised straight
// into the bitmap each time, clipped to it, so no glyph-sized buffer is
// ever made for them. At most 256 masks of 4 KB per font.
constexpr std::int64_t kMaskPixels = 4096;

// Fonts made recently are kept and handed out again for the same logical
// font: a run makes one font per text item, mostly the same one.
constexpr std::size_t kKeptFonts = 8;

// Pen positions and extents are summed in 64 bits and kept within this bound
// so that no string length or spacing can overflow them.
constexpr std::int64_t kPositionLimit = std::int64_t{1} << 60;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

// a / b rounded half up, for a >= 0 and b > 0.
std::int64_t RoundDiv(std::int64_t a, std::int64_t b) { return (2 * a + b) / (2 * b); }

std::int32_t Saturate32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::int64_t AddPosition(std::int64_t a, std::int64_t b) {
    return std::clamp<std::int64_t>(a + b, -kPositionLimit, kPositionLimit);
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The face name as LOGFONTA carries it (up to the first NUL, at most 31
// bytes), converted from the ANSI code page to the UTF-8 fontconfig expects.
std::string RequestedFaceName(const std::string& face) {
    const std::size_t end = std::min({face.find('\0'), face.size(), kFaceNameLimit});
    std::string out;
    for (std::size_t i = 0; i < end; ++i) AppendUtf8(out, Cp1252ToUnicode(static_cast<unsigned char>(face[i])));
    return out;
}

int EffectiveWeight(std::int32_t weight) {
    if (weight <= 0) return kNormalWeight;  // FW_DONTCARE
    return std::min<std::int32_t>(weight, 1000);
}

// The FreeType library, shared by everything that holds FreeType objects so
// that fonts kept past the engine's end stay valid.
struct Library {
    FT_Library ft = nullptr;

    Library() {
        if (FT_Init_FreeType(&ft) != 0) ft = nullptr;
    }
    ~Library() {
        if (ft != nullptr) FT_Done_FreeType(ft);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

enum class CharMapping { kUnicode, kSymbol, kNative };

// One opened font file face.
struct Face {
    FT_Face face = nullptr;
    CharMapping mapping = CharMapping::kUnicode;
    std::int64_t unitsPerEm = 0;
    // The Windows cell above and below the baseline, in font units.
    std::int64_t ascent = 0;
    std::int64_t descent = 0;
    // The face's own weight on the 1 to 1000 scale. Read from the face, not
    // from fontconfig's answer, which reports the weight it was asked for
    // when its configuration decides to embolden.
    int weight = kNormalWeight;
    bool boldStyle = false;

    Face() = default;
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;
    ~Face() {
        if (face != nullptr) FT_Done_Face(face);
    }
};

struct GlyphInfo {
    bool known = false;
    bool hasOutline = false;
    std::int32_t advance = 0;
    // Pixels the outline can touch, relative to the pen position and the
    // baseline, y pointing up; the maxima are exclusive.
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    // The coverage of the box, top row first, once rendered; only for boxes
    // of at most kMaskPixels.
    bool masked = false;
    std::vector<std::uint8_t> mask;
};

// Ascent and descent in font units: the OS/2 Windows metrics, else the
// horizontal header, else what FreeType derived.
void ReadCellMetrics(Face& f) {
    const FT_Face face = f.face;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        f.ascent = os2->usWinAscent;
        f.descent = os2->usWinDescent;
        return;
    }
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    std::int64_t ascent = hhea != nullptr ? hhea->Ascender : face->ascender;
    std::int64_t descent = hhea != nullptr ? -static_cast<std::int64_t>(hhea->Descender) : -face->descender;
    if (ascent + descent <= 0) {
        ascent = face->ascender;
        descent = -static_cast<std::int64_t>(face->descender);
    }
    f.ascent = std::max<std::int64_t>(ascent, 0);
    f.descent = std::max<std::int64_t>(descent, 0);
    if (f.ascent + f.descent <= 0) f.ascent = f.unitsPerEm;
}

struct SpanTarget {
    Dib* dib;
    std::int64_t originX;
    std::int64_t baseline;
    std::uint32_t color;
};

void DrawSpans(int y, int count, const FT_Span* spans, void* user) {
    const auto* target = static_cast<const SpanTarget*>(user);
    Dib& dib = *target->dib;
    // Scanline y covers [y, y + 1) above the baseline, i.e. the row just
    // above the baseline is y = 0.
    const std::int64_t row = target->baseline - 1 - y;
    for (int i = 0; i < count; ++i)
        PaintCoverageRun(dib, target->originX + spans[i].x, row, spans[i].len, spans[i].coverage, target->color);
}

// Rendering a glyph into its own coverage mask.
struct MaskTarget {
    GlyphInfo* glyph;
};

void MaskSpans(int y, int count, const FT_Span* spans, void* user) {
    GlyphInfo& glyph = *static_cast<MaskTarget*>(user)->glyph;
    const std::int64_t width = std::int64_t{glyph.xMax} - glyph.xMin;
    const std::int64_t row = std::int64_t{glyph.yMax} - 1 - y;
    if (row < 0 || row >= std::int64_t{glyph.yMax} - glyph.yMin) return;
    for (int i = 0; i < count; ++i) {
        const FT_Span& span = spans[i];
        for (unsigned k = 0; k < span.len; ++k) {
            const std::int64_t col = std::int64_t{span.x} + k - glyph.xMin;
            if (col < 0 || col >= width) continue;
            glyph.mask[static_cast<std::size_t>(row * width + col)] = span.coverage;
        }
    }
}

}  // namespace

struct Font::State {
    std::shared_ptr<Library> library;  // set last: until then the state owns no FreeType object
    std::shared_ptr<Face> face;
    FT_Size size = nullptr;
    std::string file;
    int index = 0;
    std::string family;
    std::string requested;
    std::int32_t em = 0;
    std::int32_t ascent = 0;
    std::int32_t descent = 0;
    bool syntheticBold = false;
    FT_Pos boldStrength = 0;  // 26.6 pixels
    std::array<GlyphInfo, 256> glyphs{};

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (!library) return;
        if (size != nullptr) FT_Done_Size(size);
        face.reset();
    }
};

Font::Font(std::unique_ptr<State> state) : state_(std::move(state)) {}
Font::~Font() = default;

const std::string& Font::File() const { return state_->file; }
int Font::FaceIndex() const { return state_->index; }
const std::string& Font::Family() const { return state_->family; }
const std::string& Font::RequestedFace() const { return state_->requested; }
std::int32_t Font::EmPixels() const { return state_->em; }
std::int32_t Font::Ascent() const { return state_->ascent; }
std::int32_t Font::Descent() const { return state_->descent; }
std::int32_t Font::CellHeight() const { return Saturate32(std::int64_t{state_->ascent} + state_->descent); }
bool Font::SyntheticBold() const { return state_->syntheticBold; }

struct TextEngine::Impl {
    struct Match {
        bool found = false;
        std::string file;
        int index = 0;
        std::string family;
    };

    std::shared_ptr<Library> library = std::make_shared<Library>();
    FcConfig* config = nullptr;
    // Opened faces by (file, index), kept for the life of the process.
    std::map<std::pair<std::string, int>, std::shared_ptr<Face>> faces;
    // Font mapper answers by (requested face, weight).
    std::map<std::pair<std::string, int>, Match> matches;
    // The fonts made last, by (height as made, weight, requested face);
    // the most recent at the back.
    using FontKey = std::tuple<std::int64_t, int, std::string>;
    std::deque<std::pair<FontKey, std::shared_ptr<Font>>> kept;

    Impl() {
        // Loading the configuration scans the font directories (or reads
        // their caches), so it is done once and the result used for every
        // match. It is made current so that fontconfig's own helpers use it
        // rather than loading a second copy.
        config = FcInitLoadConfigAndFonts();
        if (config != nullptr) FcConfigSetCurrent(config);
    }
    ~Impl() {
        kept.clear();
        faces.clear();
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    std::shared_ptr<Face> OpenFace(const std::string& file, int index) {
        const auto key = std::make_pair(file, index);
        if (auto it = faces.find(key); it != faces.end()) return it->second;
        auto face = std::make_shared<Face>();
        if (FT_New_Face(library->ft, file.c_str(), index, &face->face) != 0) {
            face->face = nullptr;
            return nullptr;
        }
        // The engine scales outlines; a bitmap-only face cannot follow GDI's
        // height rules, so the mapper moves on to the next candidate.
        if (!FT_IS_SCALABLE(face->face) || face->face->units_per_EM == 0) return nullptr;
        face->unitsPerEm = face->face->units_per_EM;
        if (FT_Select_Charmap(face->face, FT_ENCODING_UNICODE) == 0) {
            face->mapping = CharMapping::kUnicode;
        } else if (FT_Select_Charmap(face->face, FT_ENCODING_MS_SYMBOL) == 0) {
            face->mapping = CharMapping::kSymbol;
        } else {
            face->mapping = CharMapping::kNative;
        }
        ReadCellMetrics(*face);
        face->boldStyle = (face->face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face->face, FT_SFNT_OS2));
        if (os2 != nullptr && os2->version != 0xFFFF && os2->usWeightClass >= 1 && os2->usWeightClass <= 1000)
            face->weight = os2->usWeightClass;
        else
            face->weight = face->boldStyle ? 700 : kNormalWeight;
        faces.emplace(key, face);
        return face;
    }

    bool TryCandidate(FcPattern* candidate, Match& out) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(candidate, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) return false;
        int index = 0;
        FcPatternGetInteger(candidate, FC_INDEX, 0, &index);
        if (!OpenFace(reinterpret_cast<const char*>(file), index)) return false;
        out.found = true;
        out.file = reinterpret_cast<const char*>(file);
        out.index = index;
        FcChar8* family = nullptr;
        if (FcPatternGetString(candidate, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr)
            out.family = reinterpret_cast<const char*>(family);
        return true;
    }

    // The font mapper.
    Match MatchFace(const std::string& face, int weight) {
        Match match;
        FcPattern* pattern = FcPatternCreate();
        if (pattern == nullptr) return match;
        if (!face.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);

        FcResult result = FcResultNoMatch;
        if (FcPattern* best = FcFontMatch(config, pattern, &result)) {
            TryCandidate(best, match);
            FcPatternDestroy(best);
        }
        if (!match.found) {
            // The best face cannot be used (unreadable, bitmap only): take
            // the next ones in order of preference.
            if (FcFontSet* sorted = FcFontSort(config, pattern, FcFalse, nullptr, &result)) {
                for (int i = 0; i < sorted->nfont && !match.found; ++i) TryCandidate(sorted->fonts[i], match);
                FcFontSetDestroy(sorted);
            }
        }
        FcPatternDestroy(pattern);
        return match;
    }

    static bool LoadGlyph(Font::State& font, unsigned char byte) {
        const FT_Face face = font.face->face;
        if (FT_Activate_Size(font.size) != 0) return false;
        FT_UInt glyph = 0;
        switch (font.face->mapping) {
            case CharMapping::kUnicode:
                glyph = FT_Get_Char_Index(face, Cp1252ToUnicode(byte));
                break;
            case CharMapping::kSymbol:
                // Symbol fonts place their glyphs at U+F000 plus the byte.
                glyph = FT_Get_Char_Index(face, 0xF000u + byte);
                if (glyph == 0) glyph = FT_Get_Char_Index(face, byte);
                break;
            case CharMapping::kNative:
                glyph = FT_Get_Char_Index(face, byte);
                break;
        }
        // Outlines only: they are what is scaled, emboldened and clipped.
        if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
        FT_GlyphSlot slot = face->glyph;
        if (font.syntheticBold && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_Embolden(&slot->outline, font.boldStrength);
        return true;
    }

    static const GlyphInfo& Glyph(Font::State& font, unsigned char byte) {
        GlyphInfo& info = font.glyphs[byte];
        if (info.known) return info;
        info.known = true;
        if (!LoadGlyph(font, byte)) return info;
        const FT_GlyphSlot slot = font.face->face->glyph;
        // Hinting already puts the advance on whole pixels; round in case it
        // did not. A simulated bold character is one pixel wider, as in GDI.
        std::int64_t advance = FloorDiv(static_cast<std::int64_t>(slot->advance.x) + 32, 64);
        if (font.syntheticBold) ++advance;
        info.advance = Saturate32(advance);
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_points > 0) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            info.xMin = Saturate32(FloorDiv(box.xMin, 64));
            info.xMax = Saturate32(CeilDiv(box.xMax, 64));
            info.yMin = Saturate32(FloorDiv(box.yMin, 64));
            info.yMax = Saturate32(CeilDiv(box.yMax, 64));
            info.hasOutline = info.xMax > info.xMin && info.yMax > info.yMin;
        }
        if (info.hasOutline &&
            (std::int64_t{info.xMax} - info.xMin) * (std::int64_t{info.yMax} - info.yMin) <= kMaskPixels) {
            RenderMask(font, info);
        }
        return info;
    }

    // Renders the glyph just loaded into its coverage mask.
    static void RenderMask(Font::State& font, GlyphInfo& info) {
        const FT_GlyphSlot slot = font.face->face->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
        info.mask.assign(static_cast<std::size_t>((std::int64_t{info.xMax} - info.xMin) *
                                                  (std::int64_t{info.yMax} - info.yMin)),
                         0);
        MaskTarget target{&info};
        FT_Raster_Params params{};
        params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
        params.gray_spans = MaskSpans;
        params.user = &target;
        params.clip_box.xMin = info.xMin;
        params.clip_box.xMax = info.xMax;
        params.clip_box.yMin = info.yMin;
        params.clip_box.yMax = info.yMax;
        info.masked = FT_Outline_Render(font.library->ft, &slot->outline, &params) == 0;
        if (!info.masked) std::vector<std::uint8_t>().swap(info.mask);
    }

    static std::int64_t Width(Font::State& font, const std::string& text, std::int32_t charExtra) {
        std::int64_t total = 0;
        for (const char c : text)
            total = AddPosition(total, std::int64_t{Glyph(font, static_cast<unsigned char>(c)).advance} + charExtra);
        return total;
    }

    void RenderGlyph(Dib& dib, Font::State& font, unsigned char byte, const GlyphInfo& info, std::int64_t penX,
                     std::int64_t baseline, std::uint32_t colour) {
        // Only the part of the glyph that lands in the bitmap is blended or,
        // for a glyph too large for a mask, rasterised straight into it.
        const std::int64_t xMin = std::max<std::int64_t>({info.xMin, -penX, -kSpanLimit});
        const std::int64_t xMax = std::min<std::int64_t>({info.xMax, dib.width - penX, kSpanLimit});
        const std::int64_t yMin = std::max<std::int64_t>({info.yMin, baseline - dib.height, -kSpanLimit});
        const std::int64_t yMax = std::min<std::int64_t>({info.yMax, baseline, kSpanLimit});
        if (xMin >= xMax || yMin >= yMax) return;
        if (info.masked) {
            const CoverageMask mask{info.mask.data(), std::int64_t{info.xMax} - info.xMin,
                                    std::int64_t{info.yMax} - info.yMin};
            PaintCoverageMask(dib, mask, penX + info.xMin, baseline - info.yMax, colour);
            return;
        }
        if (!LoadGlyph(font, byte)) return;
        FT_GlyphSlot slot = font.face->face->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;

        SpanTarget target{&dib, penX, baseline, colour};
        FT_Raster_Params params{};
        params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
        params.gray_spans = DrawSpans;
        params.user = &target;
        params.clip_box.xMin = static_cast<FT_Pos>(xMin);
        params.clip_box.xMax = static_cast<FT_Pos>(xMax);
        params.clip_box.yMin = static_cast<FT_Pos>(yMin);
        params.clip_box.yMax = static_cast<FT_Pos>(yMax);
        FT_Outline_Render(library->ft, &slot->outline, &params);
    }
};

TextEngine::TextEngine() : impl_(std::make_unique<Impl>()) {}

TextEngine::~TextEngine() {
    FcConfig* config = impl_->config;
    impl_.reset();
    if (config != nullptr) FcConfigDestroy(config);
}

TextEngine& TextEngine::Instance() {
    static TextEngine engine;
    return engine;
}

std::shared_ptr<Font> TextEngine::CreateFont(const LogFontSpec& spec) {
    Impl& impl = *impl_;
    if (impl.library->ft == nullptr || impl.config == nullptr) return nullptr;

    auto state = std::make_unique<Font::State>();
    state->requested = RequestedFaceName(spec.face);
    const int weight = EffectiveWeight(spec.weight);
    const std::int64_t madeHeight = std::clamp<std::int64_t>(spec.height == 0 ? kDefaultFontHeight : spec.height,
                                                             -kMaxFontPixels, kMaxFontPixels);
    const Impl::FontKey fontKey{madeHeight, weight, state->requested};
    for (const auto& [key, font] : impl.kept)
        if (key == fontKey) return font;
    {
        const auto key = std::make_pair(state->requested, weight);
        auto it = impl.matches.find(key);
        if (it == impl.matches.end()) it = impl.matches.emplace(key, impl.MatchFace(state->requested, weight)).first;
        const Impl::Match& match = it->second;
        if (!match.found) return nullptr;
        state->face = impl.OpenFace(match.file, match.index);
        if (!state->face) return nullptr;
        state->file = match.file;
        state->index = match.index;
        state->family = match.family;

        const Face& face = *state->face;
        const std::int64_t upem = face.unitsPerEm;
        const std::int64_t height = spec.height == 0 ? kDefaultFontHeight : spec.height;
        std::int64_t em = 0;
        std::int64_t ascent = 0;
        std::int64_t descent = 0;
        if (height < 0) {
            // Character height: the em is the height asked for; ascent and
            // descent are each scaled to it and rounded.
            em = std::min<std::int64_t>(-height, kMaxFontPixels);
            ascent = RoundDiv(face.ascent * em, upem);
            descent = RoundDiv(face.descent * em, upem);
        } else {
            // Cell height: the Windows ascent plus descent is scaled to the
            // height asked for, which is then exactly the cell.
            const std::int64_t cell = std::min<std::int64_t>(height, kMaxFontPixels);
            const std::int64_t units = face.ascent + face.descent;
            em = std::clamp<std::int64_t>(RoundDiv(upem * cell, units), 1, kMaxFontPixels);
            ascent = RoundDiv(face.ascent * cell, units);
            descent = cell - ascent;
        }
        state->em = static_cast<std::int32_t>(em);
        state->ascent = Saturate32(ascent);
        state->descent = Saturate32(descent);
        state->syntheticBold = weight > kSyntheticBoldAbove && face.weight < kBoldFaceWeight && !face.boldStyle;
        // The strength GDI's FreeType-based implementations use: 1/24 em.
        state->boldStrength = static_cast<FT_Pos>(em * 64 / 24);

        if (FT_New_Size(face.face, &state->size) != 0) {
            state->size = nullptr;
            return nullptr;
        }
        if (FT_Activate_Size(state->size) != 0 ||
            FT_Set_Pixel_Sizes(face.face, 0, static_cast<FT_UInt>(em)) != 0) {
            FT_Done_Size(state->size);
            state->size = nullptr;
            return nullptr;
        }
    }
    state->library = impl.library;
    auto font = std::shared_ptr<Font>(new Font(std::move(state)));
    if (impl.kept.size() >= kKeptFonts) impl.kept.pop_front();
    impl.kept.emplace_back(fontKey, font);
    return font;
}

TextEngine::Extent TextEngine::Measure(const Font& font, const std::string& text, std::int32_t charExtra) {
    Font::State& state = *font.state_;
    return Extent{Saturate32(Impl::Width(state, text, charExtra)), font.CellHeight()};
}

void TextEngine::Draw(Dib& dib, const Font& font, std::int32_t x, std::int32_t y, const std::string& text,
                      const DrawState& drawState) {
    if (!dib.Valid()) return;
    Font::State& state = *font.state_;

    if (drawState.opaque) {
        const std::int64_t width = Impl::Width(state, text, drawState.charExtra);
        FillRect(dib, x, y, std::int64_t{x} + width, std::int64_t{y} + font.CellHeight(), drawState.bkColor);
    }

    const std::int64_t baseline = std::int64_t{y} + state.ascent;
    std::int64_t pen = x;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const GlyphInfo& info = Impl::Glyph(state, byte);
        if (info.hasOutline) {
            const std::int64_t left = pen + info.xMin;
            const std::int64_t right = pen + info.xMax;
            const std::int64_t top = baseline - info.yMax;
            const std::int64_t bottom = baseline - info.yMin;
            if (right > 0 && left < dib.width && bottom > 0 && top < dib.height)
                impl_->RenderGlyph(dib, state, byte, info, pen, baseline, drawState.textColor);
        }
        pen = AddPosition(pen, std::int64_t{info.advance} + drawState.charExtra);
    }
}

std::int32_t TextEngine::CellHeight(const Font& font) const { return font.CellHeight(); }

std::int32_t TextEngine::Ascent(const Font& font) const { return font.Ascent(); }

}  // namespace paneloom::platform::lnx
