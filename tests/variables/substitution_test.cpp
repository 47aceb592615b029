#include <new>
#include <string>

#include <gtest/gtest.h>

#include "variables/variables_fixture.h"

namespace paneloom {
namespace {

using SubstituteVariablesTest = testing::VariablesTest;

TEST_F(SubstituteVariablesTest, EveryFamilyInOneCall) {
    EXPECT_EQ("Windows 7 Service Pack 1 7601|2993 MHz|Intel(R) Core(TM) i7 CPU|Dual|"
              "Dual 2993 MHz Intel(R) Core(TM) i7 CPU|"
              "C:\\  12.3/40.0 GB Free:NTFS:'SYSTEM':SN 0x3C1A9E27|alice|523776 Kb RAM|"
              "Paneloom Developers|Paneloom|1.0.0|Copyright (C) Paneloom Developers",
              Substitute("%OS% %SERVICEPACK% %BUILD%|%PROCMHZ%|%PROCNAME%|%PROCCOUNT%|%PROCINFO%|"
                         "%VOLUME_C_INFO%|%USERNAME%|%RAMINFO%|"
                         "%EXECUTABLE_COMPANY%|%EXECUTABLE_PRODUCT%|%EXECUTABLE_VERSION%|%EXECUTABLE_COPYRIGHT%"));
    EXPECT_EQ("", Log());
}

TEST_F(SubstituteVariablesTest, AValueIsSearchedForTheNamesOfLaterStepsOnly) {
    // A volume label naming the user, memory and executable variables that
    // come after the volumes, and the system and processor ones before them.
    facts.volumes["C:\\"].label = "%USERNAME%/%RAMINFO%/%EXECUTABLE_PRODUCT%/%OS%/%PROCCOUNT%/%VOLUME_C_INFO%";
    EXPECT_EQ("C:\\  12.3/40.0 GB Free:NTFS:'alice/523776 Kb RAM/Paneloom/%OS%/%PROCCOUNT%/%VOLUME_C_INFO%'"
              ":SN 0x3C1A9E27",
              Substitute("%VOLUME_C_INFO%"));

    // A service pack naming the system name, which its own family replaces
    // first, and the processor count, which comes later.
    caches = VariableCaches();  // a new run reads the version again
    facts.version.servicePack = "%OS% on %PROCCOUNT%";
    EXPECT_EQ("%OS% on Dual", Substitute("%SERVICEPACK%"));

    // A user name naming a volume, replaced before the user, and the
    // executable's version, replaced after it.
    facts.userName = std::string("%VOLUME_C_INFO%@%EXECUTABLE_VERSION%");
    EXPECT_EQ("%VOLUME_C_INFO%@1.0.0", Substitute("%USERNAME%"));
    EXPECT_EQ(1u, facts.volumeQueries.size()) << "only the first text named the volume";
}

TEST_F(SubstituteVariablesTest, NamesRunTogetherAndDoubledPercentSigns) {
    EXPECT_EQ("Windows 77601", Substitute("%OS%%BUILD%"));
    EXPECT_EQ("Windows 7BUILD%", Substitute("%OS%BUILD%"));
    EXPECT_EQ("%Windows 7%", Substitute("%%OS%%"));
}

TEST_F(SubstituteVariablesTest, NamesAreCaseSensitiveAndUnknownNamesStay) {
    EXPECT_EQ("%os% %Os% %VOLUME_c_INFO% %NOTAVARIABLE% %HOSTNAME_% 100%",
              Substitute("%os% %Os% %VOLUME_c_INFO% %NOTAVARIABLE% %HOSTNAME_% 100%"));
}

TEST_F(SubstituteVariablesTest, IndexedNamesCountFromOne) {
    // Index 0 names nothing in any family; drive letters are the only index
    // of the volume family.
    EXPECT_EQ("%ADAPTER_0_NAME% %INTERFACE_0_MTU% %VOLUME_0_INFO% %VOLUME__INFO%",
              Substitute("%ADAPTER_0_NAME% %INTERFACE_0_MTU% %VOLUME_0_INFO% %VOLUME__INFO%"));
    EXPECT_TRUE(facts.volumeQueries.empty());
}

TEST_F(SubstituteVariablesTest, ANameThatOccursThreeTimesIsReplacedThreeTimes) {
    EXPECT_EQ("alice, alice and alice", Substitute("%USERNAME%, %USERNAME% and %USERNAME%"));
}

TEST_F(SubstituteVariablesTest, TextWithoutVariablesIsUnchangedButTheQueriesStillRun) {
    EXPECT_EQ("<textline>plain</textline>", Substitute("<textline>plain</textline>"));
    EXPECT_EQ(1, facts.versionQueries);
    EXPECT_EQ(1, facts.processorCountQueries);
    EXPECT_EQ(1, facts.descriptionReads);
    EXPECT_EQ(1, facts.driveListQueries);
    EXPECT_EQ(1u, records.sizeQueries.size());
    EXPECT_TRUE(facts.volumeQueries.empty());
    EXPECT_TRUE(facts.spaceQueries.empty());
}

TEST_F(SubstituteVariablesTest, CachedRecordsAreQueriedOnceWhileTheRestIsAskedEveryCall) {
    Substitute("%OS% %PROCINFO% %VOLUME_C_INFO%");
    facts.processorCount = 8;
    facts.version.majorVersion = 10;
    facts.volumes["C:\\"].label = "RENAMED";
    EXPECT_EQ("Windows 7 Dual C:\\  12.3/40.0 GB Free:NTFS:'RENAMED':SN 0x3C1A9E27",
              Substitute("%OS% %PROCCOUNT% %VOLUME_C_INFO%"));
    EXPECT_EQ(1, facts.versionQueries);
    EXPECT_EQ(1, facts.processorCountQueries);
    EXPECT_EQ(1, facts.driveListQueries);
    EXPECT_EQ(2, facts.descriptionReads);
    EXPECT_EQ(2u, facts.volumeQueries.size());
    EXPECT_EQ(2u, records.sizeQueries.size());
}

TEST_F(SubstituteVariablesTest, EachRunKeepsRecordsOfItsOwn) {
    EXPECT_EQ("Windows 7 Dual %VOLUME_D_INFO%", Substitute("%OS% %PROCCOUNT% %VOLUME_D_INFO%"));
    facts.version.majorVersion = 10;
    facts.version.minorVersion = 0;
    facts.processorCount = 4;
    platform::VolumeRecord data;
    data.serialNumber = 0xD;
    facts.AddDrive('D', "D:\\", data, platform::DiskSpace());

    VariableCaches nextRun;
    std::string text = "%OS% %PROCCOUNT% %VOLUME_D_INFO%";
    SubstituteVariables(text, settings, nextRun);
    EXPECT_EQ("Windows 10 Multi(4) D:\\  ::'':SN 0xD", text);

    EXPECT_EQ("Windows 7 Dual %VOLUME_D_INFO%", Substitute("%OS% %PROCCOUNT% %VOLUME_D_INFO%"))
        << "the first run keeps what it read";
    EXPECT_EQ(2, facts.versionQueries);
    EXPECT_EQ(2, facts.processorCountQueries);
    EXPECT_EQ(2, facts.driveListQueries);
}

TEST_F(SubstituteVariablesTest, AFailureEndsTheSubstitutionKeepingEarlierReplacements) {
    facts.onUserQuery = [] { throw std::bad_alloc(); };
    std::string text = "%EXECUTABLE_VERSION% %OS% %PROCMHZ% %VOLUME_C_INFO% %USERNAME% %RAMINFO%";
    SubstituteVariables(text, settings, caches);
    EXPECT_EQ("%EXECUTABLE_VERSION% Windows 7 2993 MHz C:\\  12.3/40.0 GB Free:NTFS:'SYSTEM':SN 0x3C1A9E27 "
              "%USERNAME% %RAMINFO%",
              text);
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error doing variable substitution\n\n", Log());
    EXPECT_TRUE(records.sizeQueries.empty()) << "the steps after the failure are not run";
}

TEST_F(SubstituteVariablesTest, AnyFailureIsCaughtNotOnlyStandardOnes) {
    facts.onUserQuery = [] { throw 42; };
    EXPECT_EQ("Windows 7 %USERNAME%", Substitute("%OS% %USERNAME%"));
    EXPECT_EQ("14:05:09 -- March 07, 2004 : Error doing variable substitution\n\n", Log());
}

TEST_F(SubstituteVariablesTest, VariablesInsideMarkupAreReplacedAndValuesInsertedVerbatim) {
    facts.userName = std::string("<b>\"x\"</b>");
    EXPECT_EQ("<textat x=\"2993 MHz\"><b>\"x\"</b></textat>",
              Substitute("<textat x=\"%PROCMHZ%\">%USERNAME%</textat>"));
}

}  // namespace
}  // namespace paneloom
