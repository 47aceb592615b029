#include "platform/system_facts.h"

#include <pwd.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/linux/files/file_reader.h"
#include "platform/linux/system/parsers.h"

namespace paneloom::platform {

namespace {

// Windows' flag for a volume mounted read-only, so the flags mean the same
// on both builds.
constexpr std::uint32_t kReadOnlyVolume = 0x00080000;

// Bounds on the system files read whole, well above what real machines
// show: the mount table of a container host with thousands of mounts, each
// with long overlay options, runs to a few MiB; /proc/cpuinfo of a 256-core
// machine to well under 1 MiB; os-release to a few hundred bytes.
constexpr std::size_t kMountTableLimit = 32u << 20;
constexpr std::size_t kCpuInfoLimit = 4u << 20;
constexpr std::size_t kOsReleaseLimit = 64u << 10;

std::string CanonicalPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return std::string();
    return resolved;
}

// The name of the entry in a /dev/disk/by-* directory that links to
// `device`, decoded; empty when none does.
std::string DiskLinkName(const char* directory, const std::string& device) {
    const std::string target = CanonicalPath(device);
    if (target.empty()) return std::string();
    for (const std::string& name : lnx::ListDirectory(directory)) {
        if (CanonicalPath(std::string(directory) + "/" + name) == target) return lnx::DecodeUdevName(name);
    }
    return std::string();
}

std::vector<lnx::MountEntry> MountTable() {
    std::string text;
    if (!lnx::ReadBoundedFile("/proc/self/mounts", kMountTableLimit, text)) return {};
    return lnx::ParseMountTable(text);
}

class LinuxSystemFacts final : public SystemFacts {
public:
    bool QueryOsVersion(OsVersionRecord& record) override {
        struct utsname names {};
        if (::uname(&names) != 0) return false;
        std::string osRelease;
        if (!lnx::ReadBoundedFile("/etc/os-release", kOsReleaseLimit, osRelease)) {
            lnx::ReadBoundedFile("/usr/lib/os-release", kOsReleaseLimit, osRelease);
        }

        record = OsVersionRecord();
        record.systemName = lnx::OsReleaseSystemName(osRelease);
        // The kernel release stands where Windows names its service pack,
        // and the kernel's build number (uname -v) where Windows has its own.
        record.servicePack = std::string(names.release).substr(0, 127);
        lnx::ParseKernelRelease(names.release, record.majorVersion, record.minorVersion);
        record.buildNumber = lnx::KernelBuildNumber(names.version);
        return true;
    }

    std::uint32_t ProcessorCount() override {
        const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
        return online > 0 ? static_cast<std::uint32_t>(online) : 1;
    }

    bool ReadProcessorDescription(ProcessorDescription& description) override {
        std::string text;
        if (!lnx::ReadBoundedFile("/proc/cpuinfo", kCpuInfoLimit, text)) return false;
        const lnx::CpuInfo info = lnx::ParseCpuInfo(text);
        if (info.hasClock) description.clockMHz = info.clockMHz;
        if (info.hasName) description.name = info.name;
        return true;
    }

    std::vector<LogicalDrive> LogicalDrives() override {
        std::vector<lnx::MountEntry> mounts = MountTable();
        // Files bind-mounted into place (a container's /etc/hosts) are no
        // volumes.
        std::vector<lnx::MountEntry> directories;
        for (const lnx::MountEntry& mount : mounts) {
            if (lnx::IsDirectory(mount.mountPoint)) directories.push_back(mount);
        }
        return lnx::AssignDriveLetters(directories);
    }

    bool QueryVolume(const std::string& root, VolumeRecord& record, std::uint32_t& error) override {
        // The roots are the mount points, as UTF-8 as the system gives them.
        struct statvfs space {};
        struct statfs identity {};
        if (::statvfs(root.c_str(), &space) != 0 || ::statfs(root.c_str(), &identity) != 0) {
            error = static_cast<std::uint32_t>(errno);
            return false;
        }
        lnx::MountEntry mount;
        const bool mounted = lnx::FindMount(MountTable(), root, mount);

        VolumeRecord result;
        result.fileSystem = mounted ? mount.fileSystem : std::string();
        result.maxComponentLength = static_cast<std::uint32_t>(space.f_namemax);
        result.fileSystemFlags = (space.f_flag & ST_RDONLY) != 0 ? kReadOnlyVolume : 0;
        if (mounted) {
            result.label = DiskLinkName("/dev/disk/by-label", mount.source);
            result.serialNumber = lnx::SerialFromUuid(DiskLinkName("/dev/disk/by-uuid", mount.source));
        }
        if (result.serialNumber == 0) {
            // Without udev's names (in a container, say) the file-system id,
            // which disk file systems derive from their UUID, stands in.
            int words[2];
            static_assert(sizeof words == sizeof identity.f_fsid, "two 32-bit words");
            std::memcpy(words, &identity.f_fsid, sizeof words);
            result.serialNumber = static_cast<std::uint32_t>(words[0]) ^ static_cast<std::uint32_t>(words[1]);
        }
        record = result;
        return true;
    }

    bool QueryDiskSpace(const std::string& root, DiskSpace& space) override {
        struct statvfs info {};
        if (::statvfs(root.c_str(), &info) != 0) return false;
        const std::uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
        space.freeToCaller = static_cast<std::uint64_t>(info.f_bavail) * unit;
        space.total = static_cast<std::uint64_t>(info.f_blocks) * unit;
        space.totalFree = static_cast<std::uint64_t>(info.f_bfree) * unit;
        return true;
    }

    std::uint64_t TotalPhysicalMemory() override {
        struct sysinfo info {};
        if (::sysinfo(&info) != 0) return 0;
        const std::uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
        return static_cast<std::uint64_t>(info.totalram) * unit;
    }

    bool QueryUserName(std::string& name) override {
        const passwd* entry = ::getpwuid(::geteuid());
        if (entry == nullptr || entry->pw_name == nullptr) return false;
        name = entry->pw_name;
        return true;
    }
};

}  // namespace

template <>
SystemFacts& RealImpl<SystemFacts>() {
    static LinuxSystemFacts facts;
    return facts;
}

}  // namespace paneloom::platform
