// How a line of characters falls into runs before it is drawn: the Unicode
// bidirectional algorithm's levels (FriBidi), each character's script
// (HarfBuzz's Unicode data), which runs need shaping, and the order runs
// appear in from left to right. The line's base direction is left to right,
// as GDI's text output has it.
#pragma once

#include <hb.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace paneloom::platform::lnx {

// True when no character of the line can need shaping or reordering, so it
// is laid out without the analysis below: every code point lies below
// Hebrew's block, where the first script that may need either begins.
bool NeedsNoAnalysis(const std::u32string& codes);

// The embedding level of each character: even left to right, odd right to
// left.
std::vector<std::uint8_t> BidiLevels(const std::u32string& codes);

// The script of each character; characters common to scripts (spaces,
// digits, punctuation) and combining marks take the script of the character
// before them, or at the start of the line that of the first one after.
std::vector<hb_script_t> Scripts(const std::u32string& codes);

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
