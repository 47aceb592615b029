#include "variables/variable_names.h"

#include "common/format.h"
#include "net/network_views.h"

namespace paneloom {

const char* const kAdapterVariableFormats[8] = {
    "%%ADAPTER_%d_DNSLIST%%",   "%%ADAPTER_%d_TYPE%%",       "%%ADAPTER_%d_NAME%%",
    "%%ADAPTER_%d_DHCPEXPIRES%%", "%%ADAPTER_%d_DHCPLEASED%%", "%%ADAPTER_%d_DHCPSERVER%%",
    "%%ADAPTER_%d_IPLIST%%",    "%%ADAPTER_%d_MASKLIST%%",
};

const char* const kInterfaceVariableFormats[5] = {
    "%%INTERFACE_%d_TYPE%%", "%%INTERFACE_%d_NAME%%", "%%INTERFACE_%d_MAC%%",
    "%%INTERFACE_%d_MTU%%",  "%%INTERFACE_%d_SPEED%%",
};

const char* const kVolumeVariableFormat = "%%VOLUME_%c_INFO%%";

std::vector<std::string> VariableNames(VariableCaches& caches) {
    std::vector<std::string> names = {"%HOSTNAME%", "%DOMAIN%", "%DNS_LIST%"};

    AdapterList adapters(caches.network);
    adapters.Load();
    for (int n = 1; n <= adapters.AdapterCount(); ++n) {
        for (const char* format : kAdapterVariableFormats) names.push_back(StringPrintf(format, n));
    }
    names.insert(names.end(), {"%ADAPTER_IP_LIST%", "%ADAPTER_MAC_LIST%"});

    InterfaceTable table(caches.network);
    table.Load();
    const int interfaces = static_cast<int>(table.InterfaceCount());
    for (int n = 1; n <= interfaces; ++n) {
        for (const char* format : kInterfaceVariableFormats) names.push_back(StringPrintf(format, n));
    }

    names.insert(names.end(), {"%OS%", "%SERVICEPACK%", "%BUILD%", "%PROCMHZ%", "%PROCNAME%", "%PROCCOUNT%",
                               "%PROCINFO%"});

    caches.driveList.Load();
    for (std::size_t i = 0; i < caches.driveList.Count(); ++i) {
        if (caches.driveList.DriveRoot(i).empty()) continue;
        names.push_back(StringPrintf(kVolumeVariableFormat, caches.driveList.DriveLetter(i)));
    }

    names.insert(names.end(), {"%USERNAME%", "%RAMINFO%", "%EXECUTABLE_COMPANY%", "%EXECUTABLE_PRODUCT%",
                               "%EXECUTABLE_VERSION%", "%EXECUTABLE_COPYRIGHT%"});
    return names;
}

}  // namespace paneloom
