#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "variables/os_processor.h"
#include "variables/variables_fixture.h"

namespace paneloom {
namespace {

using testing::VariablesTest;

// ---------------------------------------------------------------------------
// The system name table

struct NamedSystem {
    std::uint32_t platformId;
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t build;
    std::uint8_t productType;
    const char* name;
};

class SystemNameTest : public ::testing::TestWithParam<NamedSystem> {};

TEST_P(SystemNameTest, NamesTheVersion) {
    const NamedSystem& system = GetParam();
    platform::OsVersionRecord record;
    record.platformId = system.platformId;
    record.majorVersion = system.major;
    record.minorVersion = system.minor;
    record.buildNumber = system.build;
    record.productType = system.productType;
    EXPECT_EQ(system.name, SystemName(record));
}

INSTANTIATE_TEST_SUITE_P(Classic, SystemNameTest,
                         ::testing::Values(NamedSystem{0, 0, 0, 0, 0, "Windows 3.1"},
                                           NamedSystem{0, 0, 1, 0, 0, "Windows 9X"},
                                           NamedSystem{0, 0, 2, 0, 0, "Windows NT"},
                                           NamedSystem{1, 4, 0, 950, 0, "Windows 95"},
                                           NamedSystem{1, 4, 10, 2222, 0, "Windows 98"},
                                           NamedSystem{1, 4, 90, 3000, 0, "Windows ME"},
                                           NamedSystem{2, 3, 51, 1057, 1, "Windows NT 3.51"},
                                           NamedSystem{2, 4, 0, 1381, 1, "Windows NT 4.0"},
                                           NamedSystem{2, 5, 0, 2195, 1, "Windows 2000"},
                                           NamedSystem{2, 5, 1, 2600, 1, "Windows XP"}));

INSTANTIATE_TEST_SUITE_P(LaterNt, SystemNameTest,
                         ::testing::Values(NamedSystem{2, 5, 2, 3790, 1, "Windows XP x64"},
                                           NamedSystem{2, 5, 2, 3790, 3, "Windows Server 2003"},
                                           NamedSystem{2, 6, 0, 6002, 1, "Windows Vista"},
                                           NamedSystem{2, 6, 0, 6002, 3, "Windows Server 2008"},
                                           NamedSystem{2, 6, 1, 7601, 1, "Windows 7"},
                                           NamedSystem{2, 6, 1, 7601, 0, "Windows 7"},
                                           NamedSystem{2, 6, 1, 7601, 2, "Windows Server 2008 R2"},
                                           NamedSystem{2, 6, 2, 9200, 1, "Windows 8"},
                                           NamedSystem{2, 6, 2, 9200, 3, "Windows Server 2012"},
                                           NamedSystem{2, 6, 3, 9600, 1, "Windows 8.1"},
                                           NamedSystem{2, 6, 3, 9600, 3, "Windows Server 2012 R2"},
                                           NamedSystem{2, 10, 0, 19045, 1, "Windows 10"},
                                           NamedSystem{2, 10, 0, 21999, 1, "Windows 10"},
                                           NamedSystem{2, 10, 0, 22000, 1, "Windows 11"},
                                           NamedSystem{2, 10, 0, 26100, 1, "Windows 11"},
                                           NamedSystem{2, 10, 0, 14393, 3, "Windows Server 2016"},
                                           NamedSystem{2, 10, 0, 17763, 3, "Windows Server 2019"},
                                           NamedSystem{2, 10, 0, 20348, 2, "Windows Server 2022"},
                                           NamedSystem{2, 10, 0, 26100, 3, "Windows Server 2025"}));

INSTANTIATE_TEST_SUITE_P(Unknown, SystemNameTest,
                         ::testing::Values(NamedSystem{1, 4, 50, 0, 0, "Windows 9X"},
                                           NamedSystem{1, 5, 0, 0, 0, "Windows 9X"},
                                           NamedSystem{2, 6, 4, 9841, 1, "Windows NT"},
                                           NamedSystem{2, 11, 0, 0, 1, "Windows NT"},
                                           NamedSystem{0, 1, 0, 0, 0, "OS UNKNOWN"},
                                           NamedSystem{3, 4, 0, 0, 0, "OS UNKNOWN"}));

TEST(SystemName, APlatformNameStandsBeforeTheTable) {
    platform::OsVersionRecord record;
    record.platformId = 2;
    record.majorVersion = 5;
    record.minorVersion = 1;
    record.systemName = "Debian GNU/Linux 12 (bookworm)";
    EXPECT_EQ("Debian GNU/Linux 12 (bookworm)", SystemName(record));
}

// ---------------------------------------------------------------------------
// The version record and its variables

using OsVariablesTest = VariablesTest;

TEST_F(OsVariablesTest, VersionCodePacksPlatformMajorAndMinor) {
    facts.version.majorVersion = 5;
    facts.version.minorVersion = 1;
    OsVersion version;
    version.Load();
    EXPECT_EQ(0x20501u, version.VersionCode());
    EXPECT_EQ(7601, version.BuildNumber());
    EXPECT_EQ("Service Pack 1", version.ServicePack());
}

TEST_F(OsVariablesTest, AFailedQueryGivesTheZeroRecordAndIsTriedAgain) {
    facts.versionFailures = 1;
    EXPECT_EQ("[Windows 3.1][][0]", Substitute("[%OS%][%SERVICEPACK%][%BUILD%]"));
    EXPECT_EQ("[Windows 7][Service Pack 1][7601]", Substitute("[%OS%][%SERVICEPACK%][%BUILD%]"));
    EXPECT_EQ("[Windows 7]", Substitute("[%OS%]"));
    EXPECT_EQ(2, facts.versionQueries);
}

TEST_F(OsVariablesTest, BuildIsTheWholeFieldAsASignedNumber) {
    // Windows 98 keeps its version in the build field's high word.
    facts.version.platformId = 1;
    facts.version.majorVersion = 4;
    facts.version.minorVersion = 10;
    facts.version.buildNumber = 0x040A08AE;
    facts.version.servicePack = " A ";
    EXPECT_EQ("Windows 98| A |67766446", Substitute("%OS%|%SERVICEPACK%|%BUILD%"));

    caches = VariableCaches();  // a new run reads the version again
    facts.version.buildNumber = 0xFFFFFFFF;
    EXPECT_EQ("-1", Substitute("%BUILD%"));
}

TEST_F(OsVariablesTest, NoServicePackGivesAnEmptyText) {
    facts.version.servicePack.clear();
    EXPECT_EQ("Windows 7 ", Substitute("%OS% %SERVICEPACK%"));
}

// ---------------------------------------------------------------------------
// The processor

TEST(ProcessorCountText, SingleDualOrMulti) {
    EXPECT_EQ("Multi(0)", ProcessorCountText(0));
    EXPECT_EQ("Single", ProcessorCountText(1));
    EXPECT_EQ("Dual", ProcessorCountText(2));
    EXPECT_EQ("Multi(3)", ProcessorCountText(3));
    EXPECT_EQ("Multi(4)", ProcessorCountText(4));
    EXPECT_EQ("Multi(128)", ProcessorCountText(128));
}

using ProcessorVariablesTest = VariablesTest;

TEST_F(ProcessorVariablesTest, ClockNameCountAndSummary) {
    EXPECT_EQ("2993 MHz|Intel(R) Core(TM) i7 CPU|Dual|Dual 2993 MHz Intel(R) Core(TM) i7 CPU",
              Substitute("%PROCMHZ%|%PROCNAME%|%PROCCOUNT%|%PROCINFO%"));
}

TEST_F(ProcessorVariablesTest, CountTextsThroughTheVariable) {
    facts.processorCount = 1;
    EXPECT_EQ("Single", Substitute("%PROCCOUNT%"));
    caches = VariableCaches();  // a new run counts the processors again
    facts.processorCount = 4;
    EXPECT_EQ("Multi(4) 2993 MHz Intel(R) Core(TM) i7 CPU", Substitute("%PROCINFO%"));
}

TEST_F(ProcessorVariablesTest, MissingValuesGiveTheDefaults) {
    facts.processorCount = 1;
    facts.clockMHz.reset();
    facts.processorName.reset();
    EXPECT_EQ("0 MHz|UNKNOWN PROCESSOR|Single 0 MHz UNKNOWN PROCESSOR",
              Substitute("%PROCMHZ%|%PROCNAME%|%PROCINFO%"));
}

TEST_F(ProcessorVariablesTest, ADescriptionThatDoesNotOpenLeavesAllFourNames) {
    facts.descriptionOpens = false;
    EXPECT_EQ("%PROCMHZ%|%PROCNAME%|%PROCCOUNT%|%PROCINFO%|Windows 7",
              Substitute("%PROCMHZ%|%PROCNAME%|%PROCCOUNT%|%PROCINFO%|%OS%"));
    EXPECT_EQ("", Log());
}

TEST_F(ProcessorVariablesTest, TheNameIsKeptAsStoredUpToItsFirstNul) {
    facts.processorName = std::string("  Intel(R) Pentium(R) 4 CPU\0garbage", 35);
    EXPECT_EQ("[  Intel(R) Pentium(R) 4 CPU]", Substitute("[%PROCNAME%]"));
    facts.clockMHz = 0x80000000u;
    EXPECT_EQ("-2147483648 MHz", Substitute("%PROCMHZ%"));
}

TEST_F(ProcessorVariablesTest, ANameTooLongForItsBufferIsCutAt127) {
    const std::string longName = std::string(100, 'A') + std::string(100, 'B');
    facts.processorName = longName;
    EXPECT_EQ("[" + longName.substr(0, 127) + "]", Substitute("[%PROCNAME%]"));

    facts.processorName = std::string(127, 'N');
    EXPECT_EQ(std::string(127, 'N'), Substitute("%PROCNAME%"));
}

TEST_F(ProcessorVariablesTest, ACutNeverSplitsADoubleByteCharacter) {
    testing::FakeDoubleByteCodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);
    // 126 single bytes, then a two-byte character that would straddle 127.
    facts.processorName = std::string(126, 'x') + "\xE1\x41" + "tail";
    EXPECT_EQ("[" + std::string(126, 'x') + "]", Substitute("[%PROCNAME%]"));
}

TEST_F(ProcessorVariablesTest, ACutNeverSplitsAUtf8Character) {
    testing::FakeUtf8CodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);
    // "\xE4\xB8\xAD" (one Han character) would straddle 127; a byte that is
    // no UTF-8 stands alone and is kept.
    facts.processorName = std::string(125, 'x') + "\xE4\xB8\xAD" + "tail";
    EXPECT_EQ("[" + std::string(125, 'x') + "]", Substitute("[%PROCNAME%]"));
    facts.processorName = std::string(125, 'x') + "\xE9\xE9\xE9";
    EXPECT_EQ("[" + std::string(125, 'x') + "\xE9\xE9]", Substitute("[%PROCNAME%]"));
}

}  // namespace
}  // namespace paneloom
