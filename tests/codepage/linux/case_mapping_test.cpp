// The Linux build's code page: UTF-8, with case mapped character by
// character (Unicode's simple mapping) where Windows maps its own.
#include <string>

#include <gtest/gtest.h>

#include "codepage/ansi_text.h"

namespace paneloom {
namespace {

std::string Upper(std::string text) {
    ToUpperAnsi(text);
    return text;
}

std::string Lower(std::string text) {
    ToLowerAnsi(text);
    return text;
}

TEST(Utf8CaseMapping, LettersOfEveryScriptChangeCaseOneCharacterAtATime) {
    EXPECT_EQ("ARIAL BOLD 12", Upper("Arial bold 12"));
    EXPECT_EQ("\xC3\x89T\xC3\x89", Upper("\xC3\xA9t\xC3\xA9"));                // été
    EXPECT_EQ("STRA\xC3\x9F" "E", Upper("stra\xC3\x9F" "e"));                // ß stays one letter
    EXPECT_EQ("\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91", Upper("\xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1"));  // σοφια
    EXPECT_EQ("\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", Lower("\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90"));  // москва
    EXPECT_EQ("\xC5\xB8", Upper("\xC3\xBF"));                                 // ÿ to Ÿ
    EXPECT_EQ("\xC8\xBE", Upper("\xE2\xB1\xA6"));                            // ⱦ to Ⱦ: three bytes to two
    EXPECT_EQ("\xE4\xB8\xAD-\xD7\x90", Upper("\xE4\xB8\xAD-\xD7\x90"));       // no case: untouched
}

TEST(Utf8CaseMapping, NoOtherCharacterBecomesAnAsciiLetter) {
    // Keywords and attribute names are matched after lower-casing.
    EXPECT_EQ("\xE2\x84\xAA" "elvin", Lower("\xE2\x84\xAA" "ELVIN"));  // the Kelvin sign stays
    EXPECT_EQ("t\xC4\xB0le", Lower("T\xC4\xB0LE"));                     // so does İ
    EXPECT_EQ("\xC4\xB1\xC5\xBF", Upper("\xC4\xB1\xC5\xBF"));              // and ı, ſ
}

TEST(Utf8CaseMapping, BytesThatAreNoUtf8KeepTheirPlaceAndTheirMeaning) {
    // Windows-1252's é: its capital is written in UTF-8, so the two read the
    // same; a byte that does not change stays as it was.
    EXPECT_EQ("CAF\xC3\x89 \x80", Upper("Caf\xE9 \x80"));
    EXPECT_EQ("caf\xC3\xA9", Lower("CAF\xC9"));
    // Changing 0xE9 to 0xC9 in place would have made "\xC9\x80" a
    // well-formed character of its own.
    EXPECT_EQ("\xC3\x89\x80", Upper("\xE9\x80"));
    EXPECT_EQ("\xC5\xB8\xC3\x9E", Upper("\xFF\xFE"));  // ÿþ
}

}  // namespace
}  // namespace paneloom
