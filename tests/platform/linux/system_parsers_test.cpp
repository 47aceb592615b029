#include "platform/linux/system/parsers.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace paneloom::platform::lnx {
namespace {

// ---------------------------------------------------------------------------
// /proc/cpuinfo

const char* const kX86CpuInfo =
    "processor\t: 0\n"
    "vendor_id\t: GenuineIntel\n"
    "model name\t: Intel(R) Core(TM) i7-8650U CPU @ 1.90GHz\n"
    "cpu MHz\t\t: 2112.004\n"
    "\n"
    "processor\t: 1\n"
    "model name\t: Some Other Name\n"
    "cpu MHz\t\t: 799.500\n";

TEST(ParseCpuInfo, TakesTheFirstProcessorsNameAndRoundedClock) {
    const CpuInfo info = ParseCpuInfo(kX86CpuInfo);
    EXPECT_TRUE(info.hasName);
    EXPECT_EQ("Intel(R) Core(TM) i7-8650U CPU @ 1.90GHz", info.name);
    EXPECT_TRUE(info.hasClock);
    EXPECT_EQ(2112u, info.clockMHz);

    EXPECT_EQ(2300u, ParseCpuInfo("cpu MHz : 2299.5\n").clockMHz);
    EXPECT_EQ(2299u, ParseCpuInfo("cpu MHz : 2299.4999\n").clockMHz);
    EXPECT_EQ(800u, ParseCpuInfo("cpu MHz : 800\n").clockMHz);
}

TEST(ParseCpuInfo, OlderArmAndMipsNamesAndMissingValues) {
    const CpuInfo arm = ParseCpuInfo("Processor\t: ARMv7 Processor rev 4 (v7l)\nBogoMIPS\t: 38.40\n");
    EXPECT_EQ("ARMv7 Processor rev 4 (v7l)", arm.name);
    EXPECT_FALSE(arm.hasClock);

    EXPECT_EQ("MIPS 24Kc V7.4", ParseCpuInfo("system type : x\ncpu model : MIPS 24Kc V7.4\n").name);
    // "model name" wins wherever it stands.
    EXPECT_EQ("A", ParseCpuInfo("Processor : B\nmodel name : A\n").name);

    const CpuInfo aarch64 = ParseCpuInfo("processor\t: 0\nBogoMIPS\t: 50.00\nCPU implementer\t: 0x41\n");
    EXPECT_FALSE(aarch64.hasName);
    EXPECT_FALSE(aarch64.hasClock);
}

TEST(ParseCpuInfo, HostileText) {
    EXPECT_FALSE(ParseCpuInfo("").hasName);
    EXPECT_FALSE(ParseCpuInfo("model name").hasName);
    EXPECT_FALSE(ParseCpuInfo("cpu MHz : fast\n").hasClock);
    EXPECT_FALSE(ParseCpuInfo("cpu MHz : -5\n").hasClock);
    EXPECT_EQ(4294967295u, ParseCpuInfo("cpu MHz : 99999999999999999999999.9\n").clockMHz);
    EXPECT_EQ("", ParseCpuInfo("model name:\n").name);
    EXPECT_TRUE(ParseCpuInfo("model name:\n").hasName);
    const CpuInfo noNewline = ParseCpuInfo(std::string("model name : a\0b", 16));
    EXPECT_EQ(std::string("a\0b", 3), noNewline.name);
    EXPECT_EQ("x:y", ParseCpuInfo("model name : x:y\r\n").name);
}

// ---------------------------------------------------------------------------
// os-release

TEST(OsRelease, PrettyNameFirst) {
    EXPECT_EQ("Debian GNU/Linux 12 (bookworm)",
              OsReleaseSystemName("NAME=\"Debian GNU/Linux\"\nVERSION=\"12 (bookworm)\"\n"
                                  "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"));
    EXPECT_EQ("Fedora 39", OsReleaseSystemName("NAME=Fedora\nVERSION=39\n"));
    EXPECT_EQ("Arch Linux", OsReleaseSystemName("NAME=\"Arch Linux\"\nPRETTY_NAME=\"\"\n"));
    EXPECT_EQ("Linux", OsReleaseSystemName(""));
    EXPECT_EQ("Linux", OsReleaseSystemName("ID=x\n# PRETTY_NAME=\"commented out\"\n"));
}

TEST(OsRelease, ShellQuotingAndEscapes) {
    std::string value;
    ASSERT_TRUE(OsReleaseValue("A=\"say \\\"hi\\\" \\$HOME \\\\ \\n\"\n", "A", value));
    EXPECT_EQ("say \"hi\" $HOME \\ \\n", value);
    ASSERT_TRUE(OsReleaseValue("A='it''s'\n", "A", value));
    EXPECT_EQ("its", value);
    ASSERT_TRUE(OsReleaseValue("A=plain\\ word tail\n", "A", value));
    EXPECT_EQ("plain word", value);
    ASSERT_TRUE(OsReleaseValue("  A=first\nA=last\n", "A", value));
    EXPECT_EQ("last", value);
    ASSERT_TRUE(OsReleaseValue("A=\n", "A", value));
    EXPECT_EQ("", value);
    EXPECT_FALSE(OsReleaseValue("AB=x\nA =y\nXA=z\n", "A", value));
}

TEST(OsRelease, HostileText) {
    std::string value;
    ASSERT_TRUE(OsReleaseValue("A=\"open to the end", "A", value));
    EXPECT_EQ("open to the end", value);
    ASSERT_TRUE(OsReleaseValue("A='open\nB=2\n", "A", value));
    EXPECT_EQ("open", value);
    ASSERT_TRUE(OsReleaseValue("B=2\n", "B", value));
    EXPECT_EQ("2", value);
    ASSERT_TRUE(OsReleaseValue("A=\\", "A", value));
    EXPECT_EQ("", value);
    ASSERT_TRUE(OsReleaseValue("A=\"\\", "A", value));
    EXPECT_EQ("\\", value);
    EXPECT_FALSE(OsReleaseValue("=\n\n\n", "A", value));
    EXPECT_EQ("Linux", OsReleaseSystemName(std::string(100000, '=')));
}

// ---------------------------------------------------------------------------
// The kernel

TEST(Kernel, ReleaseNumbersAndBuild) {
    std::uint32_t major = 9;
    std::uint32_t minor = 9;
    ParseKernelRelease("6.1.0-18-amd64", major, minor);
    EXPECT_EQ(6u, major);
    EXPECT_EQ(1u, minor);
    ParseKernelRelease("5", major, minor);
    EXPECT_EQ(5u, major);
    EXPECT_EQ(0u, minor);
    ParseKernelRelease("x.y", major, minor);
    EXPECT_EQ(0u, major);
    ParseKernelRelease("99999999999.99999999999", major, minor);
    EXPECT_EQ(4294967295u, major);
    EXPECT_EQ(4294967295u, minor);

    EXPECT_EQ(1u, KernelBuildNumber("#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)"));
    EXPECT_EQ(35u, KernelBuildNumber("#35~22.04.1-Ubuntu SMP PREEMPT_DYNAMIC Tue Mar 12"));
    EXPECT_EQ(7u, KernelBuildNumber("# #7"));
    EXPECT_EQ(0u, KernelBuildNumber("SMP"));
    EXPECT_EQ(0u, KernelBuildNumber("#"));
}

// ---------------------------------------------------------------------------
// The mount table and drive letters

TEST(MountTable, FieldsAndEscapes) {
    const std::vector<MountEntry> mounts = ParseMountTable(
        "/dev/sda2 / ext4 rw,relatime 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sdb1 /media/me/My\\040Disk vfat rw 0 0\n"
        "short line\n"
        "\n"
        "/dev/sdc1\t/mnt/back\\134slash  xfs rw 0 0");
    ASSERT_EQ(4u, mounts.size());
    EXPECT_EQ("/dev/sda2", mounts[0].source);
    EXPECT_EQ("/", mounts[0].mountPoint);
    EXPECT_EQ("ext4", mounts[0].fileSystem);
    EXPECT_EQ("/media/me/My Disk", mounts[2].mountPoint);
    EXPECT_EQ("vfat", mounts[2].fileSystem);
    EXPECT_EQ("/mnt/back\\slash", mounts[3].mountPoint);
    EXPECT_EQ("xfs", mounts[3].fileSystem);
}

TEST(MountTable, BrokenEscapesStayAsWritten) {
    const std::vector<MountEntry> mounts = ParseMountTable("a /x\\04 t\nb /y\\999 t\nc /z\\ t\n");
    ASSERT_EQ(3u, mounts.size());
    EXPECT_EQ("/x\\04", mounts[0].mountPoint);
    EXPECT_EQ("/y\\999", mounts[1].mountPoint);
    EXPECT_EQ("/z\\", mounts[2].mountPoint);
}

TEST(DriveLetters, RootIsCThenBlockDevicesInTableOrder) {
    const std::vector<LogicalDrive> drives = AssignDriveLetters(ParseMountTable(
        "sysfs /sys sysfs rw 0 0\n"
        "/dev/nvme0n1p2 / ext4 rw 0 0\n"
        "/dev/nvme0n1p1 /boot/efi vfat rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "/dev/nvme0n1p2 /var/lib/docker/bind ext4 rw 0 0\n"
        "/dev/sda1 /home ext4 rw 0 0\n"
        "/dev/sdb1 /home ext4 rw 0 0\n"
        "/dev/sdc1 /media/usb vfat rw 0 0\n"
        "/dev/ relative ext4 rw 0 0\n"));
    ASSERT_EQ(4u, drives.size());
    EXPECT_EQ('C', drives[0].letter);
    EXPECT_EQ("/", drives[0].root);
    EXPECT_EQ('D', drives[1].letter);
    EXPECT_EQ("/boot/efi", drives[1].root);
    EXPECT_EQ('E', drives[2].letter);
    EXPECT_EQ("/home", drives[2].root);
    EXPECT_EQ('F', drives[3].letter);
    EXPECT_EQ("/media/usb", drives[3].root);
}

TEST(DriveLetters, RootAlwaysAndNoLetterAfterZ) {
    const std::vector<LogicalDrive> none = AssignDriveLetters({});
    ASSERT_EQ(1u, none.size());
    EXPECT_EQ("/", none[0].root);

    std::vector<MountEntry> many;
    for (int i = 0; i < 40; ++i) {
        many.push_back(MountEntry{"/dev/sd" + std::to_string(i), "/mnt/" + std::to_string(i), "ext4"});
    }
    const std::vector<LogicalDrive> drives = AssignDriveLetters(many);
    ASSERT_EQ(24u, drives.size());
    EXPECT_EQ('Z', drives.back().letter);
    EXPECT_EQ("/mnt/22", drives.back().root);
}

TEST(DriveLetters, TheVisibleMountIsTheLast) {
    const std::vector<MountEntry> mounts =
        ParseMountTable("/dev/sda1 /data ext4 rw 0 0\n/dev/sdb1 /data xfs rw 0 0\n");
    MountEntry entry;
    ASSERT_TRUE(FindMount(mounts, "/data", entry));
    EXPECT_EQ("/dev/sdb1", entry.source);
    EXPECT_EQ("xfs", entry.fileSystem);
    EXPECT_FALSE(FindMount(mounts, "/dat", entry));
}

// ---------------------------------------------------------------------------
// Serial numbers and names from /dev/disk

TEST(SerialFromUuid, TheFormsFileSystemsUse) {
    EXPECT_EQ(0x1B2C3D4Eu, SerialFromUuid("1b2c3d4e-5f60-4a1b-8c2d-3e4f5a6b7c8d"));
    EXPECT_EQ(0xABCD1234u, SerialFromUuid("ABCD-1234"));
    EXPECT_EQ(0x3C1A9E27u, SerialFromUuid("01D2A3B43C1A9E27"));
    EXPECT_EQ(0x0012ABCDu, SerialFromUuid("0012abcd"));
    EXPECT_EQ(0u, SerialFromUuid(""));
    EXPECT_EQ(0u, SerialFromUuid("1234-567"));
    EXPECT_EQ(0u, SerialFromUuid("ABCD-123G"));
    EXPECT_EQ(0u, SerialFromUuid("../../sda1"));
}

TEST(DecodeUdevName, HexEscapes) {
    EXPECT_EQ("My Disk", DecodeUdevName("My\\x20Disk"));
    EXPECT_EQ("a/b", DecodeUdevName("a\\x2fb"));
    EXPECT_EQ("\\x2", DecodeUdevName("\\x2"));
    EXPECT_EQ("\\xZZ\\", DecodeUdevName("\\xZZ\\"));
}

}  // namespace
}  // namespace paneloom::platform::lnx
