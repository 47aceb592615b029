// Readers of the Linux system files behind the system facts: /proc/cpuinfo,
// os-release, the mount table and the names in /dev/disk. Each is a pure
// function over the file's text, so any text, however damaged, can be fed to
// it: nothing is read outside the input, every loop ends, nothing throws but
// exhausted memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system_facts.h"

namespace paneloom::platform::lnx {

// What /proc/cpuinfo says about the first processor.
struct CpuInfo {
    bool hasName = false;
    std::string name;  // as the file holds it (UTF-8)
    bool hasClock = false;
    std::uint32_t clockMHz = 0;  // rounded to the nearest MHz
};

// The first "model name" (or, on systems without one, "Processor" or
// "cpu model") and the first "cpu MHz" of a /proc/cpuinfo text.
CpuInfo ParseCpuInfo(const std::string& text);

// The value of `key` in an os-release text with its quoting and escapes
// removed; the last assignment counts. False when the key is not assigned.
bool OsReleaseValue(const std::string& text, const std::string& key, std::string& value);

// The system's name from an os-release text: PRETTY_NAME, else NAME with
// VERSION, else "Linux".
std::string OsReleaseSystemName(const std::string& text);

// Major and minor version of a kernel release such as "6.1.0-18-amd64"; 0
// for a part that is missing.
void ParseKernelRelease(const std::string& release, std::uint32_t& major, std::uint32_t& minor);

// The kernel's build number from its version text ("#35~22.04.1-Ubuntu SMP
// ..." gives 35), as `uname -v` shows it; 0 when it has none.
std::uint32_t KernelBuildNumber(const std::string& version);

// One line of the mount table, escapes (\040 for a blank) decoded.
struct MountEntry {
    std::string source;
    std::string mountPoint;
    std::string fileSystem;
};

// The entries of a /proc/self/mounts text in table order; lines with fewer
// than three fields are skipped.
std::vector<MountEntry> ParseMountTable(const std::string& text);

// The mounts that get drive letters, as Wine gives them: C for "/" always,
// then D, E, ... up to Z for the file systems of the other block devices
// ("/dev/...") in table order, each device and each mount point once (the
// first mount of a device counts; the device mounted at "/" has C).
// Read-only package images (squashfs) are left out. Roots are mount points
// as the table gives them.
std::vector<LogicalDrive> AssignDriveLetters(const std::vector<MountEntry>& mounts);

// The mount that is visible at `mountPoint`: the last entry for it. False
// when the table has none.
bool FindMount(const std::vector<MountEntry>& mounts, const std::string& mountPoint, MountEntry& entry);

// A volume serial number from a file-system UUID: the FAT form "ABCD-1234"
// and standard UUIDs give their first eight hexadecimal digits, NTFS's
// sixteen-digit form its last eight (what Windows shows). 0 when the text is
// not made of at least eight hexadecimal digits and dashes.
std::uint32_t SerialFromUuid(const std::string& uuid);

// A name under /dev/disk/by-label with udev's "\xHH" escapes decoded.
std::string DecodeUdevName(const std::string& name);

}  // namespace paneloom::platform::lnx
