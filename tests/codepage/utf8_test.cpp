// UTF-8 read as the Linux build's code page: well-formed sequences are
// characters, every other byte its Windows-1252 character.
#include "common/utf8.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace paneloom {
namespace {

// The code points of a text, one after another.
std::u32string Characters(std::string_view text) {
    std::u32string codes;
    for (std::size_t position = 0; position < text.size();) {
        const Utf8Character character = DecodeCharacter(text, position);
        codes.push_back(character.code);
        position += character.length;
    }
    return codes;
}

TEST(Utf8, WellFormedSequencesAreOneCharacterEach) {
    EXPECT_EQ(U"plain", Characters("plain"));
    EXPECT_EQ(U"M\u00FCller \u20AC \u2122 \u0178", Characters("M\xC3\xBCller \xE2\x82\xAC \xE2\x84\xA2 \xC5\xB8"));
    EXPECT_EQ(U"\u00A0\u00FF\u0081", Characters("\xC2\xA0\xC3\xBF\xC2\x81"));
    EXPECT_EQ(U"\u65E5 \U0001F600", Characters("\xE6\x97\xA5 \xF0\x9F\x98\x80"));
}

TEST(Utf8, EveryOtherByteIsItsWindows1252Character) {
    EXPECT_EQ(U"Caf\u00E9", Characters("Caf\xE9"));
    EXPECT_EQ(U"\u00FC", Characters("\xFC"));
    EXPECT_EQ(U"\u00C3a", Characters("\xC3" "a"));
    EXPECT_EQ(U"\u00C0\u00AF", Characters("\xC0\xAF"));                // overlong '/'
    EXPECT_EQ(U"\u00ED\u00A0\u20AC", Characters("\xED\xA0\x80"));      // a surrogate
    EXPECT_EQ(U"\u00F4\u0090\u20AC\u20AC", Characters("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_EQ(U"\u00E2\u201A", Characters("\xE2\x82"));               // cut short at the end
    EXPECT_EQ(0u, DecodeCharacter("a", 1).length);
}

TEST(Utf8, BoundariesAndCutsKeepCharactersWhole) {
    const std::string_view text = "a\xE2\x82\xAC\xA9z";  // a, euro sign, a lone byte, z
    EXPECT_TRUE(IsCharacterBoundary(text, 0));
    EXPECT_TRUE(IsCharacterBoundary(text, 1));
    EXPECT_FALSE(IsCharacterBoundary(text, 2));
    EXPECT_FALSE(IsCharacterBoundary(text, 3));
    EXPECT_TRUE(IsCharacterBoundary(text, 4));
    EXPECT_TRUE(IsCharacterBoundary(text, 5));
    EXPECT_TRUE(IsCharacterBoundary(text, 6));
    EXPECT_EQ(1u, BoundaryAtOrBefore(text, 3));
    EXPECT_EQ(4u, BoundaryAtOrAfter(text, 2));
    EXPECT_EQ(6u, BoundaryAtOrBefore(text, 99));

    EXPECT_EQ("Caf\xC3\xA9 \xE2\x82\xAC", ToWellFormedUtf8("Caf\xE9 \x80"));
    EXPECT_EQ("\xC3\xA9", ToWellFormedUtf8("\xC3\xA9"));
    std::string surrogate;
    AppendUtf8(surrogate, 0xD800);
    EXPECT_EQ("\xEF\xBF\xBD", surrogate);
}

}  // namespace
}  // namespace paneloom
