// The volume variables, one per logical drive (%VOLUME_C_INFO% for C:\).
// They are the only variables computed on demand: a volume is queried only
// when the text names it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system_facts.h"

namespace paneloom {

// The run's list of logical drives, read once per run: drives that appear
// or vanish later in the run are not seen.
class DriveList {
public:
    void Load();
    std::size_t Count() const { return drives_.size(); }
    // The i-th root string counting from 0; empty past the last one.
    std::string DriveRoot(std::size_t i) const;
    // The i-th drive letter; 0 past the last one.
    char DriveLetter(std::size_t i) const;

private:
    std::vector<platform::LogicalDrive> drives_;
    bool filled_ = false;
};

// The information of one volume. After a failed Query every field but
// `status` and `root` is zero or empty.
struct VolumeInfo {
    std::uint32_t status = 0;  // 0, or the platform's error code of a failed query
    std::string root;
    std::string label;
    std::string fileSystem;
    std::uint32_t serialNumber = 0;
    std::uint32_t maxComponentLength = 0;
    std::uint32_t fileSystemFlags = 0;

    bool Query(const std::string& queriedRoot);
};

// "<free>/<total> KB|MB|GB Free" with one decimal, the unit chosen by the
// total size; empty when the space cannot be read or the total is 0.
std::string VolumeSizeText(const std::string& root);

// The value of a volume variable: the root, the size text, file system,
// label and serial number; the root alone when the serial number is 0.
std::string VolumeLine(const VolumeInfo& info, const std::string& sizeText);

// Replaces the volume variable of every drive that the text names, loading
// `drives` first.
void SubstituteVolumeVariables(std::string& text, DriveList& drives);

}  // namespace paneloom
