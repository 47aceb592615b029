#include "platform/linux/codepage/unicode_case.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace paneloom::platform::lnx {

namespace {

// Characters first to last, every stride-th of them, map to themselves plus
// the offset.
struct CaseRange {
    char32_t first;
    char32_t last;
    std::int32_t offset;
    std::int32_t stride;
};

#include "platform/linux/codepage/unicode_case_table.inc"

template <std::size_t N>
char32_t Map(const CaseRange (&ranges)[N], char32_t code) {
    const CaseRange* range = std::upper_bound(std::begin(ranges), std::end(ranges), code,
                                              [](char32_t c, const CaseRange& r) { return c < r.first; });
    if (range == std::begin(ranges)) return code;
    --range;
    if (code > range->last || (code - range->first) % static_cast<char32_t>(range->stride) != 0) return code;
    return static_cast<char32_t>(static_cast<std::int64_t>(code) + range->offset);
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

}  // namespace paneloom::platform::lnx
