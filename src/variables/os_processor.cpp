#include "variables/os_processor.h"

#include "common/format.h"
#include "codepage/ansi_text.h"
#include "variables/replace.h"

namespace paneloom {

namespace {

constexpr std::uint32_t Code(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor) {
    return (platformId << 16) | (major << 8) | minor;
}

// The names of the systems up to Windows XP, by version code. Codes 1 and 2
// are no version that a query gives; they name the families as a whole.
struct NamedVersion {
    std::uint32_t code;
    const char* name;
};
constexpr NamedVersion kClassicNames[] = {
    {Code(0, 0, 0), "Windows 3.1"},     {Code(0, 0, 1), "Windows 9X"},
    {Code(0, 0, 2), "Windows NT"},      {Code(1, 4, 0), "Windows 95"},
    {Code(1, 4, 10), "Windows 98"},     {Code(1, 4, 90), "Windows ME"},
    {Code(2, 3, 51), "Windows NT 3.51"}, {Code(2, 4, 0), "Windows NT 4.0"},
    {Code(2, 5, 0), "Windows 2000"},    {Code(2, 5, 1), "Windows XP"},
};

constexpr std::uint32_t kWindows95Family = 1;
constexpr std::uint32_t kNtFamily = 2;
constexpr std::uint8_t kWorkstation = 1;

// The NT systems after XP share version numbers between their desktop and
// server editions; the product type of the extended record tells them apart
// (0, a record that does not say, counts as a desktop).
const char* LaterNtName(const platform::OsVersionRecord& record) {
    const bool server = record.productType != 0 && record.productType != kWorkstation;
    const std::uint32_t build = record.buildNumber;
    switch (Code(record.platformId, record.majorVersion, record.minorVersion)) {
        case Code(2, 5, 2): return server ? "Windows Server 2003" : "Windows XP x64";
        case Code(2, 6, 0): return server ? "Windows Server 2008" : "Windows Vista";
        case Code(2, 6, 1): return server ? "Windows Server 2008 R2" : "Windows 7";
        case Code(2, 6, 2): return server ? "Windows Server 2012" : "Windows 8";
        case Code(2, 6, 3): return server ? "Windows Server 2012 R2" : "Windows 8.1";
        case Code(2, 10, 0):
            if (!server) return build >= 22000 ? "Windows 11" : "Windows 10";
            if (build >= 26100) return "Windows Server 2025";
            if (build >= 20348) return "Windows Server 2022";
            if (build >= 17763) return "Windows Server 2019";
            return "Windows Server 2016";
        default: return nullptr;
    }
}

}  // namespace

void OsVersion::Load() {
    if (filled_) return;
    platform::OsVersionRecord record;
    if (platform::Get<platform::SystemFacts>().QueryOsVersion(record)) {
        record_ = record;
        filled_ = true;
    } else {
        record_ = platform::OsVersionRecord();
    }
}

std::uint32_t OsVersion::VersionCode() const {
    return Code(record_.platformId, record_.majorVersion, record_.minorVersion);
}

std::int32_t OsVersion::BuildNumber() const { return static_cast<std::int32_t>(record_.buildNumber); }

std::string OsVersion::ServicePack() const { return record_.servicePack.substr(0, record_.servicePack.find('\0')); }

void SystemInfo::Load() {
    if (filled_) return;
    processorCount_ = platform::Get<platform::SystemFacts>().ProcessorCount();
    filled_ = true;
}

std::string SystemName(const platform::OsVersionRecord& record) {
    if (!record.systemName.empty()) return record.systemName;
    const std::uint32_t code = Code(record.platformId, record.majorVersion, record.minorVersion);
    for (const NamedVersion& entry : kClassicNames) {
        if (entry.code == code) return entry.name;
    }
    if (const char* later = LaterNtName(record)) return later;
    if (record.platformId == kWindows95Family) return "Windows 9X";
    if (record.platformId == kNtFamily) return "Windows NT";
    return "OS UNKNOWN";
}

std::string ProcessorCountText(std::uint32_t count) {
    if (count == 1) return "Single";
    if (count == 2) return "Dual";
    return StringPrintf("Multi(%d)", static_cast<int>(count));
}

void SubstituteOsVariables(std::string& text, OsVersion& version) {
    version.Load();
    ReplaceAll(text, "%OS%", SystemName(version.Record()));
    ReplaceAll(text, "%SERVICEPACK%", version.ServicePack());
    ReplaceAll(text, "%BUILD%", StringPrintf("%d", static_cast<int>(version.BuildNumber())));
}

void SubstituteProcessorVariables(std::string& text, SystemInfo& info) {
    info.Load();
    const std::string countText = ProcessorCountText(info.ProcessorCount());

    platform::ProcessorDescription description;
    description.clockMHz = 0;
    description.name = "UNKNOWN PROCESSOR";
    if (!platform::Get<platform::SystemFacts>().ReadProcessorDescription(description)) return;

    const int clock = static_cast<int>(description.clockMHz);
    // The name as the 128-byte buffer of the registry query holds it.
    const std::string name = BufferText(description.name, 128);
    const std::string clockText = StringPrintf("%d MHz", clock);
    const std::string summary = StringPrintf("%s %d MHz %s", countText.c_str(), clock, name.c_str());

    ReplaceAll(text, "%PROCMHZ%", clockText);
    ReplaceAll(text, "%PROCNAME%", name);
    ReplaceAll(text, "%PROCCOUNT%", countText);
    ReplaceAll(text, "%PROCINFO%", summary);
}

}  // namespace paneloom
