#include "variables/substitution.h"

#include "log/error_log.h"
#include "variables/executable.h"
#include "variables/network.h"
#include "variables/user_memory.h"

namespace paneloom {

void SubstituteVariables(std::string& text, const RunSettings& settings, VariableCaches& caches) noexcept {
    try {
        SubstituteNetworkVariables(text, caches.network);
        SubstituteOsVariables(text, caches.osVersion);
        SubstituteProcessorVariables(text, caches.systemInfo);
        SubstituteVolumeVariables(text, caches.driveList);
        SubstituteUserAndMemoryVariables(text);
        SubstituteExecutableVariables(text, settings.executablePath);
    } catch (...) {
        LogError("Error doing variable substitution\n");
    }
}

}  // namespace paneloom
