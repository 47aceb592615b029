// How a line of characters falls into runs before it is drawn: the Unicode
// bidirectional algorithm's levels (FriBidi), each character's script
// (HarfBuzz's Unicode data), which runs need shaping, and the order runs
// appear in from left to right. The line's base direction is left to right,
// as GDI's text output has it. Without the libraries (`shaping` answers
// nullptr) every character is of a simple script, left to right, and only
// the joiners continue a cluster.
#pragma once

#include "platform/linux/text/shaping_library.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace paneloom::platform::lnx {

// True when no character of the line can need shaping or reordering, so it
// is laid out without the analysis below: every code point lies below
// Hebrew's block, where the first script that may need either begins.
bool NeedsNoAnalysis(const std::u32string& codes);

// At most this many characters continue a cluster after the character that
// begins it, as Unicode's stream-safe format bounds the non-starters after
// a starter; the rest are left out of the layout. Here every mark and
// joiner counts, of combining class 0 or not: HarfBuzz attaches marks of
// either kind to the letter before them, and a cluster of unbounded length
// costs it time out of proportion (and, far enough, its own assertions).
inline constexpr std::size_t kMaxContinuingCharacters = 30;

// The most characters handed to HarfBuzz in one call; a longer run is
// shaped in pieces, each cut at a cluster boundary, after a space where one
// lies near the limit.
inline constexpr std::size_t kMaxShapedCharacters = 1024;

// True for a character that belongs to the cluster of the one before it: a
// combining mark (a nonzero combining class, or a mark's general category)
// or a zero-width joiner or non-joiner.
bool ContinuesCluster(char32_t code, ShapingSource shaping = SystemShaping);

// Leaves out of `codes` each character that continues a cluster beyond the
// first kMaxContinuingCharacters in a row; the line's other characters keep
// their order. Linear in the line's length.
void BoundClusters(std::u32string& codes, ShapingSource shaping = SystemShaping);

// Where the first piece of [begin, end) that is shaped in one call ends:
// `end` when the stretch holds at most kMaxShapedCharacters, else the last
// cluster boundary at or before that many characters, preferring the one
// after a space within the last kMaxContinuingCharacters + 1 characters.
// Always more than `begin` when end > begin.
std::size_t ShapingPieceEnd(const std::u32string& codes, std::size_t begin, std::size_t end,
                            ShapingSource shaping = SystemShaping);

// The embedding level of each character: even left to right, odd right to
// left.
std::vector<std::uint8_t> BidiLevels(const std::u32string& codes, ShapingSource shaping = SystemShaping);

// The script of each character; characters common to scripts (spaces,
// digits, punctuation) and combining marks take the script of the character
// before them, or at the start of the line that of the first one after.
std::vector<hb_script_t> Scripts(const std::u32string& codes, ShapingSource shaping = SystemShaping);

// True for the scripts whose letters join, reorder or combine (Arabic,
// Hebrew, the Indic scripts and the rest): all but Latin, Greek, Cyrillic,
// Armenian, Georgian and the CJK scripts, which keep GDI's advances.
bool NeedsShaping(hb_script_t script);

// A stretch of characters [begin, end), in logical order, drawn together.
struct TextRun {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::uint8_t level = 0;
};

// The runs' order from left to right: by the bidirectional algorithm's rule
// L2, from the highest level down to the lowest odd one, each stretch of
// runs at that level or above is reversed.
void ReorderRuns(std::vector<TextRun>& runs);

}  // namespace paneloom::platform::lnx
