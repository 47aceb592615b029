#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "variables/variables_fixture.h"
#include "variables/volumes.h"

namespace paneloom {
namespace {

using VolumesTest = testing::VariablesTest;

platform::DiskSpace Space(std::uint64_t total, std::uint64_t totalFree, std::uint64_t freeToCaller = 0) {
    platform::DiskSpace space;
    space.total = total;
    space.totalFree = totalFree;
    space.freeToCaller = freeToCaller;
    return space;
}

TEST_F(VolumesTest, SizeTextUnitBounds) {
    const auto sizeOf = [this](std::uint64_t total, std::uint64_t totalFree) {
        facts.spaces["X:\\"] = Space(total, totalFree);
        return VolumeSizeText("X:\\");
    };
    EXPECT_EQ("0.0/0.0 KB Free", sizeOf(1, 0));
    EXPECT_EQ("1423.5/1423.5 KB Free", sizeOf(1457664, 1457664));
    EXPECT_EQ("5120.0/10240.0 KB Free", sizeOf(10485760, 5242880));
    EXPECT_EQ("0.0/10.0 MB Free", sizeOf(10485761, 0));
    EXPECT_EQ("60.0/100.0 MB Free", sizeOf(104857600, 62914560));
    EXPECT_EQ("512.0/512.0 MB Free", sizeOf(536870912, 536870912));
    EXPECT_EQ("0.5/0.5 GB Free", sizeOf(536870913, 536870913));
    EXPECT_EQ("12.3/40.0 GB Free", sizeOf(40ull << 30, 13249974108ull));
    EXPECT_EQ("8192.0/16384.0 GB Free", sizeOf(16ull << 40, 8ull << 40));
}

TEST_F(VolumesTest, SizeTextIsEmptyForAFailedQueryOrNoBytes) {
    EXPECT_EQ("", VolumeSizeText("Q:\\"));
    facts.spaces["X:\\"] = Space(0, 0);
    EXPECT_EQ("", VolumeSizeText("X:\\"));
}

TEST_F(VolumesTest, TheFreeFigureIsTheVolumesTotalFreeNotTheCallersShare) {
    facts.spaces["X:\\"] = Space(100ull << 30, 50ull << 30, 1ull << 30);
    EXPECT_EQ("50.0/100.0 GB Free", VolumeSizeText("X:\\"));
}

TEST_F(VolumesTest, LineFormsBySerialNumber) {
    VolumeInfo info;
    ASSERT_TRUE(info.Query("C:\\"));
    EXPECT_EQ("C:\\  12.3/40.0 GB Free:NTFS:'SYSTEM':SN 0x3C1A9E27", VolumeLine(info, "12.3/40.0 GB Free"));
    EXPECT_EQ("C:\\  :NTFS:'SYSTEM':SN 0x3C1A9E27", VolumeLine(info, ""));

    info.serialNumber = 0x0012ABCD;
    EXPECT_EQ("C:\\  x:NTFS:'SYSTEM':SN 0x12ABCD", VolumeLine(info, "x"));

    info.serialNumber = 0;
    EXPECT_EQ("C:\\", VolumeLine(info, "12.3/40.0 GB Free"));
}

TEST_F(VolumesTest, AFailedQueryKeepsTheErrorAndEmptyFields) {
    VolumeInfo info;
    info.label = "stale";
    EXPECT_FALSE(info.Query("A:\\"));
    EXPECT_EQ(21u, info.status);
    EXPECT_EQ("A:\\", info.root);
    EXPECT_EQ("", info.label);
    EXPECT_EQ("", info.fileSystem);
    EXPECT_EQ(0u, info.serialNumber);

    EXPECT_TRUE(info.Query("C:\\"));
    EXPECT_EQ(0u, info.status);
    EXPECT_EQ("SYSTEM", info.label);
}

TEST_F(VolumesTest, NamesLongerThanTheirBuffersAreCutOnACharacterBoundary) {
    testing::FakeUtf8CodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);
    platform::VolumeRecord record;
    // 254 bytes, then a two-byte character that would straddle byte 255.
    record.label = std::string(254, 'L') + "\xC3\xA9" + "more";
    record.fileSystem = std::string(300, 'f');
    record.serialNumber = 1;
    facts.volumes["E:\\"] = record;
    VolumeInfo info;
    ASSERT_TRUE(info.Query("E:\\"));
    EXPECT_EQ(std::string(254, 'L'), info.label);
    EXPECT_EQ(std::string(255, 'f'), info.fileSystem);
}

TEST_F(VolumesTest, ADriveWithoutMediumShowsItsRootAlone) {
    facts.drives.insert(facts.drives.begin(), platform::LogicalDrive{'A', "A:\\"});
    EXPECT_EQ("[A:\\]", Substitute("[%VOLUME_A_INFO%]"));
}

TEST_F(VolumesTest, ASpaceThatCannotBeReadLeavesAnEmptySizeText) {
    facts.spaces.clear();
    EXPECT_EQ("C:\\  :NTFS:'SYSTEM':SN 0x3C1A9E27", Substitute("%VOLUME_C_INFO%"));
    facts.spaces["C:\\"] = Space(0, 0);
    EXPECT_EQ("C:\\  :NTFS:'SYSTEM':SN 0x3C1A9E27", Substitute("%VOLUME_C_INFO%"));
}

TEST_F(VolumesTest, ANamedVolumeIsQueriedOnceHoweverOftenItIsNamed) {
    EXPECT_EQ("C:\\  12.3/40.0 GB Free:NTFS:'SYSTEM':SN 0x3C1A9E27 / "
              "C:\\  12.3/40.0 GB Free:NTFS:'SYSTEM':SN 0x3C1A9E27",
              Substitute("%VOLUME_C_INFO% / %VOLUME_C_INFO%"));
    EXPECT_EQ(std::vector<std::string>{"C:\\"}, facts.volumeQueries);
    EXPECT_EQ(std::vector<std::string>{"C:\\"}, facts.spaceQueries);
}

TEST_F(VolumesTest, OnlyTheNamedDrivesAreQueriedInListOrder) {
    platform::VolumeRecord data;
    data.fileSystem = "FAT32";
    data.serialNumber = 0xABCD1234;
    facts.AddDrive('D', "D:\\", data, Space(64ull << 20, 32ull << 20));
    facts.AddDrive('E', "E:\\", data, Space(1, 1));
    EXPECT_EQ("D:\\  32.0/64.0 MB Free:FAT32:'':SN 0xABCD1234 and C:\\  12.3/40.0 GB Free:NTFS:'SYSTEM':SN 0x3C1A9E27",
              Substitute("%VOLUME_D_INFO% and %VOLUME_C_INFO%"));
    EXPECT_EQ((std::vector<std::string>{"C:\\", "D:\\"}), facts.volumeQueries);
}

TEST_F(VolumesTest, AnUnknownLetterStaysAndNothingIsQueried) {
    EXPECT_EQ("%VOLUME_Q_INFO% %VOLUME_c_INFO% %VOLUME_CC_INFO%",
              Substitute("%VOLUME_Q_INFO% %VOLUME_c_INFO% %VOLUME_CC_INFO%"));
    EXPECT_TRUE(facts.volumeQueries.empty());
    EXPECT_TRUE(facts.spaceQueries.empty());
}

TEST_F(VolumesTest, TheDriveListIsReadOncePerRun) {
    Substitute("%VOLUME_C_INFO%");
    platform::VolumeRecord late;
    late.serialNumber = 1;
    facts.AddDrive('F', "F:\\", late, Space(1, 1));
    EXPECT_EQ("%VOLUME_F_INFO%", Substitute("%VOLUME_F_INFO%"));
    EXPECT_EQ(1, facts.driveListQueries);

    EXPECT_EQ(1u, caches.driveList.Count());
    EXPECT_EQ("C:\\", caches.driveList.DriveRoot(0));
    EXPECT_EQ('C', caches.driveList.DriveLetter(0));
    EXPECT_EQ("", caches.driveList.DriveRoot(1));
    EXPECT_EQ("", caches.driveList.DriveRoot(99));
    EXPECT_EQ('\0', caches.driveList.DriveLetter(99));
}

TEST_F(VolumesTest, ADriveWithAnEmptyRootIsSkipped) {
    facts.drives.push_back(platform::LogicalDrive{'G', ""});
    EXPECT_EQ("%VOLUME_G_INFO%", Substitute("%VOLUME_G_INFO%"));
    EXPECT_TRUE(facts.volumeQueries.empty());
}

TEST_F(VolumesTest, APlatformRootThatIsAMountPointKeepsItsLetter) {
    facts.drives.clear();
    platform::VolumeRecord root;
    root.fileSystem = "ext4";
    root.label = "rootfs";
    root.serialNumber = 0x1B2C3D4E;
    facts.AddDrive('C', "/", root, Space(40ull << 30, 20ull << 30));
    facts.AddDrive('D', "/home", root, Space(40ull << 30, 10ull << 30));
    EXPECT_EQ("/home  10.0/40.0 GB Free:ext4:'rootfs':SN 0x1B2C3D4E", Substitute("%VOLUME_D_INFO%"));
}

}  // namespace
}  // namespace paneloom
