// The one search of the code page: what the configuration scanning
// (FindText) and the variables (through a TextFinder) both rely on.
#include "codepage/ansi_text.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace paneloom {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

TEST(FindText, LowestPositionFromTheCursorOrMinusOne) {
    EXPECT_EQ(0, FindText("<a><a>", "<a>", 0));
    EXPECT_EQ(3, FindText("<a><a>", "<a>", 1));
    EXPECT_EQ(-1, FindText("<a><a>", "<a>", 4));
    EXPECT_EQ(-1, FindText("<a", "<a>", 0));
    EXPECT_EQ(-1, FindText("", "x", 0));
    // Bytes compare exactly: case, zero bytes and high bytes alike.
    EXPECT_EQ(-1, FindText("<A>", "<a>", 0));
    EXPECT_EQ(2, FindText(std::string_view("a\0\xE9z", 4), std::string_view("\xE9z", 2), 0));
    // Under a single-byte code page every byte is a character of its own.
    EXPECT_EQ(1, FindText("\x81<a>", "<a>", 0));
}

TEST(FindText, CursorsOutsideTheTextFindNothingAndAnEmptyTextIsFoundAtTheCursor) {
    EXPECT_EQ(-1, FindText("abc", "a", -1));
    EXPECT_EQ(-1, FindText("abc", "", 4));
    EXPECT_EQ(3, FindText("abc", "", 3));
    EXPECT_EQ(1, FindText("abc", "", 1));
    EXPECT_EQ(0, FindText("", "", 0));
}

TEST(FindText, UnderADoubleByteCodePageOnlyCharacterBoundariesAreTried) {
    testing::FakeDoubleByteCodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);

    // "\x81<" is one character: its '<' begins no tag.
    EXPECT_EQ(-1, FindText("\x81<a>", "<a>", 0));
    EXPECT_EQ(4, FindText("\x81<a><a>", "<a>", 0));
    // A cursor inside a character counts from that character's end.
    EXPECT_EQ(4, FindText("\x81<a><a>", "<a>", 1));
    EXPECT_EQ(2, FindText("\x81<a>", "", 1));
    // A lead byte as the last byte does not run past the text.
    EXPECT_EQ(-1, FindText("ab\x81", "", 3));
    EXPECT_EQ(-1, FindText("ab\x81", "b\x81x", 0));
    EXPECT_EQ(1, FindText("ab\x81", "b", 0));
}

TEST(FindText, UnderUtf8MatchesNeitherBeginNorEndInsideACharacter) {
    testing::FakeUtf8CodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);

    // ASCII is never part of another character: a byte that is no UTF-8
    // stands alone and the name after it is found.
    EXPECT_EQ(4, FindText("Caf\xE9%OS%", "%OS%", 0));
    EXPECT_EQ(5, FindText("Caf\xC3\xA9%OS%", "%OS%", 0));
    // "\xA9" alone is a character, inside "\xC2\xA9" it is not.
    EXPECT_EQ(-1, FindText("\xC2\xA9", "\xA9", 0));
    EXPECT_EQ(3, FindText("\xC2\xA9 \xA9", "\xA9", 0));
    // Nor may a match end inside one.
    EXPECT_EQ(-1, FindText("x\xE4\xB8\xAD", "x\xE4\xB8", 0));
    EXPECT_EQ(0, FindText("x\xE4\xB8\xAD", "x\xE4\xB8\xAD", 0));
    // A cursor inside a character counts from that character's end.
    EXPECT_EQ(3, FindText("\xE2\x82\xAC", "", 1));
}

TEST(TextFinder, ServesRepeatedSearchesResumingAfterEachMatch) {
    const std::string text = "%OS%%OS%x%OS";
    const TextFinder finder("%OS%");
    EXPECT_EQ(0u, finder.Find(text, 0));
    EXPECT_EQ(4u, finder.Find(text, 4));
    EXPECT_EQ(kNone, finder.Find(text, 8));
    EXPECT_EQ(kNone, finder.Find(text, text.size() + 1));
}

TEST(TextFinder, UnderADoubleByteCodePageWalksWholeCharactersFromTheCursor) {
    testing::FakeDoubleByteCodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);

    // From 0, "\x81@" is one character; resumed from 1 (the end of a match
    // that ended there), the '@' begins the next character.
    const TextFinder finder("@X@");
    EXPECT_EQ(5u, finder.Find("\x81@X@ @X@", 0));
    EXPECT_EQ(1u, finder.Find("\x81@X@ @X@", 1));
    EXPECT_EQ(kNone, finder.Find("@X\x81", 0));
}

}  // namespace
}  // namespace paneloom
