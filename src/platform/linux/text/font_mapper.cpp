#include "platform/linux/text/font_mapper.h"

namespace paneloom::platform::lnx {

namespace {

bool TryCandidate(FcPattern* candidate, const FontMapper::FaceCheck& usable, FaceMatch& out) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(candidate, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) return false;
    int index = 0;
    FcPatternGetInteger(candidate, FC_INDEX, 0, &index);
    if (!usable(reinterpret_cast<const char*>(file), index)) return false;
    out.found = true;
    out.file = reinterpret_cast<const char*>(file);
    out.index = index;
    FcChar8* family = nullptr;
    if (FcPatternGetString(candidate, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr)
        out.family = reinterpret_cast<const char*>(family);
    return true;
}

}  // namespace

FontMapper::FontMapper() {
    // Made current so that fontconfig's own helpers use this configuration
    // rather than loading a second copy.
    config_ = FcInitLoadConfigAndFonts();
    if (config_ != nullptr) FcConfigSetCurrent(config_);
}

FontMapper::~FontMapper() {
    for (auto& [key, list] : fallbacks_)
        if (list.fonts != nullptr) FcFontSetDestroy(list.fonts);
    if (config_ != nullptr) FcConfigDestroy(config_);
}

const FaceMatch& FontMapper::Match(const std::string& face, int weight, const FaceCheck& usable) {
    const auto key = std::make_pair(face, weight);
    auto it = matches_.find(key);
    if (it == matches_.end()) it = matches_.emplace(key, Find(face, weight, usable)).first;
    return it->second;
}

FcPattern* FontMapper::Request(const std::string& face, int weight) const {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return nullptr;
    if (!face.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(config_, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

FaceMatch FontMapper::Find(const std::string& face, int weight, const FaceCheck& usable) const {
    FaceMatch match;
    if (config_ == nullptr) return match;
    FcPattern* pattern = Request(face, weight);
    if (pattern == nullptr) return match;

    FcResult result = FcResultNoMatch;
    if (FcPattern* best = FcFontMatch(config_, pattern, &result)) {
        TryCandidate(best, usable, match);
        FcPatternDestroy(best);
    }
    if (!match.found) {
        // The best face cannot be used (unreadable, bitmap only): take the
        // next ones in order of preference.
        if (FcFontSet* sorted = FcFontSort(config_, pattern, FcFalse, nullptr, &result)) {
            for (int i = 0; i < sorted->nfont && !match.found; ++i) TryCandidate(sorted->fonts[i], usable, match);
            FcFontSetDestroy(sorted);
        }
    }
    FcPatternDestroy(pattern);
    return match;
}

const FaceMatch& FontMapper::Fallback(const std::string& face, int weight, char32_t code, const FaceCheck& usable) {
    if (config_ == nullptr) return none_;
    const auto key = std::make_pair(face, weight);
    auto listIt = fallbacks_.find(key);
    if (listIt == fallbacks_.end()) {
        FallbackList list;
        if (FcPattern* pattern = Request(face, weight)) {
            FcResult result = FcResultNoMatch;
            // Trimmed: a face that adds no character to those before it is
            // never the first to have one.
            list.fonts = FcFontSort(config_, pattern, FcTrue, nullptr, &result);
            FcPatternDestroy(pattern);
        }
        const std::size_t count = list.fonts != nullptr ? static_cast<std::size_t>(list.fonts->nfont) : 0;
        list.matches.resize(count);
        list.tried.resize(count, false);
        listIt = fallbacks_.emplace(key, std::move(list)).first;
    }
    FallbackList& list = listIt->second;
    if (list.byCharacter.size() >= kRememberedCharacters && list.byCharacter.count(code) == 0) {
        list.byCharacter.clear();
    }
    const auto [found, added] = list.byCharacter.emplace(code, -1);
    if (added) {
        for (std::size_t i = 0; i < list.matches.size(); ++i) {
            FcCharSet* characters = nullptr;
            if (FcPatternGetCharSet(list.fonts->fonts[i], FC_CHARSET, 0, &characters) != FcResultMatch ||
                !FcCharSetHasChar(characters, code))
                continue;
            if (!list.tried[i]) {
                list.tried[i] = true;
                TryCandidate(list.fonts->fonts[i], usable, list.matches[i]);
            }
            if (list.matches[i].found) {
                found->second = static_cast<int>(i);
                break;
            }
        }
    }
    return found->second < 0 ? none_ : list.matches[static_cast<std::size_t>(found->second)];
}

std::size_t FontMapper::RememberedCharacters() const {
    std::size_t count = 0;
    for (const auto& entry : fallbacks_) count += entry.second.byCharacter.size();
    return count;
}

}  // namespace paneloom::platform::lnx
