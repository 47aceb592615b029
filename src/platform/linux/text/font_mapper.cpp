#include "platform/linux/text/font_mapper.h"

#include <cstdlib>
#include <utility>

#include "platform/linux/text/face_memo.h"

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

FontMapper::FontMapper() = default;

FontMapper::~FontMapper() {
    for (auto& [key, list] : fallbacks_)
        if (list.fonts != nullptr) FcFontSetDestroy(list.fonts);
    if (config_ != nullptr) FcConfigDestroy(config_);
}

void FontMapper::KeepAnswersIn(std::string path) {
    memoPath_ = std::move(path);
    memoRead_ = false;
    memo_.clear();
}

bool FontMapper::LoadConfiguration() {
    if (config_ == nullptr && !configFailed_) {
        config_ = FcInitLoadConfigAndFonts();
        configFailed_ = config_ == nullptr;
        // Made current so that fontconfig's own helpers use this
        // configuration rather than loading a second copy.
        if (config_ != nullptr) FcConfigSetCurrent(config_);
    }
    return config_ != nullptr;
}

const FaceMatch& FontMapper::Match(const std::string& face, int weight, const FaceCheck& usable) {
    const auto key = std::make_pair(face, weight);
    auto it = matches_.find(key);
    if (it != matches_.end()) return it->second;
    const FaceMatch* known = Remembered(key);
    if (known != nullptr && usable(known->file, known->index)) return matches_.emplace(key, *known).first->second;
    FaceMatch found = Find(face, weight, usable);
    Remember(key, found);
    return matches_.emplace(key, std::move(found)).first->second;
}

const FaceMatch* FontMapper::Remembered(const std::pair<std::string, int>& key) {
    if (!memoRead_) {
        memoRead_ = true;
        memo_ = ReadFaceMemo(memoPath_, std::getenv);
    }
    const auto it = memo_.find(key);
    return it == memo_.end() ? nullptr : &it->second;
}

void FontMapper::Remember(const std::pair<std::string, int>& key, const FaceMatch& match) {
    if (memoPath_.empty() || !match.found || config_ == nullptr) return;
    // A memo that has grown past what any configuration asks for keeps only
    // this answer: the others come back as they are asked for again.
    if (memo_.size() >= kRememberedFaces) memo_.clear();
    memo_[key] = match;
    WriteFaceMemo(memoPath_, config_, memo_, std::getenv);
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

FaceMatch FontMapper::Find(const std::string& face, int weight, const FaceCheck& usable) {
    FaceMatch match;
    if (!LoadConfiguration()) return match;
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
    if (!LoadConfiguration()) return none_;
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
