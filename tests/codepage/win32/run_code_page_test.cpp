// The Windows build's code page per run: the configuration's own, UTF-8
// where it is UTF-8, the system's ANSI code page (Windows-1252 under these
// tests' Wine) otherwise.
#include <string>

#include <gtest/gtest.h>

#include "codepage/ansi_text.h"

namespace paneloom {
namespace {

// Leaves the next test the ANSI code page, whatever this one chose.
class RunCodePageTest : public ::testing::Test {
protected:
    ~RunCodePageTest() override { SelectRunCodePage({}); }

    static std::string Upper(std::string text) {
        ToUpperAnsi(text);
        return text;
    }
    static std::string Lower(std::string text) {
        ToLowerAnsi(text);
        return text;
    }
};

TEST_F(RunCodePageTest, AUtf8RunMapsCaseAsTheLinuxBuildDoes) {
    SelectRunCodePage("<a>\xD0\x96</a>");
    EXPECT_EQ(platform::CharacterEncoding::kUtf8, CharacterWidths().Encoding());
    struct Case {
        const char* text;
        const char* upper;
        const char* lower;
    };
    const Case cases[] = {
        {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\x92\xD0\x95\xD0\xA2", "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2",
         "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},                     // приВЕТ
        {"stra\xC3\x9F" "e", "STRA\xC3\x9F" "E", "stra\xC3\x9F" "e"},               // ß stays one letter
        {"\xE2\x84\xAA" "elvin", "\xE2\x84\xAA" "ELVIN", "\xE2\x84\xAA" "elvin"},   // the Kelvin sign is no k
        {"\xE4\xB8\xBB-Aa", "\xE4\xB8\xBB-AA", "\xE4\xB8\xBB-aa"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.upper, Upper(c.text));
        EXPECT_EQ(c.lower, Lower(c.text));
    }
    // Searches start and end on UTF-8 characters.
    EXPECT_EQ(-1, FindText("\xD0\x96", "\x96", 0));
}

TEST_F(RunCodePageTest, AnyOtherRunKeepsTheAnsiCodePage) {
    for (const char* configuration : {"", "<a>plain</a>", "<a>Caf\xE9</a>"}) {
        SCOPED_TRACE(configuration);
        SelectRunCodePage("<a>\xD0\x96</a>");
        SelectRunCodePage(configuration);
        EXPECT_EQ(platform::CharacterEncoding::kSingleByte, CharacterWidths().Encoding());
        // Windows-1252's own letters, byte for byte.
        EXPECT_EQ("CAF\xC9 \x8A", Upper("caf\xE9 \x9A"));
        EXPECT_EQ("\xFF", Lower("\x9F"));
        EXPECT_EQ(1, FindText("\xD0\x96", "\x96", 0));
    }
}

}  // namespace
}  // namespace paneloom
