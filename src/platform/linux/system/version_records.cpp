#include "platform/version_records.h"

#include <algorithm>

#include "formats/pe_version.h"

namespace paneloom::platform {

namespace {

// Reads the version resource of a Windows program file with the portable
// reader, so an executable named in the configuration shows the same strings
// as on Windows. Any other file (a Linux program, say) carries no record.
class LinuxVersionRecords final : public VersionRecords {
public:
    std::uint32_t RecordSize(const std::string& path) override {
        formats::VersionResource resource;
        if (!resource.LoadFromFile(path)) return 0;
        return static_cast<std::uint32_t>(resource.RecordSize());
    }

    bool ReadRecord(const std::string& path, std::vector<std::uint8_t>& record) override {
        formats::VersionResource resource;
        if (record.empty() || !resource.LoadFromFile(path)) return false;
        // As on Windows, the record is cut to the room given, and room left
        // over stays as it was.
        const std::vector<std::uint8_t>& bytes = resource.Record();
        std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());
        return true;
    }

    bool QueryBinary(std::vector<std::uint8_t>& record, const std::string& subBlock,
                     std::vector<std::uint8_t>& bytes) override {
        formats::VersionValue value;
        if (record.empty() || !formats::QueryVersionValue(record.data(), record.size(), subBlock, value)) return false;
        bytes = value.data;
        return true;
    }

    bool QueryText(std::vector<std::uint8_t>& record, const std::string& subBlock, std::string& text) override {
        formats::VersionValue value;
        if (record.empty() || !formats::QueryVersionValue(record.data(), record.size(), subBlock, value)) return false;
        // UTF-8 is the Linux build's code page.
        text = value.utf8Text.substr(0, value.utf8Text.find('\0'));
        return true;
    }
};

}  // namespace

template <>
VersionRecords& RealImpl<VersionRecords>() {
    static LinuxVersionRecords records;
    return records;
}

}  // namespace paneloom::platform
