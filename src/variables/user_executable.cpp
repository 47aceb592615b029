#include "variables/user_executable.h"

#include <vector>

#include "log/error_log.h"
#include "common/format.h"
#include "config/run_settings.h"
#include "platform/system_facts.h"
#include "platform/version_records.h"
#include "variables/substitution.h"

namespace paneloom {

namespace {

const char* const kNoInfo = "[no info]";

}  // namespace

std::string RamInfoText(std::uint64_t totalBytes) {
    // 64-bit throughout: machines past 4 GB, or past 2 TB where a 32-bit
    // count of kilobytes would wrap, show their real size.
    const std::uint64_t kilobytes = totalBytes / 1024 + (totalBytes % 1024 != 0 ? 1 : 0);
    return StringPrintf("%llu Kb RAM", static_cast<unsigned long long>(kilobytes));
}

void SubstituteUserAndMemoryVariables(std::string& text) {
    platform::SystemFacts& facts = platform::Get<platform::SystemFacts>();
    const std::uint64_t totalMemory = facts.TotalPhysicalMemory();
    std::string user;
    if (facts.QueryUserName(user)) {
        user = user.substr(0, user.find('\0'));
    } else {
        user = "[unknown]";
    }
    ReplaceAll(text, "%USERNAME%", user);
    ReplaceAll(text, "%RAMINFO%", RamInfoText(totalMemory));
}

int ReadVersionStrings(const std::string& path, std::string& company, std::string& product,
                       std::string& version, std::string& copyright) {
    try {
        version = kNoInfo;
        product = kNoInfo;
        company = kNoInfo;

        platform::VersionRecords& records = platform::Get<platform::VersionRecords>();
        const std::uint32_t size = records.RecordSize(path);
        if (size == 0) return 1;
        std::vector<std::uint8_t> record(size);
        // A record that vanished or broke between the two calls says no more
        // than a missing one.
        if (!records.ReadRecord(path, record)) return 1;

        std::vector<std::uint8_t> translation;
        if (!records.QueryBinary(record, "\\VarFileInfo\\Translation", translation)) return 0;
        // A table too short for one entry names no string table either.
        if (translation.size() < 4) return 0;
        const unsigned language = translation[0] | (translation[1] << 8);
        const unsigned codePage = translation[2] | (translation[3] << 8);

        struct Field {
            const char* name;
            std::string* target;
        };
        const Field fields[] = {{"ProductVersion", &version},
                                {"CompanyName", &company},
                                {"ProductName", &product},
                                {"LegalCopyright", &copyright}};
        for (const Field& field : fields) {
            const std::string subBlock =
                StringPrintf("\\StringFileInfo\\%04x%04x\\%s", language, codePage, field.name);
            std::string value;
            if (records.QueryText(record, subBlock, value)) {
                *field.target = value.substr(0, value.find('\0'));
            }
        }
        return 1;
    } catch (...) {
        LogError("Error getting application information\n");
        return 0;
    }
}

void SubstituteExecutableVariables(std::string& text) {
    std::string company;
    std::string product;
    std::string version;
    std::string copyright;
    if (ReadVersionStrings(Settings().executablePath, company, product, version, copyright) != 1) return;
    ReplaceAll(text, "%EXECUTABLE_COMPANY%", company);
    ReplaceAll(text, "%EXECUTABLE_PRODUCT%", product);
    ReplaceAll(text, "%EXECUTABLE_VERSION%", version);
    ReplaceAll(text, "%EXECUTABLE_COPYRIGHT%", copyright);
}

}  // namespace paneloom
