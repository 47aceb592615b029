// Fakes of the system facts and executable version records: the test hands
// the variable families any record it likes and sees every query made.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_facts.h"
#include "platform/version_records.h"

namespace paneloom::testing {

class FakeSystemFacts : public platform::SystemFacts {
public:
    // Version: the record, and how many of the first queries fail.
    platform::OsVersionRecord version;
    int versionFailures = 0;
    int versionQueries = 0;

    std::uint32_t processorCount = 1;
    int processorCountQueries = 0;

    // Processor description: whether it opens, and the values it holds.
    bool descriptionOpens = true;
    std::optional<std::uint32_t> clockMHz;
    std::optional<std::string> processorName;
    int descriptionReads = 0;

    std::vector<platform::LogicalDrive> drives;
    int driveListQueries = 0;

    // Volumes by root; a root without a record fails with volumeError.
    std::map<std::string, platform::VolumeRecord> volumes;
    std::uint32_t volumeError = 21;  // ERROR_NOT_READY
    std::map<std::string, platform::DiskSpace> spaces;
    std::vector<std::string> volumeQueries;
    std::vector<std::string> spaceQueries;

    std::uint64_t totalMemory = 536346624;
    std::optional<std::string> userName = std::string("alice");

    // Called at the start of every query of the user name, e.g. to throw.
    std::function<void()> onUserQuery;

    bool QueryOsVersion(platform::OsVersionRecord& record) override {
        ++versionQueries;
        if (versionFailures > 0) {
            --versionFailures;
            return false;
        }
        record = version;
        return true;
    }

    std::uint32_t ProcessorCount() override {
        ++processorCountQueries;
        return processorCount;
    }

    bool ReadProcessorDescription(platform::ProcessorDescription& description) override {
        ++descriptionReads;
        if (!descriptionOpens) return false;
        if (clockMHz) description.clockMHz = *clockMHz;
        if (processorName) description.name = *processorName;
        return true;
    }

    std::vector<platform::LogicalDrive> LogicalDrives() override {
        ++driveListQueries;
        return drives;
    }

    bool QueryVolume(const std::string& root, platform::VolumeRecord& record, std::uint32_t& error) override {
        volumeQueries.push_back(root);
        const auto found = volumes.find(root);
        if (found == volumes.end()) {
            error = volumeError;
            return false;
        }
        record = found->second;
        return true;
    }

    bool QueryDiskSpace(const std::string& root, platform::DiskSpace& space) override {
        spaceQueries.push_back(root);
        const auto found = spaces.find(root);
        if (found == spaces.end()) return false;
        space = found->second;
        return true;
    }

    std::uint64_t TotalPhysicalMemory() override { return totalMemory; }

    bool QueryUserName(std::string& name) override {
        if (onUserQuery) onUserQuery();
        if (!userName) return false;
        name = *userName;
        return true;
    }

    // Adds a drive with its volume and space.
    void AddDrive(char letter, const std::string& root, const platform::VolumeRecord& record,
                  const platform::DiskSpace& space) {
        drives.push_back(platform::LogicalDrive{letter, root});
        volumes[root] = record;
        spaces[root] = space;
    }
};

// One executable's version record: its size, whether it can be read, the
// translation table and the texts by sub-block path.
class FakeVersionRecords : public platform::VersionRecords {
public:
    std::uint32_t size = 64;
    bool readable = true;
    std::optional<std::vector<std::uint8_t>> translation =
        std::vector<std::uint8_t>{0x09, 0x04, 0xB0, 0x04};  // 0x0409, 1200
    std::map<std::string, std::string> texts;

    std::vector<std::string> sizeQueries;
    std::vector<std::string> textQueries;

    // Called at the start of every size query, e.g. to throw.
    std::function<void()> onSizeQuery;

    std::uint32_t RecordSize(const std::string& path) override {
        if (onSizeQuery) onSizeQuery();
        sizeQueries.push_back(path);
        return size;
    }

    bool ReadRecord(const std::string&, std::vector<std::uint8_t>& record) override {
        return readable && record.size() == size;
    }

    bool QueryBinary(std::vector<std::uint8_t>&, const std::string& subBlock,
                     std::vector<std::uint8_t>& bytes) override {
        if (subBlock != "\\VarFileInfo\\Translation" || !translation) return false;
        bytes = *translation;
        return true;
    }

    bool QueryText(std::vector<std::uint8_t>&, const std::string& subBlock, std::string& text) override {
        textQueries.push_back(subBlock);
        const auto found = texts.find(subBlock);
        if (found == texts.end()) return false;
        text = found->second;
        return true;
    }

    // Gives the string table 040904b0 the four strings the variables show.
    void SetUsEnglishStrings(const std::string& company, const std::string& product, const std::string& version,
                             const std::string& copyright) {
        texts["\\StringFileInfo\\040904b0\\CompanyName"] = company;
        texts["\\StringFileInfo\\040904b0\\ProductName"] = product;
        texts["\\StringFileInfo\\040904b0\\ProductVersion"] = version;
        texts["\\StringFileInfo\\040904b0\\LegalCopyright"] = copyright;
    }
};

}  // namespace paneloom::testing
