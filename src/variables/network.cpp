#include "variables/network.h"

#include <string>

#include "codepage/ansi_text.h"
#include "common/format.h"
#include "common/scan.h"
#include "net/network_views.h"
#include "variables/replace.h"

namespace paneloom {

namespace {

// Host, domain and the machine's DNS servers.
void SubstituteHostVariables(std::string& text, Network& network) {
    NetworkParams params(network);
    params.Load();

    std::string host = params.HostNameString();
    ToUpperAnsi(host);
    ReplaceAll(text, "%HOSTNAME%", host);

    // A machine outside any domain shows its host name as the domain.
    std::string domain = host;
    const std::string domainName = params.DomainNameString();
    if (!domainName.empty()) domain = domainName;
    ReplaceAll(text, "%DOMAIN%", domain);

    std::string servers;
    const int count = params.DNSServerCount();
    for (int k = 0; k < count; ++k) {
        if (k >= 1) servers += ", ";
        servers += params.DNSServerString(k);
    }
    ReplaceAll(text, "%DNS_LIST%", servers);
}

// Each adapter's own names, then the lists over all adapters.
void SubstituteAdapterVariables(std::string& text, Network& network) {
    std::string allAddresses;
    std::string allHardware;
    AdapterList adapters(network);
    adapters.Load();
    const int count = adapters.AdapterCount();
    for (int i = 0; i < count; ++i) {
        const int n = i + 1;
        const std::string type = adapters.TypeString(i);
        const std::string name = Trim(adapters.DescriptionString(i));

        std::string expires = "-NA-";
        std::string obtained = "-NA-";
        std::string server = "(none)";
        if (adapters.DHCPEnabled(i)) {
            expires = adapters.DHCPLeaseExpires(i);
            obtained = adapters.DHCPLeaseObtained(i);
            server = adapters.DHCPServer(i);
        }

        // An adapter whose record cannot be had shows "(none)"; one whose
        // record lists no server shows the empty entry.
        PerAdapterInfo perAdapter(network);
        perAdapter.Load(adapters.AdapterIndex(i));
        std::string servers = "(none)";
        const int serverCount = perAdapter.DNSServerCount();
        for (int k = 0; k < serverCount; ++k) {
            if (k == 0) servers.clear();
            else servers += ", ";
            servers += perAdapter.DNSServerString(k);
        }

        std::string addresses;
        std::string masks;
        const int addressCount = adapters.IPAddressCount(i);
        for (int j = 0; j < addressCount; ++j) {
            if (j >= 1) {
                addresses += ", ";
                masks += ", ";
            }
            addresses += adapters.IPAddressString(i, j);
            masks += adapters.IPMaskString(i, j);
        }

        ReplaceAll(text, StringPrintf("%%ADAPTER_%d_DNSLIST%%", n), servers);
        ReplaceAll(text, StringPrintf("%%ADAPTER_%d_TYPE%%", n), type);
        ReplaceAll(text, StringPrintf("%%ADAPTER_%d_NAME%%", n), name);
        ReplaceAll(text, StringPrintf("%%ADAPTER_%d_DHCPEXPIRES%%", n), expires);
        ReplaceAll(text, StringPrintf("%%ADAPTER_%d_DHCPLEASED%%", n), obtained);
        ReplaceAll(text, StringPrintf("%%ADAPTER_%d_DHCPSERVER%%", n), server);
        ReplaceAll(text, StringPrintf("%%ADAPTER_%d_IPLIST%%", n), addresses);
        ReplaceAll(text, StringPrintf("%%ADAPTER_%d_MASKLIST%%", n), masks);

        if (i >= 1) {
            allAddresses += ", ";
            allHardware += ", ";
        }
        allAddresses += addresses;
        allHardware += adapters.HWAddressString(i);
    }
    ReplaceAll(text, "%ADAPTER_IP_LIST%", allAddresses);
    ReplaceAll(text, "%ADAPTER_MAC_LIST%", allHardware);
}

// The interface table. Where there is none (no library, or no GetIfTable in
// it) it counts as a table of no rows: no interface name is replaced and the
// later families still run.
void SubstituteInterfaceVariables(std::string& text, Network& network) {
    InterfaceTable table(network);
    table.Load();
    const std::uint32_t count = table.InterfaceCount();
    for (std::uint32_t r = 0; r < count; ++r) {
        const std::uint32_t n = r + 1;
        const std::string speed = SpeedText(table.Speed(r));
        const std::string name = Trim(table.DescriptionString(r));
        const std::string mac = table.MACAddressString(r);
        const std::string mtu = StringPrintf("%u", static_cast<unsigned>(table.MTU(r)));
        const std::string type = table.TypeString(r);
        ReplaceAll(text, StringPrintf("%%INTERFACE_%u_TYPE%%", static_cast<unsigned>(n)), type);
        ReplaceAll(text, StringPrintf("%%INTERFACE_%u_NAME%%", static_cast<unsigned>(n)), name);
        ReplaceAll(text, StringPrintf("%%INTERFACE_%u_MAC%%", static_cast<unsigned>(n)), mac);
        ReplaceAll(text, StringPrintf("%%INTERFACE_%u_MTU%%", static_cast<unsigned>(n)), mtu);
        ReplaceAll(text, StringPrintf("%%INTERFACE_%u_SPEED%%", static_cast<unsigned>(n)), speed);
    }
}

}  // namespace

std::string SpeedText(std::uint64_t bitsPerSecond) {
    // Scaled by multiplying with the nearest doubles to 0.000001 and 0.001,
    // not by dividing: 10,050,000 b/s shows as 10.0 Mb/sec.
    const double v = static_cast<double>(bitsPerSecond);
    if (v >= 10000000.0) return StringPrintf("%.1f Mb/sec", v * 0.000001);
    if (v >= 10000.0) return StringPrintf("%.1f Kb/sec", v * 0.001);
    return StringPrintf("%.1f b/sec", v);
}

void SubstituteNetworkVariables(std::string& text, Network& network) {
    // Every call reads the network afresh, whether or not the text names a
    // network variable.
    SubstituteHostVariables(text, network);
    SubstituteAdapterVariables(text, network);
    SubstituteInterfaceVariables(text, network);
}

}  // namespace paneloom
