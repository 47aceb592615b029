#include "variables/executable.h"

#include <vector>

#include "log/error_log.h"
#include "common/format.h"
#include "platform/version_records.h"
#include "variables/replace.h"

namespace paneloom {

namespace {

const char* const kNoInfo = "[no info]";

}  // namespace

bool ReadVersionStrings(const std::string& path, std::string& company, std::string& product,
                       std::string& version, std::string& copyright) noexcept {
    try {
        version = kNoInfo;
        product = kNoInfo;
        company = kNoInfo;

        platform::VersionRecords& records = platform::Get<platform::VersionRecords>();
        const std::uint32_t size = records.RecordSize(path);
        if (size == 0) return true;
        std::vector<std::uint8_t> record(size);
        // A record that vanished or broke between the two calls says no more
        // than a missing one.
        if (!records.ReadRecord(path, record)) return true;

        std::vector<std::uint8_t> translation;
        if (!records.QueryBinary(record, "\\VarFileInfo\\Translation", translation)) return false;
        // A table too short for one entry names no string table either.
        if (translation.size() < 4) return false;
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
        return true;
    } catch (...) {
        LogError("Error getting application information\n");
        return false;
    }
}

void SubstituteExecutableVariables(std::string& text, const std::string& executablePath) {
    std::string company;
    std::string product;
    std::string version;
    std::string copyright;
    if (!ReadVersionStrings(executablePath, company, product, version, copyright)) return;
    ReplaceAll(text, "%EXECUTABLE_COMPANY%", company);
    ReplaceAll(text, "%EXECUTABLE_PRODUCT%", product);
    ReplaceAll(text, "%EXECUTABLE_VERSION%", version);
    ReplaceAll(text, "%EXECUTABLE_COPYRIGHT%", copyright);
}

}  // namespace paneloom
