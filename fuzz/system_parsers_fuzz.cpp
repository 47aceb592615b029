// The readers of the Linux system files, fed any text: /proc/cpuinfo,
// os-release, the kernel's release and version, the mount table and the
// drive letters made from it, file-system UUIDs and udev's escaped names.
// The same bytes go to every reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/system/parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paneloom::platform::lnx;
    const std::string text(reinterpret_cast<const char*>(data), size);

    ParseCpuInfo(text);

    std::string value;
    for (const char* key : {"PRETTY_NAME", "NAME", "VERSION", ""}) OsReleaseValue(text, key, value);
    OsReleaseSystemName(text);

    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    ParseKernelRelease(text, major, minor);
    KernelBuildNumber(text);

    const std::vector<MountEntry> mounts = ParseMountTable(text);
    for (const paneloom::platform::LogicalDrive& drive : AssignDriveLetters(mounts)) {
        MountEntry entry;
        FindMount(mounts, drive.root, entry);
    }
    MountEntry entry;
    FindMount(mounts, "/", entry);

    SerialFromUuid(text);
    DecodeUdevName(text);
    return 0;
}
