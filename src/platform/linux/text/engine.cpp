#include "platform/linux/text/engine.h"

#include <algorithm>
#include <deque>
#include <tuple>
#include <utility>

#include "common/saturate.h"
#include "platform/linux/drawing/compositing.h"
#include "platform/linux/text/faces.h"
#include "platform/linux/text/font_mapper.h"
#include "platform/linux/text/glyphs.h"

namespace paneloom::platform::lnx {

namespace {

// Fonts made recently are kept and handed out again for the same logical
// font: a run makes one font per text item, mostly the same one.
constexpr std::size_t kKeptFonts = 8;

// Pen positions and extents are summed in 64 bits and kept within this bound
// so that no string length or spacing can overflow them.
constexpr std::int64_t kPositionLimit = std::int64_t{1} << 60;

std::int64_t AddPosition(std::int64_t a, std::int64_t b) {
    return std::clamp<std::int64_t>(a + b, -kPositionLimit, kPositionLimit);
}

}  // namespace

struct Font::State {
    FaceMatch match;
    std::string requested;
    FontMetrics metrics;
    std::unique_ptr<GlyphCache> glyphs;

    std::int64_t Width(const std::string& text, std::int32_t charExtra) {
        std::int64_t total = 0;
        for (const char c : text)
            total = AddPosition(total, std::int64_t{glyphs->Get(static_cast<unsigned char>(c)).advance} + charExtra);
        return total;
    }
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
    FaceStore faces;
    FontMapper mapper;
    // The fonts made last, by (height as made, weight, requested face);
    // the most recent at the back.
    using FontKey = std::tuple<std::int64_t, int, std::string>;
    std::deque<std::pair<FontKey, std::shared_ptr<Font>>> kept;
};

TextEngine::TextEngine() : impl_(std::make_unique<Impl>()) {}

TextEngine::~TextEngine() = default;

TextEngine& TextEngine::Instance() {
    static TextEngine engine;
    return engine;
}

std::shared_ptr<Font> TextEngine::CreateFont(const LogFontSpec& spec) {
    Impl& impl = *impl_;
    if (!impl.faces.Ready() || !impl.mapper.Ready()) return nullptr;

    auto state = std::make_unique<Font::State>();
    state->requested = RequestedFaceName(spec.face);
    const int weight = EffectiveWeight(spec.weight);
    const std::int64_t madeHeight = MadeHeight(spec.height);
    const Impl::FontKey fontKey{madeHeight, weight, state->requested};
    for (const auto& [key, font] : impl.kept)
        if (key == fontKey) return font;

    const FaceMatch& match = impl.mapper.Match(state->requested, weight, [&impl](const std::string& file, int index) {
        return impl.faces.Open(file, index) != nullptr;
    });
    if (!match.found) return nullptr;
    std::shared_ptr<Face> face = impl.faces.Open(match.file, match.index);
    if (!face) return nullptr;
    state->match = match;
    state->metrics = SizeFont(face->metrics, madeHeight, weight);
    state->glyphs = GlyphCache::Make(std::move(face), state->metrics.em, state->metrics.syntheticBold);
    if (!state->glyphs) return nullptr;

    auto font = std::shared_ptr<Font>(new Font(std::move(state)));
    if (impl.kept.size() >= kKeptFonts) impl.kept.pop_front();
    impl.kept.emplace_back(fontKey, font);
    return font;
}

TextEngine::Extent TextEngine::Measure(const Font& font, const std::string& text, std::int32_t charExtra) {
    return Extent{SaturateToInt32(font.state_->Width(text, charExtra)), font.CellHeight()};
}

void TextEngine::Draw(Dib& dib, const Font& font, std::int32_t x, std::int32_t y, const std::string& text,
                      const DrawState& drawState) {
    if (!dib.Valid()) return;
    Font::State& state = *font.state_;

    if (drawState.backgroundMode == BackgroundMode::kOpaque) {
        const std::int64_t width = state.Width(text, drawState.charExtra);
        FillRect(dib, x, y, std::int64_t{x} + width, std::int64_t{y} + font.CellHeight(), drawState.bkColor);
    }

    const std::int64_t baseline = std::int64_t{y} + state.metrics.ascent;
    std::int64_t pen = x;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        state.glyphs->Draw(dib, byte, pen, baseline, drawState.textColor);
        pen = AddPosition(pen, std::int64_t{state.glyphs->Get(byte).advance} + drawState.charExtra);
    }
}

std::int32_t TextEngine::CellHeight(const Font& font) const { return font.CellHeight(); }

std::int32_t TextEngine::Ascent(const Font& font) const { return font.Ascent(); }

}  // namespace paneloom::platform::lnx
