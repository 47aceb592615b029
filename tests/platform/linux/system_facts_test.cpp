// The Linux system facts on this machine: the shapes the variables rely on.
#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/system_facts.h"
#include "platform/version_records.h"
#include "support/pe_image.h"
#include "support/scratch.h"

namespace paneloom::platform {
namespace {

SystemFacts& Facts() { return RealImpl<SystemFacts>(); }

// The record of a program file is read from the file in parts, and gives
// what the same bytes give in memory; a file that is cut short, empty,
// missing or a directory carries none.
TEST(LinuxVersionRecords, ReadFromTheFileAsFromMemory) {
    using namespace testing::pe;
    testing::ScratchDir scratch;
    VersionRecords& records = RealImpl<VersionRecords>();
    const BuiltImage image = StandardImage(false);
    scratch.Write("app.exe", std::string(image.bytes.begin(), image.bytes.end()));
    const std::string app = scratch.file("app.exe");

    std::vector<std::uint8_t> record(records.RecordSize(app));
    ASSERT_TRUE(records.ReadRecord(app, record));
    EXPECT_EQ(record, StandardRecord());
    std::string copyright;
    ASSERT_TRUE(records.QueryText(record, "\\StringFileInfo\\040904b0\\LegalCopyright", copyright));
    EXPECT_EQ(copyright, "(c) 2024 Paneloom Makers");

    scratch.Write("cut.exe", std::string(image.bytes.begin(),
                                         image.bytes.begin() + static_cast<std::ptrdiff_t>(image.resourceOffset + 20)));
    EXPECT_EQ(records.RecordSize(scratch.file("cut.exe")), 0u);
    scratch.Write("empty.exe", "");
    EXPECT_EQ(records.RecordSize(scratch.file("empty.exe")), 0u);
    EXPECT_EQ(records.RecordSize(scratch.file("missing.exe")), 0u);
    EXPECT_EQ(records.RecordSize(scratch.path().string()), 0u);
}

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
