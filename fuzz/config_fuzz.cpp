// The configuration file as anyone may write it: comment removal, element
// and tag scanning in every mode, the attribute readers and both settings
// parsers, over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/markup.h"
#include "config/run_settings.h"
#include "config/settings_elements.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paneloom;
    std::string text(reinterpret_cast<const char*>(data), size);
    // The loader cuts the text at its first zero byte.
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);

    RemoveComments(text, true);

    static const char* const kNames[] = {"globalsettings", "displayoutput", "textsettings", "output",
                                         "textline",       "textat",        "font",         "x",
                                         ""};
    for (const char* name : kNames) {
        for (const FindElementMode mode : {SelfClosingMode, ContentMode, StartTagMode}) {
            std::int32_t cursor = 0;
            std::string piece;
            for (int walk = 0; walk < 64; ++walk) {
                std::int32_t end = -1;
                if (!FindElement(text, name, piece, cursor, end, mode)) break;
                if (end <= cursor) break;
                cursor = end;
            }
        }
        std::string tag;
        FindTag(text, name, tag);
        std::string value;
        GetAttribute(text, name, value);
        std::int32_t number = 0;
        GetIntAttribute(text, name, number);
        std::uint32_t hex = 0;
        GetHexAttribute(text, name, hex);
    }

    RunSettings settings;
    ParseGlobalSettings(text, settings);
    ParseTextSettings(text, settings);
    return 0;
}
