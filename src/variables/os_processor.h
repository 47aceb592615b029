// The operating-system variables (%OS%, %SERVICEPACK%, %BUILD%) and the
// processor variables (%PROCMHZ%, %PROCNAME%, %PROCCOUNT%, %PROCINFO%).
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_facts.h"

namespace paneloom {

// The process-wide copy of the system's version record. A successful query is
// kept for the rest of the process; a failed one leaves the all-zero record
// and is tried again by the next Load().
class OsVersion {
public:
    static void Load();
    // (platform id << 16) | (major << 8) | minor.
    static std::uint32_t VersionCode();
    // The whole build field read as a signed number.
    static std::int32_t BuildNumber();
    // The service-pack text, empty when none is installed.
    static std::string ServicePack();
    static const platform::OsVersionRecord& Record();
    static void ResetForTest();
};

// The process-wide copy of the system information: the processor count,
// queried once per process.
class SystemInfo {
public:
    static void Load();
    static std::uint32_t ProcessorCount();
    static void ResetForTest();
};

// The name of the system that a version record describes.
std::string SystemName(const platform::OsVersionRecord& record);

// "Single" for 1, "Dual" for 2, otherwise "Multi(<count>)".
std::string ProcessorCountText(std::uint32_t count);

// Replaces %OS%, then %SERVICEPACK%, then %BUILD%.
void SubstituteOsVariables(std::string& text);

// Replaces %PROCMHZ%, %PROCNAME%, %PROCCOUNT% and %PROCINFO%, or none of them
// when the processor description cannot be opened.
void SubstituteProcessorVariables(std::string& text);

}  // namespace paneloom
