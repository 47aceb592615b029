#include "common/unicode_case.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "common/utf8.h"

namespace paneloom {

namespace {

// Characters first to last, every stride-th of them, map to themselves plus
// the offset.
struct CaseRange {
    char32_t first;
    char32_t last;
    std::int32_t offset;
    std::int32_t stride;
};

#include "common/unicode_case_table.inc"

template <std::size_t N>
char32_t Map(const CaseRange (&ranges)[N], char32_t code) {
    const CaseRange* range = std::upper_bound(std::begin(ranges), std::end(ranges), code,
                                              [](char32_t c, const CaseRange& r) { return c < r.first; });
    if (range == std::begin(ranges)) return code;
    --range;
    if (code > range->last || (code - range->first) % static_cast<char32_t>(range->stride) != 0) return code;
    return static_cast<char32_t>(static_cast<std::int64_t>(code) + range->offset);
}

// Maps each character of a text to its other case. A character that
// changes is written back in UTF-8; every other keeps its bytes, so a byte
// that stands alone for its Windows-1252 character stays one byte unless
// its case changes. (Writing the changed one as a single byte could make a
// well-formed sequence with the bytes around it, which would then read as
// another character.)
template <typename Mapping>
void MapCase(std::string& text, Mapping mapping) {
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        for (char& c : text) c = static_cast<char>(mapping(static_cast<unsigned char>(c)));
        return;
    }
    std::string mapped;
    mapped.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const Utf8Character character = DecodeCharacter(text, position);
        char32_t other = mapping(character.code);
        if (other < 0x80 && character.code >= 0x80) other = character.code;
        if (other == character.code) {
            mapped.append(text, position, character.length);
        } else {
            AppendUtf8(mapped, other);
        }
        position += character.length;
    }
    text.swap(mapped);
}

}  // namespace

char32_t SimpleUpperCase(char32_t code) {
    if (code < 0x80) return code >= 'a' && code <= 'z' ? code - 32 : code;
    return Map(kUpperRanges, code);
}

char32_t SimpleLowerCase(char32_t code) {
    if (code < 0x80) return code >= 'A' && code <= 'Z' ? code + 32 : code;
    return Map(kLowerRanges, code);
}

void ToUpperUtf8(std::string& text) { MapCase(text, SimpleUpperCase); }

void ToLowerUtf8(std::string& text) { MapCase(text, SimpleLowerCase); }

}  // namespace paneloom
