// The readers of the Linux network files, fed any text: resolv.conf,
// /etc/hosts, the routing table, systemd-resolved's link state, hardware
// addresses, and the lease files of systemd-networkd (and NetworkManager's
// internal client), dhclient and dhcpcd. The same bytes go to every reader;
// the lease readers also see the extreme modification times a file system
// can record.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <limits>
#include <string>

#include "platform/linux/network/parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paneloom::platform::lnx;
    const std::string text(reinterpret_cast<const char*>(data), size);

    const ResolverConfig config = ParseResolverConfig(text);
    Ipv4Only(config.nameservers);
    HostsDomain(text, "pc1");
    ParseDefaultGateways(text);
    ParseLinkDnsServers(text);
    ParseHardwareAddress(text);

    for (const std::time_t written : {std::time_t{1700000000}, std::numeric_limits<std::time_t>::max(),
                                      std::numeric_limits<std::time_t>::min()}) {
        ParseKeyValueLease(text, written);
        ParseDhclientLeases(text, "eth0", false, written);
        ParseDhclientLeases(text, "eth0", true, written);
        ParseDhcpcdLease(text, written);
    }
    return 0;
}
