#include "variables/substitution.h"

#include "log/error_log.h"
#include "variables/executable.h"
#include "variables/network.h"
#include "variables/os_processor.h"
#include "variables/user_memory.h"
#include "variables/volumes.h"

namespace paneloom {

void SubstituteVariables(std::string& text) {
    try {
        SubstituteNetworkVariables(text);
        SubstituteOsVariables(text);
        SubstituteProcessorVariables(text);
        SubstituteVolumeVariables(text);
        SubstituteUserAndMemoryVariables(text);
        SubstituteExecutableVariables(text);
    } catch (...) {
        LogError("Error doing variable substitution\n");
    }
}

void ResetVariableCachesForTest() {
    OsVersion::ResetForTest();
    SystemInfo::ResetForTest();
    DriveList::ResetForTest();
}

}  // namespace paneloom
