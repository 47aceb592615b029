#include <string>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "variables/replace.h"

namespace paneloom {
namespace {

TEST(ReplaceAll, ReplacesEveryExactOccurrenceAndCountsThem) {
    std::string text = "%OS% and %OS%, %os% %Os% %OS";
    EXPECT_EQ(2, ReplaceAll(text, "%OS%", "XP"));
    EXPECT_EQ("XP and XP, %os% %Os% %OS", text);

    std::string three = "%USERNAME%%USERNAME%-%USERNAME%";
    EXPECT_EQ(3, ReplaceAll(three, "%USERNAME%", "bob"));
    EXPECT_EQ("bobbob-bob", three);
}

TEST(ReplaceAll, NoMatchOrEmptyNameLeavesTheTextAlone) {
    std::string text = "plain %text%";
    EXPECT_EQ(0, ReplaceAll(text, "%OS%", "XP"));
    EXPECT_EQ(0, ReplaceAll(text, "", "XP"));
    EXPECT_EQ("plain %text%", text);

    std::string empty;
    EXPECT_EQ(0, ReplaceAll(empty, "%OS%", "XP"));
    EXPECT_EQ("", empty);
}

TEST(ReplaceAll, EmptyValueDeletesTheName) {
    std::string text = "a%EXECUTABLE_COPYRIGHT%b%EXECUTABLE_COPYRIGHT%";
    EXPECT_EQ(2, ReplaceAll(text, "%EXECUTABLE_COPYRIGHT%", ""));
    EXPECT_EQ("ab", text);
}

TEST(ReplaceAll, ScansLeftToRightWithoutOverlapOrRescanningTheValue) {
    // The first match wins and the scan resumes after it, so "%%%" holds
    // one "%%" only.
    std::string percent = "%%%";
    EXPECT_EQ(1, ReplaceAll(percent, "%%", "P"));
    EXPECT_EQ("P%", percent);

    // A value holding its own name is not searched again.
    std::string self = "[%OS%][%OS%]";
    EXPECT_EQ(2, ReplaceAll(self, "%OS%", "%OS%%OS%"));
    EXPECT_EQ("[%OS%%OS%][%OS%%OS%]", self);

    // A match that a value completes with the text after it is not a match
    // either: the scan resumes after the inserted value.
    std::string joined = "%OS%S%";
    EXPECT_EQ(1, ReplaceAll(joined, "%OS%", "%O"));
    EXPECT_EQ("%OS%", joined);
}

TEST(ReplaceAll, BytesAreComparedExactlyIncludingNulAndHighBytes) {
    std::string text = std::string("a\0%OS%\xE9%OS%", 11);
    EXPECT_EQ(2, ReplaceAll(text, "%OS%", "\xC9t\xE9"));
    EXPECT_EQ(std::string("a\0\xC9t\xE9\xE9\xC9t\xE9", 9), text);
}

TEST(ReplaceAll, ManyMatchesInALargeText) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "ab%RAMINFO%";
    EXPECT_EQ(100000, ReplaceAll(text, "%RAMINFO%", "523776 Kb RAM"));
    ASSERT_EQ(100000u * 15u, text.size());
    EXPECT_EQ("ab523776 Kb RAMab", text.substr(0, 17));
    EXPECT_EQ(std::string::npos, text.find('%'));
}

TEST(ContainsName, FollowsTheSameRule) {
    EXPECT_TRUE(ContainsName("x%VOLUME_C_INFO%", "%VOLUME_C_INFO%"));
    EXPECT_FALSE(ContainsName("x%VOLUME_c_INFO%", "%VOLUME_C_INFO%"));
    EXPECT_FALSE(ContainsName("%VOLUME_C_INFO", "%VOLUME_C_INFO%"));
    EXPECT_FALSE(ContainsName("anything", ""));
}

TEST(ReplaceAll, UnderADoubleByteCodePageMatchesOnlyOnCharacterBoundaries) {
    testing::FakeDoubleByteCodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);

    // "\x81@" is one character: the '@' in it cannot start a match.
    std::string text = "\x81@X@ @X@";
    EXPECT_FALSE(ContainsName("\x81@X@", "@X@"));
    EXPECT_EQ(1, ReplaceAll(text, "@X@", "v"));
    EXPECT_EQ("\x81@X@ v", text);

    // Boundaries after a replaced name continue from its end.
    std::string after = "@X@\x81@X@@X@";
    EXPECT_EQ(2, ReplaceAll(after, "@X@", "-"));
    EXPECT_EQ("-\x81@X@-", after);

    // A lead byte as the very last byte does not run past the text.
    std::string cut = "@X@\x81";
    EXPECT_EQ(1, ReplaceAll(cut, "@X@", "1"));
    EXPECT_EQ("1\x81", cut);
}

}  // namespace
}  // namespace paneloom
