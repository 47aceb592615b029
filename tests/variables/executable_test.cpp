#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "variables/executable.h"
#include "variables/variables_fixture.h"

namespace paneloom {
namespace {

using ExecutableTest = testing::VariablesTest;

const char* const kAllFour = "%EXECUTABLE_COMPANY%|%EXECUTABLE_PRODUCT%|%EXECUTABLE_VERSION%|%EXECUTABLE_COPYRIGHT%";

TEST_F(ExecutableTest, ReadsTheFourStringsOfTheFirstTranslation) {
    EXPECT_EQ("Paneloom Developers|Paneloom|1.0.0|Copyright (C) Paneloom Developers", Substitute(kAllFour));
    EXPECT_EQ(std::vector<std::string>{"Paneloom.exe"}, records.sizeQueries);
    EXPECT_EQ((std::vector<std::string>{"\\StringFileInfo\\040904b0\\ProductVersion",
                                        "\\StringFileInfo\\040904b0\\CompanyName",
                                        "\\StringFileInfo\\040904b0\\ProductName",
                                        "\\StringFileInfo\\040904b0\\LegalCopyright"}),
              records.textQueries);
}

TEST_F(ExecutableTest, TheConfiguredPathIsPassedAsItStands) {
    settings.executablePath = "..\\tools\\other.exe";
    Substitute(kAllFour);
    EXPECT_EQ(std::vector<std::string>{"..\\tools\\other.exe"}, records.sizeQueries);
}

TEST_F(ExecutableTest, OnlyTheFirstTranslationCountsWrittenInLowerCaseHex) {
    records.translation = std::vector<std::uint8_t>{0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xB0, 0x04};
    records.texts["\\StringFileInfo\\040704e4\\ProductVersion"] = "2.5";
    EXPECT_EQ("[no info]|[no info]|2.5|", Substitute(kAllFour));
}

TEST_F(ExecutableTest, AFileWithoutARecordGivesNoInfoAndAnEmptyCopyright) {
    records.size = 0;
    EXPECT_EQ("[[no info]|[no info]|[no info]|]", Substitute(std::string("[") + kAllFour + "]"));
    EXPECT_TRUE(records.textQueries.empty());
}

TEST_F(ExecutableTest, ARecordThatCannotBeReadCountsAsMissing) {
    records.readable = false;
    EXPECT_EQ("[no info]|[no info]|[no info]|", Substitute(kAllFour));
    EXPECT_TRUE(records.textQueries.empty());
}

TEST_F(ExecutableTest, TheRecordIsReadAfreshOnEveryCall) {
    records.readable = false;
    EXPECT_EQ("[no info]|[no info]|[no info]|", Substitute(kAllFour));
    records.readable = true;
    EXPECT_EQ("Paneloom Developers|Paneloom|1.0.0|Copyright (C) Paneloom Developers", Substitute(kAllFour));
    records.texts["\\StringFileInfo\\040904b0\\ProductVersion"] = "1.0.1";
    EXPECT_EQ("1.0.1", Substitute("%EXECUTABLE_VERSION%"));
    EXPECT_EQ(3u, records.sizeQueries.size());
}

TEST_F(ExecutableTest, MissingStringsKeepTheirStartingValues) {
    records.texts.erase("\\StringFileInfo\\040904b0\\LegalCopyright");
    records.texts.erase("\\StringFileInfo\\040904b0\\CompanyName");
    EXPECT_EQ("[no info]|Paneloom|1.0.0|", Substitute(kAllFour));
}

TEST_F(ExecutableTest, WithoutATranslationTableNoneOfTheFourIsReplaced) {
    records.translation.reset();
    EXPECT_EQ(std::string(kAllFour) + " alice", Substitute(std::string(kAllFour) + " %USERNAME%"));
    EXPECT_EQ("", Log());

    records.translation = std::vector<std::uint8_t>{0x09, 0x04};
    EXPECT_EQ(kAllFour, Substitute(kAllFour));
}

TEST_F(ExecutableTest, AFailureInsideTheLookupIsLoggedAndLeavesTheNames) {
    records.onSizeQuery = [] { throw std::bad_alloc(); };
    EXPECT_EQ(std::string(kAllFour) + " Windows 7", Substitute(std::string(kAllFour) + " %OS%"));
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error getting application information\n\n", Log());
}

TEST_F(ExecutableTest, ReadVersionStringsLeavesTheCopyrightAsGiven) {
    records.size = 0;
    std::string company = "c";
    std::string product = "p";
    std::string version = "v";
    std::string copyright = "given";
    EXPECT_TRUE(ReadVersionStrings("x.exe", company, product, version, copyright));
    EXPECT_EQ("[no info]", company);
    EXPECT_EQ("[no info]", product);
    EXPECT_EQ("[no info]", version);
    EXPECT_EQ("given", copyright);

    records.size = 64;
    records.translation.reset();
    EXPECT_FALSE(ReadVersionStrings("x.exe", company, product, version, copyright));
}

}  // namespace
}  // namespace paneloom
