#include "platform/linux/text/engine.h"

#include <algorithm>
#include <array>
#include <deque>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/saturate.h"
#include "common/utf8.h"
#include "platform/linux/drawing/compositing.h"
#include "platform/linux/text/faces.h"
#include "platform/linux/text/font_mapper.h"
#include "platform/linux/text/glyphs.h"
#include "platform/linux/text/runs.h"

namespace paneloom::platform::lnx {

namespace {

// Fonts made recently are kept and handed out again for the same logical
// font: a run makes one font per text item, mostly the same one.
constexpr std::size_t kKeptFonts = 8;

// Characters beyond Latin-1 whose glyph a font remembers; looking one up
// again is a character-map lookup (and for a character its face lacks, the
// font mapper's remembered answer).
constexpr std::size_t kRememberedCharacters = 4096;

// Pen positions and extents are summed in 64 bits and kept within this bound
// so that no string length or spacing can overflow them.
constexpr std::int64_t kPositionLimit = std::int64_t{1} << 60;

std::int64_t AddPosition(std::int64_t a, std::int64_t b) {
    return std::clamp<std::int64_t>(a + b, -kPositionLimit, kPositionLimit);
}

// Control characters are drawn as the font's own missing glyph, as GDI does;
// no other face is asked for them.
bool IsControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code < 0xA0); }

// Combining marks and the joiners go with the face of the character before
// them where that face has them, so that they shape with it.
bool FollowsItsBase(char32_t code, const ShapingLibrary* hb) {
    return code == 0x200C || code == 0x200D ||
           (hb != nullptr && hb->hb_unicode_general_category(hb->hb_unicode_funcs_get_default(), code) ==
                                 HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK);
}

// Which face of a font draws a character, and with which glyph.
struct CharacterGlyph {
    std::size_t face = 0;  // 0: the font's own face; else a fallback
    FT_UInt glyph = 0;
};

// A glyph where the layout put it: x from the start of the text, rise above
// the baseline, in whole pixels.
struct PlacedGlyph {
    GlyphCache* glyphs = nullptr;
    FT_UInt index = 0;
    std::int64_t x = 0;
    std::int64_t rise = 0;
};

}  // namespace

struct Font::State {
    FaceMatch match;
    std::string requested;
    int weight = kNormalWeight;
    std::int64_t madeHeight = 0;
    FontMetrics metrics;
    // The font's own face, then the fallback faces in the order they were
    // first needed, all at the font's em.
    std::vector<std::unique_ptr<GlyphCache>> faces;
    std::array<CharacterGlyph, 256> latin{};
    std::array<bool, 256> latinKnown{};
    std::unordered_map<char32_t, CharacterGlyph> others;

    GlyphCache& Own() { return *faces.front(); }
};

Font::Font(std::unique_ptr<State> state) : state_(std::move(state)) {}
Font::~Font() = default;

const std::string& Font::File() const { return state_->match.file; }
int Font::FaceIndex() const { return state_->match.index; }
const std::string& Font::Family() const { return state_->match.family; }
const std::string& Font::RequestedFace() const { return state_->requested; }
std::int32_t Font::EmPixels() const { return state_->metrics.em; }
std::int32_t Font::Ascent() const { return state_->metrics.ascent; }
std::int32_t Font::Descent() const { return state_->metrics.descent; }
std::int32_t Font::CellHeight() const {
    return SaturateToInt32(std::int64_t{state_->metrics.ascent} + state_->metrics.descent);
}
bool Font::SyntheticBold() const { return state_->metrics.syntheticBold; }

struct TextEngine::Impl {
    explicit Impl(ShapingSource source) : shaping(source) {}

    // Shared by every font's glyphs, so that what they hold together is
    // bounded however many fonts and faces a run makes.
    std::shared_ptr<GlyphBudget> glyphMemory = std::make_shared<GlyphBudget>(kGlyphCacheBytes);
    FaceStore faces;
    FontMapper mapper;
    // The fonts made last, by (height as made, weight, requested face);
    // the most recent at the back.
    using FontKey = std::tuple<std::int64_t, int, std::string>;
    std::deque<std::pair<FontKey, std::shared_ptr<Font>>> kept;
    // Kept between calls so that laying a line out allocates nothing once
    // they have grown.
    std::u32string codes;
    std::vector<CharacterGlyph> glyphs;
    std::vector<TextRun> runs;
    std::vector<TextRun> pieces;  // of one run, each shaped in one call
    std::vector<PlacedGlyph> placed;
    // Asked for HarfBuzz and FriBidi at the first line that needs them.
    ShapingSource shaping;
    hb_buffer_t* buffer = nullptr;  // made by the library shaping gave
    const ShapingLibrary* bufferLibrary = nullptr;

    ~Impl() {
        if (buffer != nullptr) bufferLibrary->hb_buffer_destroy(buffer);
    }

    FontMapper::FaceCheck Usable() {
        return [this](const std::string& file, int index) { return faces.Open(file, index) != nullptr; };
    }

    CharacterGlyph Resolve(Font::State& font, char32_t code);
    CharacterGlyph FindGlyph(Font::State& font, char32_t code);
    std::size_t FallbackFace(Font::State& font, std::shared_ptr<Face> face);
    std::int64_t Layout(Font::State& font, const std::string& text, std::int32_t charExtra, bool place);
    void LayOutRuns(Font::State& font, std::int32_t charExtra, bool place, std::int64_t& pen);
    void ShapeRun(const ShapingLibrary& hb, Font::State& font, const TextRun& run, hb_script_t script,
                  std::int32_t charExtra, bool place, std::int64_t& pen);
    void PlaceByCharacter(Font::State& font, std::size_t index, std::int32_t charExtra, bool place, std::int64_t& pen);
};

CharacterGlyph TextEngine::Impl::Resolve(Font::State& font, char32_t code) {
    if (code < font.latin.size()) {
        if (!font.latinKnown[code]) {
            font.latin[code] = FindGlyph(font, code);
            font.latinKnown[code] = true;
        }
        return font.latin[code];
    }
    const auto found = font.others.find(code);
    if (found != font.others.end()) return found->second;
    // Forgotten all at once when full, so that text of every character
    // costs each font no more than this.
    if (font.others.size() >= kRememberedCharacters) std::unordered_map<char32_t, CharacterGlyph>().swap(font.others);
    return font.others.emplace(code, FindGlyph(font, code)).first->second;
}

CharacterGlyph TextEngine::Impl::FindGlyph(Font::State& font, char32_t code) {
    const CharacterGlyph own{0, font.Own().FontFace().GlyphIndex(code)};
    if (own.glyph != 0 || IsControl(code)) return own;
    const FaceMatch& match = mapper.Fallback(font.requested, font.weight, code, Usable());
    if (!match.found) return own;
    std::shared_ptr<Face> face = faces.Open(match.file, match.index);
    const FT_UInt glyph = face ? face->GlyphIndex(code) : 0;
    if (glyph == 0) return own;
    const std::size_t slot = FallbackFace(font, std::move(face));
    return slot == 0 ? own : CharacterGlyph{slot, glyph};
}

std::size_t TextEngine::Impl::FallbackFace(Font::State& font, std::shared_ptr<Face> face) {
    for (std::size_t i = 0; i < font.faces.size(); ++i)
        if (&font.faces[i]->FontFace() == face.get()) return i;
    // The font's em, so that the line keeps the cell of the font's own face;
    // bold is simulated where this face has none of its own.
    const bool bold = SizeFont(face->metrics, font.madeHeight, font.weight).syntheticBold;
    std::unique_ptr<GlyphCache> glyphs = GlyphCache::Make(std::move(face), font.metrics.em, bold, glyphMemory);
    if (!glyphs) return 0;
    font.faces.push_back(std::move(glyphs));
    return font.faces.size() - 1;
}

void TextEngine::Impl::PlaceByCharacter(Font::State& font, std::size_t index, std::int32_t charExtra, bool place,
                                        std::int64_t& pen) {
    const CharacterGlyph character = glyphs[index];
    GlyphCache& cache = *font.faces[character.face];
    const Glyph& glyph = cache.Get(character.glyph);
    if (place) placed.push_back({&cache, character.glyph, pen, 0});
    pen = AddPosition(pen, std::int64_t{glyph.advance} + charExtra);
}

void TextEngine::Impl::ShapeRun(const ShapingLibrary& hb, Font::State& font, const TextRun& run, hb_script_t script,
                                std::int32_t charExtra, bool place, std::int64_t& pen) {
    GlyphCache& cache = *font.faces[glyphs[run.begin].face];
    hb_font_t* shapingFont = cache.ShapingFont(hb);
    const bool rightToLeft = run.level % 2 == 1;
    if (shapingFont == nullptr) {
        // A face without tables to shape with: its characters one by one,
        // in the run's direction.
        for (std::size_t i = 0; i < run.end - run.begin; ++i)
            PlaceByCharacter(font, rightToLeft ? run.end - 1 - i : run.begin + i, charExtra, place, pen);
        return;
    }
    // Positions in 26.6 pixels from the run's start; each cluster (one or
    // more characters drawn together) gets the extra after it, and a pixel
    // more where bold is simulated, as a character does.
    const std::int64_t perCluster = (std::int64_t{charExtra} + (cache.SyntheticBold() ? 1 : 0)) * 64;
    std::int64_t fixed = 0;
    // A long run is shaped in pieces, from left to right: in a right-to-left
    // run the last piece first.
    pieces.clear();
    for (std::size_t begin = run.begin; begin < run.end;) {
        const std::size_t end = ShapingPieceEnd(codes, begin, run.end, shaping);
        pieces.push_back({begin, end, run.level});
        begin = end;
    }
    if (rightToLeft) std::reverse(pieces.begin(), pieces.end());
    if (buffer == nullptr) {
        buffer = hb.hb_buffer_create();
        bufferLibrary = &hb;
    }
    for (const TextRun& piece : pieces) {
        hb.hb_buffer_clear_contents(buffer);
        // The whole line goes in as context, so letters join across the
        // piece's edges; the piece's characters are what is shaped.
        hb.hb_buffer_add_utf32(buffer, reinterpret_cast<const std::uint32_t*>(codes.data()),
                               static_cast<int>(codes.size()), static_cast<unsigned>(piece.begin),
                               static_cast<int>(piece.end - piece.begin));
        hb.hb_buffer_set_direction(buffer, rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb.hb_buffer_set_script(buffer, script);
        hb.hb_buffer_guess_segment_properties(buffer);
        hb.hb_shape(shapingFont, buffer, nullptr, 0);

        unsigned count = 0;
        const hb_glyph_info_t* infos = hb.hb_buffer_get_glyph_infos(buffer, &count);
        const hb_glyph_position_t* positions = hb.hb_buffer_get_glyph_positions(buffer, &count);
        for (unsigned k = 0; k < count; ++k) {
            if (place) {
                placed.push_back({&cache, infos[k].codepoint,
                                  AddPosition(pen, FloorPixels(fixed + positions[k].x_offset + 32)),
                                  FloorPixels(std::int64_t{positions[k].y_offset} + 32)});
            }
            fixed = AddPosition(fixed, positions[k].x_advance);
            if (k + 1 == count || infos[k + 1].cluster != infos[k].cluster)
                fixed = AddPosition(fixed, perCluster);
        }
    }
    pen = AddPosition(pen, FloorPixels(fixed + 32));
}

void TextEngine::Impl::LayOutRuns(Font::State& font, std::int32_t charExtra, bool place, std::int64_t& pen) {
    // Without the libraries every run is placed character by character.
    const ShapingLibrary* hb = shaping();
    const std::vector<std::uint8_t> levels = BidiLevels(codes, shaping);
    const std::vector<hb_script_t> scripts = Scripts(codes, shaping);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        glyphs[i] = Resolve(font, codes[i]);
        if (i > 0 && glyphs[i].face != glyphs[i - 1].face && FollowsItsBase(codes[i], hb)) {
            const FT_UInt glyph = font.faces[glyphs[i - 1].face]->FontFace().GlyphIndex(codes[i]);
            if (glyph != 0) glyphs[i] = {glyphs[i - 1].face, glyph};
        }
    }
    const auto shaped = [&](std::size_t i) { return levels[i] % 2 == 1 || NeedsShaping(scripts[i]); };
    runs.clear();
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const bool sameRun = i > 0 && levels[i] == levels[i - 1] && glyphs[i].face == glyphs[i - 1].face &&
                             shaped(i) == shaped(i - 1) && (!shaped(i) || scripts[i] == scripts[i - 1]);
        if (sameRun) {
            runs.back().end = i + 1;
        } else {
            runs.push_back({i, i + 1, levels[i]});
        }
    }
    ReorderRuns(runs);
    for (const TextRun& run : runs) {
        if (hb != nullptr && shaped(run.begin)) {
            ShapeRun(*hb, font, run, scripts[run.begin], charExtra, place, pen);
        } else {
            for (std::size_t i = run.begin; i < run.end; ++i) PlaceByCharacter(font, i, charExtra, place, pen);
        }
    }
}

std::int64_t TextEngine::Impl::Layout(Font::State& font, const std::string& text, std::int32_t charExtra,
                                      bool place) {
    placed.clear();
    codes.clear();
    for (std::size_t position = 0; position < text.size();) {
        const Utf8Character character = DecodeCharacter(text, position);
        codes.push_back(character.code);
        position += character.length;
    }
    // However many marks follow a letter, the line's clusters stay short.
    BoundClusters(codes, shaping);
    glyphs.resize(codes.size());
    std::int64_t pen = 0;
    if (!NeedsNoAnalysis(codes)) {
        LayOutRuns(font, charExtra, place, pen);
        return pen;
    }
    // Latin, Greek, Cyrillic, Armenian: each character advances by its own
    // hinted advance plus the extra, as GDI lays out text for these scripts.
    for (std::size_t i = 0; i < codes.size(); ++i) {
        glyphs[i] = Resolve(font, codes[i]);
        PlaceByCharacter(font, i, charExtra, place, pen);
    }
    return pen;
}

TextEngine::TextEngine(ShapingSource shaping) : impl_(std::make_unique<Impl>(shaping)) {}

TextEngine::~TextEngine() = default;

void TextEngine::KeepFaceAnswersIn(std::string path) { impl_->mapper.KeepAnswersIn(std::move(path)); }

TextEngine& TextEngine::Instance() {
    static TextEngine engine(SystemShaping);
    return engine;
}

std::shared_ptr<Font> TextEngine::CreateFont(const LogFontSpec& spec) {
    Impl& impl = *impl_;
    if (!impl.faces.Ready() || !impl.mapper.Ready()) return nullptr;

    auto state = std::make_unique<Font::State>();
    state->requested = RequestedFaceName(spec.face);
    state->weight = EffectiveWeight(spec.weight);
    state->madeHeight = MadeHeight(spec.height);
    const Impl::FontKey fontKey{state->madeHeight, state->weight, state->requested};
    for (const auto& [key, font] : impl.kept)
        if (key == fontKey) return font;

    const FaceMatch& match = impl.mapper.Match(state->requested, state->weight, impl.Usable());
    if (!match.found) return nullptr;
    std::shared_ptr<Face> face = impl.faces.Open(match.file, match.index);
    if (!face) return nullptr;
    state->match = match;
    state->metrics = SizeFont(face->metrics, state->madeHeight, state->weight);
    std::unique_ptr<GlyphCache> glyphs = GlyphCache::Make(std::move(face), state->metrics.em,
                                                           state->metrics.syntheticBold, impl.glyphMemory);
    if (!glyphs) return nullptr;
    state->faces.push_back(std::move(glyphs));

    auto font = std::shared_ptr<Font>(new Font(std::move(state)));
    if (impl.kept.size() >= kKeptFonts) impl.kept.pop_front();
    impl.kept.emplace_back(fontKey, font);
    return font;
}

TextExtent TextEngine::Measure(const Font& font, const std::string& text, std::int32_t charExtra) {
    return TextExtent{SaturateToInt32(impl_->Layout(*font.state_, text, charExtra, false)), font.CellHeight()};
}

void TextEngine::Draw(Dib& dib, const Font& font, std::int32_t x, std::int32_t y, const std::string& text,
                      const DrawState& drawState) {
    if (!dib.Valid()) return;
    Impl& impl = *impl_;
    const std::int64_t width = impl.Layout(*font.state_, text, drawState.charExtra, true);
    if (drawState.backgroundMode == BackgroundMode::kOpaque)
        FillRect(dib, x, y, std::int64_t{x} + width, std::int64_t{y} + font.CellHeight(), drawState.bkColor);

    const std::int64_t baseline = std::int64_t{y} + font.state_->metrics.ascent;
    for (const PlacedGlyph& glyph : impl.placed)
        glyph.glyphs->Draw(dib, glyph.index, AddPosition(x, glyph.x), baseline - glyph.rise, drawState.textColor);
}

TextEngine::GlyphMemory TextEngine::GlyphMemoryUse() const {
    const GlyphBudget& budget = *impl_->glyphMemory;
    return {budget.Used(), budget.Capacity(), budget.Rasterised(), impl_->mapper.RememberedCharacters()};
}

std::int32_t TextEngine::CellHeight(const Font& font) const { return font.CellHeight(); }

std::int32_t TextEngine::Ascent(const Font& font) const { return font.Ascent(); }

}  // namespace paneloom::platform::lnx
