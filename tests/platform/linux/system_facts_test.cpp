// The Linux system facts on this machine: the shapes the variables rely on.
#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/system_facts.h"

namespace paneloom::platform {
namespace {

SystemFacts& Facts() { return RealImpl<SystemFacts>(); }

TEST(LinuxSystemFacts, DriveCIsTheRootAndLettersRunInOrder) {
    const std::vector<LogicalDrive> drives = Facts().LogicalDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ('C', drives[0].letter);
    EXPECT_EQ("/", drives[0].root);
    for (std::size_t i = 1; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i - 1].letter + 1, drives[i].letter);
        EXPECT_EQ('/', drives[i].root[0]);
    }
}

TEST(LinuxSystemFacts, TheRootVolumeAndItsSpace) {
    VolumeRecord record;
    std::uint32_t error = 0;
    ASSERT_TRUE(Facts().QueryVolume("/", record, error));
    EXPECT_FALSE(record.fileSystem.empty());
    EXPECT_GT(record.maxComponentLength, 0u);

    DiskSpace space;
    ASSERT_TRUE(Facts().QueryDiskSpace("/", space));
    EXPECT_GT(space.total, 0u);
    EXPECT_LE(space.totalFree, space.total);
    EXPECT_LE(space.freeToCaller, space.totalFree);
}

TEST(LinuxSystemFacts, AMissingRootFailsWithTheSystemsError) {
    VolumeRecord record;
    record.label = "untouched";
    std::uint32_t error = 0;
    EXPECT_FALSE(Facts().QueryVolume("/no/such/mount/point", record, error));
    EXPECT_EQ(static_cast<std::uint32_t>(ENOENT), error);
    EXPECT_EQ("untouched", record.label);
    DiskSpace space;
    EXPECT_FALSE(Facts().QueryDiskSpace("/no/such/mount/point", space));
}

TEST(LinuxSystemFacts, VersionProcessorAndMemory) {
    OsVersionRecord version;
    ASSERT_TRUE(Facts().QueryOsVersion(version));
    EXPECT_FALSE(version.systemName.empty());
    EXPECT_FALSE(version.servicePack.empty());
    EXPECT_LE(version.servicePack.size(), 127u);
    EXPECT_GE(version.majorVersion, 2u);

    EXPECT_GE(Facts().ProcessorCount(), 1u);
    ProcessorDescription description;
    description.name = "default";
    EXPECT_TRUE(Facts().ReadProcessorDescription(description));
    EXPECT_FALSE(description.name.empty());
    EXPECT_GT(Facts().TotalPhysicalMemory(), 1ull << 20);
}

}  // namespace
}  // namespace paneloom::platform
