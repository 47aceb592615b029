// The version-resource reader over arbitrary executables.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paneloom::formats;
    VersionResource resource;
    if (resource.LoadFromImage(data, size)) {
        std::string value;
        for (const VersionTranslation& t : resource.Translations()) {
            char key[9];
            static const char kHex[] = "0123456789abcdef";
            const std::uint32_t packed = (static_cast<std::uint32_t>(t.language) << 16) | t.codePage;
            for (int i = 0; i < 8; ++i) key[i] = kHex[(packed >> (28 - 4 * i)) & 0xF];
            key[8] = '\0';
            resource.QueryString(key, "ProductVersion", value);
            resource.QueryString(key, "CompanyName", value);
        }
        VersionValue raw;
        resource.QueryValue("\\VarFileInfo\\Translation", raw);
        resource.QueryValue("\\", raw);
    }
    // The same bytes taken as a bare version record.
    VersionValue raw;
    QueryVersionValue(data, size, "\\StringFileInfo\\040904b0\\CompanyName", raw);
    return 0;
}
