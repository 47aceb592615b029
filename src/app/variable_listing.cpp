#include "app/variable_listing.h"

#include <cstdint>

#include "app/console_log.h"
#include "config/markup.h"
#include "config/settings_elements.h"
#include "variables/substitution.h"
#include "variables/variable_names.h"

namespace paneloom {

namespace {

// The settings as the last displayoutput of a run sees them: the
// textsettings of every displayoutput, in order.
void ApplyTextSettings(const std::string& path, RunSettings& settings) {
    std::string document;
    if (!LoadFile(path, document)) return;
    RemoveComments(document, true);
    std::int32_t cursor = 0;
    std::int32_t end = -1;
    std::string element;
    while (FindElement(document, "displayoutput", element, cursor, end, ContentMode)) {
        std::string piece;
        std::int32_t inner = 0;
        std::int32_t innerEnd = -1;
        if (FindElement(element, "textsettings", piece, inner, innerEnd, ContentMode)) {
            ParseTextSettings(piece, settings);
        }
        cursor = end;
    }
}

}  // namespace

std::vector<std::pair<std::string, std::string>> VariableValues(RunContext& context) {
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string& name : VariableNames(context.caches)) {
        std::string value = name;
        SubstituteVariables(value, context.settings, context.caches);
        values.emplace_back(name, value);
    }
    return values;
}

std::vector<std::pair<std::string, std::string>> VariableValues(const std::string& configPath) {
    RunContext context;
    context.settings.configPath = configPath;
    ApplyTextSettings(configPath, context.settings);
    return VariableValues(context);
}

int ListVariables(const std::string& configPath) {
    ErrorsToConsole errors;
    ScopedLogDestination toConsole(errors);
    std::string listing;
    for (const auto& [name, value] : VariableValues(configPath)) listing += name + "\t" + value + "\n";
    return platform::Get<platform::Console>().Write(platform::ConsoleStream::kOutput, listing) ? 0 : 1;
}

}  // namespace paneloom
