// The operating-system variables (%OS%, %SERVICEPACK%, %BUILD%) and the
// processor variables (%PROCMHZ%, %PROCNAME%, %PROCCOUNT%, %PROCINFO%).
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_facts.h"

namespace paneloom {

// The run's copy of the system's version record. A successful query is kept
// for the rest of the run; a failed one leaves the all-zero record and is
// tried again by the next Load().
class OsVersion {
public:
    void Load();
    // (platform id << 16) | (major << 8) | minor.
    std::uint32_t VersionCode() const;
    // The whole build field read as a signed number.
    std::int32_t BuildNumber() const;
    // The service-pack text, empty when none is installed.
    std::string ServicePack() const;
    const platform::OsVersionRecord& Record() const { return record_; }

private:
    platform::OsVersionRecord record_;
    bool filled_ = false;
};

// The run's copy of the system information: the processor count, queried
// once per run.
class SystemInfo {
public:
    void Load();
    std::uint32_t ProcessorCount() const { return processorCount_; }

private:
    std::uint32_t processorCount_ = 0;
    bool filled_ = false;
};

// The name of the system that a version record describes.
std::string SystemName(const platform::OsVersionRecord& record);

// "Single" for 1, "Dual" for 2, otherwise "Multi(<count>)".
std::string ProcessorCountText(std::uint32_t count);

// Replaces %OS%, then %SERVICEPACK%, then %BUILD%, loading `version` first.
void SubstituteOsVariables(std::string& text, OsVersion& version);

// Replaces %PROCMHZ%, %PROCNAME%, %PROCCOUNT% and %PROCINFO%, or none of them
// when the processor description cannot be opened. Loads `info` first.
void SubstituteProcessorVariables(std::string& text, SystemInfo& info);

}  // namespace paneloom
