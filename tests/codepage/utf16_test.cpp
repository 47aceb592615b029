// UTF-16 to and from the program's UTF-8, and which configurations run in
// UTF-8.
#include "common/utf16.h"

#include <string>

#include <gtest/gtest.h>

namespace paneloom {
namespace {

TEST(Utf16, ConvertsBothWaysCharacterForCharacter) {
    struct Case {
        const char* utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"plain", u"plain"},
        {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
        {"\xE4\xB8\xBB \xD8\xA8", u"\u4E3B \u0628"},
        {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},  // a pair of surrogates
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(c.utf16, Utf16FromUtf8(c.utf8));
        EXPECT_EQ(c.utf8, Utf8FromUtf16(c.utf16));
    }
}

TEST(Utf16, StrayBytesAndSurrogatesBecomeCharactersOfTheirOwn) {
    // A byte outside UTF-8 is its Windows-1252 character, as the Linux
    // build reads it, so both builds hand the same text to their fonts.
    EXPECT_EQ(u"Caf\u00E9 \u20AC", Utf16FromUtf8("Caf\xE9 \x80"));
    EXPECT_EQ("\xEF\xBF\xBD" "a\xEF\xBF\xBD", Utf8FromUtf16(u"\xDC00" u"a\xD800"));
}

TEST(Utf16, AFileIsUtf16OnlyWithItsMark) {
    std::string text = "untouched";
    EXPECT_FALSE(DecodeUtf16File("<a/>", text));
    EXPECT_FALSE(DecodeUtf16File("\xFF", text));
    EXPECT_FALSE(DecodeUtf16File("\xEF\xBB\xBF<a/>", text));
    EXPECT_EQ("untouched", text);
    ASSERT_TRUE(DecodeUtf16File(std::string("\xFE\xFF\x04\x16", 4), text));
    EXPECT_EQ("\xEF\xBB\xBF\xD0\x96", text);
}

TEST(Utf16, AConfigurationRunsInUtf8WhenItIsUtf8BeyondAscii) {
    struct Case {
        const char* text;
        bool utf8;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF<a/>", true},                      // the mark says so
        {"\xEF\xBB\xBF<a>Caf\xE9</a>", true},            // even with a stray byte after it
        {"<a>\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2</a>", true},  // Cyrillic in UTF-8
        {"<a>\xE4\xB8\xBB</a>", true},
        {"<a>plain</a>", false},                         // ASCII reads the same either way
        {"", false},
        {"<a>Caf\xE9</a>", false},                       // Windows-1252
        {"<a>\xC3\xA9 and \xE9</a>", false},             // UTF-8 but for one byte
        {"<a>\x95\x5C\x83\x5C</a>", false},              // Shift-JIS
        {"<a>\xC0\xAF</a>", false},                      // an overlong form is no UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.utf8, RunsInUtf8(c.text));
    }
}

}  // namespace
}  // namespace paneloom
