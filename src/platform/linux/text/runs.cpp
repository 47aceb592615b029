#include "platform/linux/text/runs.h"

#include <algorithm>

namespace paneloom::platform::lnx {

namespace {

// Hebrew's block begins the scripts that may be shaped or run right to left.
constexpr char32_t kFirstShapedCode = 0x0590;

bool TakesNeighbourScript(hb_script_t script) {
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

}  // namespace

bool ContinuesCluster(char32_t code, ShapingSource shaping) {
    if (code < 0x0300) return false;  // Latin-1 and the spacing letters: no marks
    if (code == 0x200C || code == 0x200D) return true;
    const ShapingLibrary* hb = shaping();
    if (hb == nullptr) return false;
    hb_unicode_funcs_t* unicode = hb->hb_unicode_funcs_get_default();
    if (hb->hb_unicode_combining_class(unicode, code) != HB_UNICODE_COMBINING_CLASS_NOT_REORDERED) return true;
    switch (hb->hb_unicode_general_category(unicode, code)) {
        case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
        case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
        case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
            return true;
        default:
            return false;
    }
}

void BoundClusters(std::u32string& codes, ShapingSource shaping) {
    std::size_t kept = 0;
    std::size_t continuing = 0;
    for (const char32_t code : codes) {
        if (ContinuesCluster(code, shaping)) {
            if (++continuing > kMaxContinuingCharacters) continue;
        } else {
            continuing = 0;
        }
        codes[kept++] = code;
    }
    codes.resize(kept);
}

std::size_t ShapingPieceEnd(const std::u32string& codes, std::size_t begin, std::size_t end,
                            ShapingSource shaping) {
    if (end - begin <= kMaxShapedCharacters) return end;
    const std::size_t limit = begin + kMaxShapedCharacters;
    // After a space near the limit: few fonts look across one.
    for (std::size_t cut = limit; cut > begin && limit - cut <= kMaxContinuingCharacters; --cut)
        if (codes[cut - 1] == U' ' && !ContinuesCluster(codes[cut], shaping)) return cut;
    for (std::size_t cut = limit; cut > begin; --cut)
        if (!ContinuesCluster(codes[cut], shaping)) return cut;
    // Only a cluster longer than the limit, which BoundClusters prevents.
    return limit;
}

bool NeedsNoAnalysis(const std::u32string& codes) {
    return std::all_of(codes.begin(), codes.end(), [](char32_t code) { return code < kFirstShapedCode; });
}

std::vector<std::uint8_t> BidiLevels(const std::u32string& codes, ShapingSource shaping) {
    std::vector<std::uint8_t> levels(codes.size(), 0);
    if (codes.empty()) return levels;
    const ShapingLibrary* bidi = shaping();
    if (bidi == nullptr) return levels;
    const auto length = static_cast<FriBidiStrIndex>(codes.size());
    const auto* text = reinterpret_cast<const FriBidiChar*>(codes.data());
    std::vector<FriBidiCharType> types(codes.size());
    std::vector<FriBidiBracketType> brackets(codes.size());
    std::vector<FriBidiLevel> resolved(codes.size());
    bidi->fribidi_get_bidi_types(text, length, types.data());
    bidi->fribidi_get_bracket_types(text, length, types.data(), brackets.data());
    FriBidiParType base = FRIBIDI_PAR_LTR;
    if (bidi->fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), length, &base, resolved.data()) == 0)
        return levels;
    for (std::size_t i = 0; i < codes.size(); ++i) levels[i] = static_cast<std::uint8_t>(std::max<int>(resolved[i], 0));
    return levels;
}

std::vector<hb_script_t> Scripts(const std::u32string& codes, ShapingSource shaping) {
    std::vector<hb_script_t> scripts(codes.size(), HB_SCRIPT_COMMON);
    const ShapingLibrary* hb = shaping();
    if (hb == nullptr) return scripts;
    hb_unicode_funcs_t* unicode = hb->hb_unicode_funcs_get_default();
    hb_script_t current = HB_SCRIPT_COMMON;
    std::size_t firstReal = codes.size();
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const hb_script_t own = hb->hb_unicode_script(unicode, codes[i]);
        if (!TakesNeighbourScript(own)) {
            current = own;
            if (firstReal == codes.size()) firstReal = i;
        }
        scripts[i] = current;
    }
    for (std::size_t i = 0; i < firstReal && firstReal < codes.size(); ++i) scripts[i] = scripts[firstReal];
    return scripts;
}

bool NeedsShaping(hb_script_t script) {
    switch (script) {
        case HB_SCRIPT_COMMON:
        case HB_SCRIPT_INHERITED:
        case HB_SCRIPT_UNKNOWN:
        case HB_SCRIPT_LATIN:
        case HB_SCRIPT_GREEK:
        case HB_SCRIPT_CYRILLIC:
        case HB_SCRIPT_ARMENIAN:
        case HB_SCRIPT_GEORGIAN:
        case HB_SCRIPT_HAN:
        case HB_SCRIPT_HIRAGANA:
        case HB_SCRIPT_KATAKANA:
        case HB_SCRIPT_BOPOMOFO:
        case HB_SCRIPT_HANGUL:
            return false;
        default:
            return true;
    }
}

void ReorderRuns(std::vector<TextRun>& runs) {
    if (runs.empty()) return;
    std::uint8_t highest = 0;
    std::uint8_t lowestOdd = 0xFF;
    for (const TextRun& run : runs) {
        highest = std::max(highest, run.level);
        if (run.level % 2 == 1) lowestOdd = std::min(lowestOdd, run.level);
    }
    for (int level = highest; level >= lowestOdd && level > 0; --level) {
        for (std::size_t i = 0; i < runs.size();) {
            if (runs[i].level < level) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < runs.size() && runs[end].level >= level) ++end;
            std::reverse(runs.begin() + static_cast<std::ptrdiff_t>(i), runs.begin() + static_cast<std::ptrdiff_t>(end));
            i = end;
        }
    }
}

}  // namespace paneloom::platform::lnx
