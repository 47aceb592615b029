// Reading the machine's network from Linux's own sources: the interfaces
// under /sys/class/net, their IPv4 addresses, the routing table, and the
// resolver configuration. The texts go to the pure readers of parsers.h.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/ip_helper_records.h"
#include "platform/linux/network/record_image.h"

namespace paneloom::platform::lnx {

// One IPv4 address of an interface, as getifaddrs reports it.
struct InterfaceAddress {
    std::string interfaceName;  // an alias label such as "eth0:1" counts for eth0
    std::string address;        // dotted text
    std::string mask;           // dotted text
};

// Where the network is read. The default reads the running system; tests
// point it at a scratch tree.
struct NetSource {
    // Put before every absolute path read (/etc, /run, /sys, /proc, /var).
    std::string root;
    // The host name as gethostname reports it; unset calls gethostname.
    std::function<std::string()> hostName;
    // The IPv4 addresses of all interfaces, in the kernel's order; unset calls
    // getifaddrs.
    std::function<std::vector<InterfaceAddress>()> ipv4Addresses;

    // An absolute system path under `root`.
    std::string Path(const std::string& path) const { return root + path; }
};

// Configuration and lease files are small; a larger one is read only in part
// so that a damaged or hostile file cannot make us allocate without bound.
inline constexpr std::size_t kMaxTextFileBytes = 1u << 20;

// ---------------------------------------------------------------------------
// Host, domain and DNS servers

struct GlobalResolver {
    std::vector<std::string> servers;  // IPv4, canonical
    std::string domain;
};

// The resolver configuration. When it lists systemd-resolved's stub and
// nothing else, the servers are the ones the stub forwards to.
GlobalResolver ReadGlobalResolver(const NetSource& source);

// The host name as the system reports it, domain included where it has one.
std::string RawHostName(const NetSource& source);

// The domain part of the host's fully qualified name as /etc/hosts gives it;
// empty when it gives none.
std::string DomainFromHosts(const NetSource& source, const std::string& shortName);

// Whether the kernel forwards IPv4 packets.
bool IpForwarding(const NetSource& source);

// The IPv4 DNS servers that systemd-resolved keeps for one link.
std::vector<std::string> LinkDnsServers(const NetSource& source, DWORD index);

// ---------------------------------------------------------------------------
// Interfaces, addresses and routes

struct LinkInfo {
    std::string name;
    DWORD index = 0;
    long arphrd = -1;  // the ARPHRD_* link type, -1 when unknown
    bool wireless = false;
    std::vector<BYTE> hardware;
    std::string dir;  // its directory under /sys/class/net
};

// Every interface under /sys/class/net, sorted by interface index.
std::vector<LinkInfo> ReadLinks(const NetSource& source);

// The name of the interface with that index, reading nothing but the
// indexes; false when no interface has it.
bool FindLinkName(const NetSource& source, DWORD index, std::string& name);

// Not loopback, and with a hardware address that is not all zeros.
bool IsAdapter(const LinkInfo& link);

// The interface type number that Windows reports for the link.
DWORD InterfaceType(const LinkInfo& link);

// IPv4 addresses by interface name, each interface's in the kernel's order.
std::map<std::string, std::vector<AddressPair>> AddressesByInterface(const NetSource& source);

// The default gateway of each interface from the kernel's IPv4 routing table.
std::map<std::string, std::string> DefaultGateways(const NetSource& source);

// The interface table's row of the link, from its /sys attributes. Its speed
// stands at the 32-bit limit for a link of 4.3 Gb/s and more.
MIB_IFROW ReadInterfaceRow(const LinkInfo& link);

// The LUID that names the link: its interface type and index.
NET_LUID InterfaceLuid(const LinkInfo& link);

// The link's own record, its link speeds in 64 bits, from its /sys attributes.
MIB_IF_ROW2 ReadInterfaceEntry(const LinkInfo& link);

}  // namespace paneloom::platform::lnx
