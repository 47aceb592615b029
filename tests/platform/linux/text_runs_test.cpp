// How a line's characters are bounded and cut before shaping, on code
// points given here.
#include "platform/linux/text/runs.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace paneloom::platform::lnx {
namespace {

std::u32string Repeat(char32_t code, std::size_t count) { return std::u32string(count, code); }

TEST(TextRuns, ClustersKeepAtMostThirtyContinuingCharacters) {
    const std::u32string acute = Repeat(U'\u0301', 30);
    struct Case {
        const char* what;
        std::u32string line;
        std::u32string kept;
    };
    const Case cases[] = {
        {"plain text", U"Hello, World", U"Hello, World"},
        {"thirty marks", U"a" + acute + U"b", U"a" + acute + U"b"},
        {"thirty-one marks", U"a" + acute + U"\u0327b", U"a" + acute + U"b"},
        {"seventy thousand shaddas", U"\u0628" + Repeat(U'\u0651', 70000) + U"\u0628",
         U"\u0628" + Repeat(U'\u0651', 30) + U"\u0628"},
        {"counted afresh after each letter", U"a" + acute + U"\u0301a" + acute + U"\u0301",
         U"a" + acute + U"a" + acute},
        {"marks of class 0", U"\u0915" + Repeat(U'\u0941', 40), U"\u0915" + Repeat(U'\u0941', 30)},
        {"spacing marks", U"\u0915" + Repeat(U'\u093F', 31), U"\u0915" + Repeat(U'\u093F', 30)},
        {"enclosing marks", U"1" + Repeat(U'\u20DD', 31), U"1" + Repeat(U'\u20DD', 30)},
        {"joiners and marks together", U"\u0644" + Repeat(U'\u200D', 20) + Repeat(U'\u064B', 20) + U"\u0627",
         U"\u0644" + Repeat(U'\u200D', 20) + Repeat(U'\u064B', 10) + U"\u0627"},
        {"no letter before", Repeat(U'\u0301', 35) + U"x", acute + U"x"},
        {"a space begins a cluster", U" " + Repeat(U'\u0301', 31), U" " + acute},
        {"empty", U"", U""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::u32string line = c.line;
        BoundClusters(line);
        EXPECT_EQ(line, c.kept);
    }
}

TEST(TextRuns, LongRunsAreShapedInPiecesCutAtClusterBoundaries) {
    const std::size_t max = kMaxShapedCharacters;
    // Arabic words of five letters and a space.
    std::u32string words;
    while (words.size() < 3 * max) words += U"\u0628\u0633\u0645\u0627\u0621 ";
    // Letters each followed by two marks, and no space.
    std::u32string marked;
    while (marked.size() < 3 * max) marked += U"\u0628\u0651\u064E";
    struct Case {
        const char* what;
        std::u32string line;
        std::size_t begin;
        std::size_t end;
        std::size_t pieceEnd;
    };
    const Case cases[] = {
        {"short run: one piece", U"abc", 0, 3, 3},
        {"exactly the limit: one piece", Repeat(U'\u0628', max), 0, max, max},
        {"one more: cut at the limit", Repeat(U'\u0628', max + 1), 0, max + 1, max},
        {"from inside the line", Repeat(U'\u0628', 3 * max), 10, 3 * max, 10 + max},
        {"after the space before the limit", words, 0, words.size(), max / 6 * 6},
        {"before a letter, not a mark", marked, 0, marked.size(), max / 3 * 3},
        {"a space followed by a mark is no cut", Repeat(U'x', max - 2) + U" \u0301\u0301x", 0, max + 2, max - 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t pieceEnd = ShapingPieceEnd(c.line, c.begin, c.end);
        EXPECT_EQ(pieceEnd, c.pieceEnd);
        EXPECT_GT(pieceEnd, c.begin);
        EXPECT_LE(pieceEnd - c.begin, max);
        if (pieceEnd < c.end) {
            EXPECT_FALSE(ContinuesCluster(c.line[pieceEnd]));
        }
    }
}

}  // namespace
}  // namespace paneloom::platform::lnx
