#include "config/markup.h"

#include <gtest/gtest.h>

#include "common/utf16.h"
#include "support/fakes.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::ScratchDir;

TEST(GetAttribute, NameIsPlainTextFoundAnywhere) {
    std::string value;
    // "x" is first found inside the tag name, and the first "=" after it belongs to y.
    ASSERT_TRUE(GetAttribute("<textstart y=\"10\" x=\"20\" />", "x", value));
    EXPECT_EQ("10", value);
    ASSERT_TRUE(GetAttribute("<textstart x=\"20\" y=\"10\" />", "x", value));
    EXPECT_EQ("20", value);
    ASSERT_TRUE(GetAttribute("<inputbmp value=\"a\" name=\"b\" />", "name", value));
    EXPECT_EQ("b", value);
    ASSERT_TRUE(GetAttribute("<inputbmp filename=\"a\" />", "name", value));
    EXPECT_EQ("a", value);
}

TEST(GetAttribute, ValueIsRawAndMissingPiecesLeaveItUntouched) {
    std::string value = "kept";
    EXPECT_TRUE(GetAttribute("<a v = \"  x&amp; \" />", "v", value));
    EXPECT_EQ("  x&amp; ", value);
    value = "kept";
    EXPECT_FALSE(GetAttribute("<a v='x' />", "v", value));
    EXPECT_FALSE(GetAttribute("<a v=\"unterminated />", "v", value));
    EXPECT_FALSE(GetAttribute("<a w=\"x\" />", "v", value));
    EXPECT_FALSE(GetAttribute("<a v />", "v", value));
    EXPECT_EQ("kept", value);
    EXPECT_TRUE(GetAttribute("<a v=\"\" />", "v", value));
    EXPECT_EQ("", value);
}

TEST(GetIntAttribute, ReadsLikeScanfDecimal) {
    std::int32_t n = 99;
    EXPECT_TRUE(GetIntAttribute("<a v=\"+7\"/>", "v", n));
    EXPECT_EQ(7, n);
    EXPECT_TRUE(GetIntAttribute("<a v=\" -3\"/>", "v", n));
    EXPECT_EQ(-3, n);
    EXPECT_TRUE(GetIntAttribute("<a v=\"12px\"/>", "v", n));
    EXPECT_EQ(12, n);
    n = 99;
    EXPECT_FALSE(GetIntAttribute("<a v=\"abc\"/>", "v", n));
    EXPECT_FALSE(GetIntAttribute("<a v=\"\"/>", "v", n));
    EXPECT_FALSE(GetIntAttribute("<a v=\"-\"/>", "v", n));
    EXPECT_FALSE(GetIntAttribute("<a w=\"5\"/>", "v", n));
    EXPECT_EQ(99, n);
}

TEST(GetIntAttribute, OutOfRangeValuesAreHeldAtTheLimits) {
    std::int32_t n = 0;
    EXPECT_TRUE(GetIntAttribute("<a v=\"99999999999999999999\"/>", "v", n));
    EXPECT_EQ(2147483647, n);
    EXPECT_TRUE(GetIntAttribute("<a v=\"-2147483648\"/>", "v", n));
    EXPECT_EQ(-2147483647 - 1, n);
    EXPECT_TRUE(GetIntAttribute("<a v=\"-99999999999\"/>", "v", n));
    EXPECT_EQ(-2147483647 - 1, n);
}

TEST(GetHexAttribute, ReadsLikeScanfHex) {
    std::uint32_t n = 1;
    EXPECT_TRUE(GetHexAttribute("<a v=\"c8c8c8\"/>", "v", n));
    EXPECT_EQ(0xC8C8C8u, n);
    EXPECT_TRUE(GetHexAttribute("<a v=\"0xff\"/>", "v", n));
    EXPECT_EQ(0xFFu, n);
    EXPECT_TRUE(GetHexAttribute("<a v=\"abc\"/>", "v", n));
    EXPECT_EQ(0xABCu, n);
    EXPECT_TRUE(GetHexAttribute("<a v=\"0x\"/>", "v", n));
    EXPECT_EQ(0u, n);
    EXPECT_TRUE(GetHexAttribute("<a v=\"-1\"/>", "v", n));
    EXPECT_EQ(0xFFFFFFFFu, n);
    n = 5;
    EXPECT_FALSE(GetHexAttribute("<a v=\"xyz\"/>", "v", n));
    EXPECT_EQ(5u, n);
}

TEST(FindElement, ContentModeWalksElementsOfOneName) {
    const std::string text = "<output>A</output><output>B</output>";
    std::string piece;
    std::int32_t cursor = 0, end = -1;
    ASSERT_TRUE(FindElement(text, "output", piece, cursor, end, ContentMode));
    EXPECT_EQ("A", piece);
    EXPECT_EQ(8, cursor);
    EXPECT_EQ(9, end);
    cursor = end;
    ASSERT_TRUE(FindElement(text, "output", piece, cursor, end, ContentMode));
    EXPECT_EQ("B", piece);
    cursor = end;
    EXPECT_FALSE(FindElement(text, "output", piece, cursor, end, ContentMode));
    EXPECT_EQ("", piece);
    EXPECT_EQ(-1, cursor);
}

TEST(FindElement, ModesAndTheirQuirks) {
    std::string piece = "stale";
    std::int32_t cursor = 0, end = 0;
    ASSERT_TRUE(FindElement("<textat/>", "textat", piece, cursor, end, SelfClosingMode));
    EXPECT_EQ("", piece);

    cursor = 0;
    ASSERT_TRUE(FindElement("x<textat x=\"1\" />", "textat", piece, cursor, end, SelfClosingMode));
    EXPECT_EQ("x=\"1\" ", piece);
    EXPECT_EQ(9, cursor);

    cursor = 0;
    ASSERT_TRUE(FindElement("<textline align=\"right\">hi</textline>", "textline", piece, cursor, end,
                             StartTagMode));
    EXPECT_EQ("align=\"right\"", piece);

    // The start marker is a prefix: "text" matches the start of a textat tag.
    cursor = 0;
    ASSERT_TRUE(FindElement("<textat v=\"1\"/>", "text", piece, cursor, end, SelfClosingMode));
    EXPECT_EQ("t v=\"1\"", piece);

    // A missing end marker: not found, cursor at the start, end -1.
    cursor = 0;
    EXPECT_FALSE(FindElement("ab<displayoutput>never closed", "displayoutput", piece, cursor, end,
                             ContentMode));
    EXPECT_EQ(2, cursor);
    EXPECT_EQ(-1, end);

    // Names are case-sensitive.
    cursor = 0;
    EXPECT_FALSE(FindElement("<Output>A</Output>", "output", piece, cursor, end, ContentMode));
}

TEST(FindElement, CursorOutsideTheTextFindsNothing) {
    std::string piece;
    std::int32_t end = 0;
    std::int32_t cursor = -1;
    EXPECT_FALSE(FindElement("<a>x</a>", "a", piece, cursor, end, ContentMode));
    cursor = 1000;
    EXPECT_FALSE(FindElement("<a>x</a>", "a", piece, cursor, end, ContentMode));
}

TEST(FindTag, TagTextRunsThroughTheSlash) {
    std::string tag = "kept";
    ASSERT_TRUE(FindTag("<x><font face=\"a\" /></x>", "font", tag));
    EXPECT_EQ("<font face=\"a\" /", tag);
    ASSERT_TRUE(FindTag("<usescreendepth>", "usescreendepth", tag));
    EXPECT_EQ("", tag);
    tag = "kept";
    EXPECT_FALSE(FindTag("<other/>", "font", tag));
    EXPECT_EQ("kept", tag);
}

TEST(RemoveComments, CutsCommentsWherever) {
    std::string text = "a<!-- one -->b<!---->c<!-->d";
    EXPECT_TRUE(RemoveComments(text, true));
    EXPECT_EQ("abcd", text);

    text = "<displayoutput><!-- <output>x</output> --></displayoutput>";
    EXPECT_TRUE(RemoveComments(text, true));
    EXPECT_EQ("<displayoutput></displayoutput>", text);
}

TEST(RemoveComments, UnterminatedCommentStays) {
    std::string text = "a<!-- x -->b<!-- never closed";
    EXPECT_TRUE(RemoveComments(text, true));
    EXPECT_EQ("ab<!-- never closed", text);

    text = "a<!-- never closed";
    EXPECT_FALSE(RemoveComments(text, true));
    EXPECT_EQ("a<!-- never closed", text);
}

TEST(RemoveComments, CollapsesCrLfBlankLinesOnlyWhenSomethingWasRemoved) {
    const std::string body = "a\r\n\r\n\r\n\r\n\r\nb\r\n  \r\nc\n\n\nd";
    std::string text = body;
    EXPECT_FALSE(RemoveComments(text, true));
    EXPECT_EQ(body, text);

    text = "<!--x-->" + body;
    EXPECT_TRUE(RemoveComments(text, true));
    EXPECT_EQ("a\r\nb\r\n  \r\nc\n\n\nd", text);

    text = "<!--x-->" + body;
    EXPECT_TRUE(RemoveComments(text, false));
    EXPECT_EQ(body, text);

    // A long run of empty lines collapses completely.
    std::string run;
    for (int i = 0; i < 5000; ++i) run += "\r\n";
    text = "<!--x-->a" + run + "b";
    RemoveComments(text, true);
    EXPECT_EQ("a\r\nb", text);
}

TEST(RemoveComments, EveryOneOfManyCommentsIsCut) {
    // A configuration of a hundred thousand comments, each followed by one
    // kept character: cut in one pass over the text, not one per comment.
    std::string text;
    std::string kept;
    for (int i = 0; i < 100000; ++i) {
        text += "<!-- " + std::to_string(i) + " -->";
        text += static_cast<char>('a' + i % 26);
        kept += static_cast<char>('a' + i % 26);
    }
    text += "<!-- last, never closed";
    ASSERT_TRUE(RemoveComments(text, true));
    EXPECT_EQ(kept + "<!-- last, never closed", text);
}

TEST(RemoveComments, UnderADoubleByteCodePageMarkersStartOnCharacterBoundaries) {
    testing::FakeDoubleByteCodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);

    // "\x81-" is one character, so the comment ends at the second "-->".
    std::string text = "a<!--\x81-->b-->c";
    ASSERT_TRUE(RemoveComments(text, false));
    EXPECT_EQ("ac", text);

    // After a cut the rest is walked from its own start: "\x81<" is one
    // character, so no second comment begins there.
    text = "<!---->\x81<!--x-->d";
    ASSERT_TRUE(RemoveComments(text, false));
    EXPECT_EQ("\x81<!--x-->d", text);

    // Blank lines collapse on boundaries too: "\x81\r" is one character.
    text = "<!---->\x81\r\n\r\n\r\ne";
    ASSERT_TRUE(RemoveComments(text, true));
    EXPECT_EQ("\x81\r\n\r\ne", text);
}

TEST(LoadFile, ReadsWholeFileUpToTheFirstZeroByte) {
    ScratchDir scratch;
    scratch.Write("c.xml", std::string("<a>\r\n", 5) + std::string(1, '\0') + "after");
    std::string text = "old";
    ASSERT_TRUE(LoadFile("c.xml", text));
    EXPECT_EQ("<a>\r\n", text);

    scratch.Write("empty.xml", "");
    ASSERT_TRUE(LoadFile("empty.xml", text));
    EXPECT_EQ("", text);
}

TEST(LoadFile, UnicodeFilesAreReadAsUtf8WithItsMark) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string text;
    };
    const std::string mark = "\xEF\xBB\xBF";
    const Case cases[] = {
        // <a>é</a>, every ASCII character with a zero byte in it
        {"little-endian", std::string("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18), mark + "<a>\xC3\xA9</a>"},
        {"big-endian", std::string("\xFE\xFF\0<\0a\0>\0\xE9\0<\0/\0a\0>", 18), mark + "<a>\xC3\xA9</a>"},
        // a character U+0000 ends the text, as a zero byte ends an 8-bit one
        {"cut at U+0000", std::string("\xFF\xFEx\0\0\0y\0", 8), mark + "x"},
        // 😀 as a surrogate pair; a surrogate alone and an odd last byte
        {"pairs and strays", std::string("\xFF\xFE\x3D\xD8\x00\xDE\x00\xD8z\0!", 11), mark + "\xF0\x9F\x98\x80\xEF\xBF\xBDz"},
        {"the mark alone", "\xFF\xFE", mark},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir scratch;
        scratch.Write("u.xml", c.bytes);
        std::string text = "old";
        ASSERT_TRUE(LoadFile("u.xml", text));
        EXPECT_EQ(c.text, text);
        EXPECT_TRUE(RunsInUtf8(text));
    }
}

TEST(LoadFile, MissingFileOrLongPathFailsSilently) {
    ScratchDir scratch;
    std::string text = "old";
    EXPECT_FALSE(LoadFile("absent.xml", text));
    EXPECT_FALSE(LoadFile(std::string(300, 'a') + ".xml", text));
    EXPECT_FALSE(LoadFile(".", text));
    EXPECT_EQ("old", text);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST(LoadFile, ReadFailureAfterOpenIsLogged) {
    ScratchDir scratch;
    scratch.Write("c.xml", "x");
    testing::FakeFiles files;
    files.failReads = true;
    {
        platform::ScopedFake<platform::Files> fake(files);
        std::string text = "old";
        EXPECT_FALSE(LoadFile("c.xml", text));
        EXPECT_EQ("old", text);
    }
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_NE(std::string::npos, log.find(" : Error loading file [c.xml]\n\n"));
}

}  // namespace
}  // namespace paneloom
