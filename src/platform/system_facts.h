// System facts that the variables report: the system's version, the
// processor, the logical drives and their volumes, memory and the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/seam.h"

namespace paneloom::platform {

// The system's version, as the extended version record gives it.
struct OsVersionRecord {
    std::uint32_t platformId = 0;  // 0 Win32s, 1 the Windows 95 family, 2 the NT family
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::string servicePack;  // at most 127 bytes; empty when none is installed
    std::uint16_t servicePackMajor = 0;
    std::uint16_t servicePackMinor = 0;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
    // The platform's own name for the system where the Windows version table
    // cannot name it (a Linux distribution); empty on Windows.
    std::string systemName;
};

// What the processor description holds. A value the description lacks is not
// touched, so the caller's defaults stand.
struct ProcessorDescription {
    std::uint32_t clockMHz = 0;
    std::string name;
};

// One logical drive: its letter and the root string that names it to the
// volume queries (C:\ on Windows, a mount point on Linux).
struct LogicalDrive {
    char letter = 0;
    std::string root;
};

// What the volume information query gives for one root.
struct VolumeRecord {
    std::string label;
    std::string fileSystem;
    std::uint32_t serialNumber = 0;
    std::uint32_t maxComponentLength = 0;
    std::uint32_t fileSystemFlags = 0;
};

// A volume's space in bytes.
struct DiskSpace {
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    std::uint64_t totalFree = 0;
};

class SystemFacts {
public:
    virtual ~SystemFacts() = default;

    // Fills the version record; false when the platform refuses the query.
    virtual bool QueryOsVersion(OsVersionRecord& record) = 0;

    // The number of logical processors of the machine; the query cannot fail.
    virtual std::uint32_t ProcessorCount() = 0;

    // Reads the first processor's description into `description`, leaving
    // each value it lacks as given; false when the description cannot be
    // opened, and then nothing is read.
    virtual bool ReadProcessorDescription(ProcessorDescription& description) = 0;

    // The logical drives in the system's order; empty when none can be listed.
    virtual std::vector<LogicalDrive> LogicalDrives() = 0;

    // Volume information of a root from LogicalDrives(); on failure false,
    // with the platform's error code in `error` and `record` untouched.
    virtual bool QueryVolume(const std::string& root, VolumeRecord& record, std::uint32_t& error) = 0;

    // Free and total space of a root; false when it cannot be read.
    virtual bool QueryDiskSpace(const std::string& root, DiskSpace& space) = 0;

    // Total physical memory in bytes, never capped or wrapped.
    virtual std::uint64_t TotalPhysicalMemory() = 0;

    // The user name of the running process; false when it cannot be read.
    virtual bool QueryUserName(std::string& name) = 0;
};

template <>
SystemFacts& RealImpl<SystemFacts>();

}  // namespace paneloom::platform
