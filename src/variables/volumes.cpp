#include "variables/volumes.h"

#include "codepage/ansi_text.h"
#include "common/format.h"
#include "variables/replace.h"

namespace paneloom {

namespace {

constexpr std::uint64_t kKilobyte = 1024;
constexpr std::uint64_t kMegabyte = 1024 * kKilobyte;
constexpr std::uint64_t kGigabyte = 1024 * kMegabyte;

// The volume query's buffers for the label and the file-system name.
constexpr std::size_t kNameBufferSize = 256;

}  // namespace

void DriveList::Load() {
    if (filled_) return;
    drives_ = platform::Get<platform::SystemFacts>().LogicalDrives();
    filled_ = true;
}

std::string DriveList::DriveRoot(std::size_t i) const { return i < drives_.size() ? drives_[i].root : std::string(); }

char DriveList::DriveLetter(std::size_t i) const { return i < drives_.size() ? drives_[i].letter : '\0'; }

bool VolumeInfo::Query(const std::string& queriedRoot) {
    *this = VolumeInfo();
    root = queriedRoot;
    platform::VolumeRecord record;
    std::uint32_t error = 0;
    if (!platform::Get<platform::SystemFacts>().QueryVolume(root, record, error)) {
        status = error;
        return false;
    }
    label = BufferText(record.label, kNameBufferSize);
    fileSystem = BufferText(record.fileSystem, kNameBufferSize);
    serialNumber = record.serialNumber;
    maxComponentLength = record.maxComponentLength;
    fileSystemFlags = record.fileSystemFlags;
    return true;
}

std::string VolumeSizeText(const std::string& root) {
    platform::DiskSpace space;
    if (!platform::Get<platform::SystemFacts>().QueryDiskSpace(root, space)) return std::string();
    const std::uint64_t total = space.total;
    if (total == 0) return std::string();

    const char* format = "%.1f/%.1f GB Free";
    std::uint64_t divisor = kGigabyte;
    if (total <= 10 * kMegabyte) {
        format = "%.1f/%.1f KB Free";
        divisor = kKilobyte;
    } else if (total <= 512 * kMegabyte) {
        format = "%.1f/%.1f MB Free";
        divisor = kMegabyte;
    }
    const double scale = static_cast<double>(divisor);
    // The free figure is the volume's total free space, even where a quota
    // leaves the user less.
    return StringPrintf(format, static_cast<double>(space.totalFree) / scale,
                        static_cast<double>(total) / scale);
}

std::string VolumeLine(const VolumeInfo& info, const std::string& sizeText) {
    if (info.serialNumber == 0) return StringPrintf("%s", info.root.c_str());
    return StringPrintf("%s  %s:%s:'%s':SN 0x%0X", info.root.c_str(), sizeText.c_str(),
                        info.fileSystem.c_str(), info.label.c_str(), info.serialNumber);
}

void SubstituteVolumeVariables(std::string& text, DriveList& drives) {
    drives.Load();
    for (std::size_t i = 0; i < drives.Count(); ++i) {
        const std::string root = drives.DriveRoot(i);
        if (root.empty()) continue;
        const std::string name = StringPrintf("%%VOLUME_%c_INFO%%", drives.DriveLetter(i));
        if (!ContainsName(text, name)) continue;
        VolumeInfo info;
        info.Query(root);
        const std::string sizeText = VolumeSizeText(root);
        ReplaceAll(text, name, VolumeLine(info, sizeText));
    }
}

}  // namespace paneloom
