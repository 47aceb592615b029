#include "platform/linux/network/readers.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "common/scan.h"
#include "platform/linux/files/file_reader.h"
#include "platform/linux/network/parsers.h"

namespace paneloom::platform::lnx {

namespace {

// One /sys or /proc attribute.
constexpr std::size_t kMaxAttributeBytes = 4096;

// systemd-resolved's local stub, which only forwards to the upstream servers.
const char* const kResolvedStub = "127.0.0.53";

// ARPHRD_* values from <linux/if_arp.h>.
constexpr long kArphrdEther = 1;
constexpr long kArphrdSlip = 256;
constexpr long kArphrdCslip6 = 259;
constexpr long kArphrdPpp = 512;
constexpr long kArphrdLoopback = 772;
constexpr long kArphrdFddi = 774;
constexpr long kArphrdTokenRing = 800;

// MIB_IFROW status values.
constexpr DWORD kAdminUp = 1;
constexpr DWORD kAdminDown = 2;
constexpr DWORD kOperNonOperational = 0;
constexpr DWORD kOperDisconnected = 2;
constexpr DWORD kOperConnecting = 3;
constexpr DWORD kOperOperational = 5;

// MIB_IF_ROW2 status values (IF_OPER_STATUS, NET_IF_MEDIA_CONNECT_STATE).
constexpr IF_OPER_STATUS kIfOperUp = 1;
constexpr IF_OPER_STATUS kIfOperDown = 2;
constexpr IF_OPER_STATUS kIfOperDormant = 5;
constexpr NET_IF_MEDIA_CONNECT_STATE kMediaConnected = 1;
constexpr NET_IF_MEDIA_CONNECT_STATE kMediaDisconnected = 2;

// Whether a link is switched on, and whether it carries traffic: the
// kernel's "unknown" (loopback, many virtual links) counts as carrying.
struct LinkStatus {
    bool up = false;
    bool carrying = false;
    bool dormant = false;
};

bool ReadAttribute(const std::string& path, std::string& out) { return ReadBoundedFile(path, kMaxAttributeBytes, out); }

bool ReadResolverConfig(const NetSource& source, const std::string& path, ResolverConfig& config) {
    std::string text;
    if (!ReadBoundedFile(source.Path(path), kMaxTextFileBytes, text)) return false;
    config = ParseResolverConfig(text);
    return true;
}

std::vector<InterfaceAddress> SystemIpv4Addresses() {
    std::vector<InterfaceAddress> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return result;
    for (const ifaddrs* p = list; p != nullptr; p = p->ifa_next) {
        if (p->ifa_name == nullptr || p->ifa_addr == nullptr || p->ifa_addr->sa_family != AF_INET) continue;
        char address[INET_ADDRSTRLEN] = {};
        char mask[INET_ADDRSTRLEN] = "0.0.0.0";
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(p->ifa_addr)->sin_addr, address, sizeof address);
        if (p->ifa_netmask != nullptr && p->ifa_netmask->sa_family == AF_INET) {
            ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(p->ifa_netmask)->sin_addr, mask, sizeof mask);
        }
        result.push_back({p->ifa_name, address, mask});
    }
    ::freeifaddrs(list);
    return result;
}

DWORD ReadNumberAttribute(const std::string& path) {
    std::string text;
    std::int64_t value = 0;
    if (!ReadAttribute(path, text) || !ParseSigned(text, value) || value < 0) return 0;
    return static_cast<DWORD>(static_cast<std::uint64_t>(value));  // counters wrap at 32 bits, as on Windows
}

// The link speed in bits per second, however fast. The kernel gives Mb/s,
// -1 or no value at all when it does not know.
std::uint64_t ReadLinkSpeed(const std::string& dir) {
    std::string text;
    std::int64_t megabits = 0;
    if (!ReadAttribute(dir + "/speed", text) || !ParseSigned(text, megabits) || megabits <= 0) return 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    const auto value = static_cast<std::uint64_t>(megabits);
    return value > kMax / 1000000 ? kMax : value * 1000000;
}

// Entries without a readable index (such as the bonding driver's
// "bonding_masters" file) are not interfaces.
bool ReadLinkIndex(const std::string& dir, DWORD& index) {
    std::string text;
    std::int64_t number = 0;
    if (!ReadAttribute(dir + "/ifindex", text) || !ParseSigned(text, number) || number <= 0 ||
        number > std::numeric_limits<DWORD>::max()) {
        return false;
    }
    index = static_cast<DWORD>(number);
    return true;
}

LinkStatus ReadLinkStatus(const std::string& dir) {
    LinkStatus status;
    std::string text;
    std::uint64_t flags = 0;
    status.up = ReadAttribute(dir + "/flags", text) && ParseHex(text, flags) && (flags & 0x1) != 0;
    std::string operstate;
    if (ReadAttribute(dir + "/operstate", text)) operstate = Trim(text);
    status.carrying = status.up && (operstate == "up" || operstate == "unknown");
    status.dormant = status.up && operstate == "dormant";
    return status;
}

}  // namespace

// ---------------------------------------------------------------------------
// Host, domain and DNS servers

GlobalResolver ReadGlobalResolver(const NetSource& source) {
    GlobalResolver result;
    ResolverConfig config;
    ReadResolverConfig(source, "/etc/resolv.conf", config);
    result.domain = config.domain;
    result.servers = Ipv4Only(config.nameservers);

    // The servers the user cares about are the ones the stub forwards to,
    // which resolved writes to its own upstream file.
    const bool onlyStub =
        !config.nameservers.empty() &&
        std::all_of(config.nameservers.begin(), config.nameservers.end(),
                    [](const std::string& s) { return s == kResolvedStub; });
    if (onlyStub) {
        ResolverConfig upstream;
        if (ReadResolverConfig(source, "/run/systemd/resolve/resolv.conf", upstream)) {
            std::vector<std::string> servers = Ipv4Only(upstream.nameservers);
            if (!servers.empty()) result.servers = servers;
            if (result.domain.empty()) result.domain = upstream.domain;
        }
    }
    return result;
}

std::string RawHostName(const NetSource& source) {
    if (source.hostName) return source.hostName();
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
    return buffer;
}

// Without asking DNS, which may be slow or unreachable when the wallpaper is
// drawn at login.
std::string DomainFromHosts(const NetSource& source, const std::string& shortName) {
    std::string text;
    if (shortName.empty() || !ReadBoundedFile(source.Path("/etc/hosts"), kMaxTextFileBytes, text)) {
        return std::string();
    }
    return HostsDomain(text, shortName);
}

bool IpForwarding(const NetSource& source) {
    std::string forwarding;
    return ReadAttribute(source.Path("/proc/sys/net/ipv4/ip_forward"), forwarding) && Trim(forwarding) == "1";
}

std::vector<std::string> LinkDnsServers(const NetSource& source, DWORD index) {
    std::string text;
    if (!ReadBoundedFile(source.Path("/run/systemd/resolve/netif/" + std::to_string(index)), kMaxTextFileBytes,
                         text)) {
        return {};
    }
    return ParseLinkDnsServers(text);
}

// ---------------------------------------------------------------------------
// Interfaces, addresses and routes

std::vector<LinkInfo> ReadLinks(const NetSource& source) {
    std::vector<LinkInfo> links;
    const std::string base = source.Path("/sys/class/net");
    for (const std::string& name : ListDirectory(base)) {
        LinkInfo link;
        link.name = name;
        link.dir = base + "/" + name;
        if (!ReadLinkIndex(link.dir, link.index)) continue;
        std::string text;
        std::int64_t number = 0;
        if (ReadAttribute(link.dir + "/type", text) && ParseSigned(text, number)) {
            link.arphrd = static_cast<long>(number);
        }
        link.wireless = IsDirectory(link.dir + "/wireless") || IsDirectory(link.dir + "/phy80211");
        if (ReadAttribute(link.dir + "/address", text)) link.hardware = ParseHardwareAddress(text);
        links.push_back(std::move(link));
    }
    std::stable_sort(links.begin(), links.end(),
                     [](const LinkInfo& a, const LinkInfo& b) { return a.index < b.index; });
    return links;
}

bool FindLinkName(const NetSource& source, DWORD index, std::string& name) {
    const std::string base = source.Path("/sys/class/net");
    for (const std::string& entry : ListDirectory(base)) {
        DWORD found = 0;
        if (ReadLinkIndex(base + "/" + entry, found) && found == index) {
            name = entry;
            return true;
        }
    }
    return false;
}

bool IsAdapter(const LinkInfo& link) {
    return link.arphrd != kArphrdLoopback &&
           std::any_of(link.hardware.begin(), link.hardware.end(), [](BYTE b) { return b != 0; });
}

DWORD InterfaceType(const LinkInfo& link) {
    if (link.arphrd == kArphrdLoopback) return MIB_IF_TYPE_LOOPBACK;
    if (link.wireless) return IF_TYPE_IEEE80211;
    switch (link.arphrd) {
        case kArphrdEther: return MIB_IF_TYPE_ETHERNET;
        case kArphrdPpp: return MIB_IF_TYPE_PPP;
        case kArphrdFddi: return MIB_IF_TYPE_FDDI;
        case kArphrdTokenRing: return MIB_IF_TYPE_TOKENRING;
        default: break;
    }
    if (link.arphrd >= kArphrdSlip && link.arphrd <= kArphrdCslip6) return MIB_IF_TYPE_SLIP;
    return MIB_IF_TYPE_OTHER;
}

std::map<std::string, std::vector<AddressPair>> AddressesByInterface(const NetSource& source) {
    const std::vector<InterfaceAddress> all = source.ipv4Addresses ? source.ipv4Addresses() : SystemIpv4Addresses();
    std::map<std::string, std::vector<AddressPair>> byName;
    for (const InterfaceAddress& entry : all) {
        AddressPair pair;
        if (!CanonicalIpv4(entry.address, pair.address)) continue;
        if (!CanonicalIpv4(entry.mask, pair.mask)) pair.mask = "0.0.0.0";
        byName[entry.interfaceName.substr(0, entry.interfaceName.find(':'))].push_back(pair);
    }
    return byName;
}

std::map<std::string, std::string> DefaultGateways(const NetSource& source) {
    std::string text;
    if (!ReadBoundedFile(source.Path("/proc/net/route"), kMaxTextFileBytes, text)) return {};
    return ParseDefaultGateways(text);
}

MIB_IFROW ReadInterfaceRow(const LinkInfo& link) {
    MIB_IFROW row {};
    const std::size_t nameLength = std::min<std::size_t>(link.name.size(), MAX_INTERFACE_NAME_LEN - 1);
    for (std::size_t i = 0; i < nameLength; ++i) row.wszName[i] = static_cast<unsigned char>(link.name[i]);
    row.dwIndex = link.index;
    row.dwType = InterfaceType(link);
    row.dwMtu = ReadNumberAttribute(link.dir + "/mtu");
    // The row's 32 bits stand at their limit for a faster link, as on
    // Windows; the interface's own record has its real speed.
    row.dwSpeed = static_cast<DWORD>(std::min<std::uint64_t>(ReadLinkSpeed(link.dir), 0xFFFFFFFF));
    if (link.hardware.size() <= MAXLEN_PHYSADDR) {
        row.dwPhysAddrLen = static_cast<DWORD>(link.hardware.size());
        std::copy(link.hardware.begin(), link.hardware.end(), row.bPhysAddr);
    }

    const LinkStatus status = ReadLinkStatus(link.dir);
    row.dwAdminStatus = status.up ? kAdminUp : kAdminDown;
    if (!status.up) row.dwOperStatus = kOperNonOperational;
    else if (status.carrying) row.dwOperStatus = kOperOperational;
    else if (status.dormant) row.dwOperStatus = kOperConnecting;
    else row.dwOperStatus = kOperDisconnected;

    const std::string stats = link.dir + "/statistics/";
    const DWORD rxPackets = ReadNumberAttribute(stats + "rx_packets");
    const DWORD multicast = ReadNumberAttribute(stats + "multicast");
    row.dwInOctets = ReadNumberAttribute(stats + "rx_bytes");
    row.dwInUcastPkts = rxPackets >= multicast ? rxPackets - multicast : rxPackets;
    row.dwInNUcastPkts = multicast;
    row.dwInDiscards = ReadNumberAttribute(stats + "rx_dropped");
    row.dwInErrors = ReadNumberAttribute(stats + "rx_errors");
    row.dwOutOctets = ReadNumberAttribute(stats + "tx_bytes");
    row.dwOutUcastPkts = ReadNumberAttribute(stats + "tx_packets");
    row.dwOutDiscards = ReadNumberAttribute(stats + "tx_dropped");
    row.dwOutErrors = ReadNumberAttribute(stats + "tx_errors");
    row.dwOutQLen = ReadNumberAttribute(link.dir + "/tx_queue_len");

    // The description is the interface name; its length counts the zero.
    const std::size_t descrLength = std::min<std::size_t>(link.name.size(), MAXLEN_IFDESCR - 1);
    std::memcpy(row.bDescr, link.name.data(), descrLength);
    row.bDescr[descrLength] = 0;
    row.dwDescrLen = static_cast<DWORD>(descrLength + 1);
    return row;
}

NET_LUID InterfaceLuid(const LinkInfo& link) {
    NET_LUID luid {};
    luid.Info.NetLuidIndex = link.index;
    luid.Info.IfType = InterfaceType(link);
    return luid;
}

// The traffic counters are left 0: nothing reads them from this record.
MIB_IF_ROW2 ReadInterfaceEntry(const LinkInfo& link) {
    MIB_IF_ROW2 entry {};
    entry.InterfaceLuid = InterfaceLuid(link);
    entry.InterfaceIndex = link.index;
    const std::size_t nameLength = std::min<std::size_t>(link.name.size(), IF_MAX_STRING_SIZE);
    for (std::size_t i = 0; i < nameLength; ++i) {
        entry.Alias[i] = static_cast<unsigned char>(link.name[i]);
        entry.Description[i] = static_cast<unsigned char>(link.name[i]);
    }
    if (link.hardware.size() <= IF_MAX_PHYS_ADDRESS_LENGTH) {
        entry.PhysicalAddressLength = static_cast<ULONG>(link.hardware.size());
        std::copy(link.hardware.begin(), link.hardware.end(), entry.PhysicalAddress);
        std::copy(link.hardware.begin(), link.hardware.end(), entry.PermanentPhysicalAddress);
    }
    entry.Mtu = ReadNumberAttribute(link.dir + "/mtu");
    entry.Type = InterfaceType(link);

    const LinkStatus status = ReadLinkStatus(link.dir);
    entry.AdminStatus = status.up ? kAdminUp : kAdminDown;
    entry.OperStatus = status.carrying ? kIfOperUp : status.dormant ? kIfOperDormant : kIfOperDown;
    entry.MediaConnectState = status.carrying ? kMediaConnected : kMediaDisconnected;

    const std::uint64_t speed = ReadLinkSpeed(link.dir);
    entry.TransmitLinkSpeed = speed;
    entry.ReceiveLinkSpeed = speed;
    return entry;
}

}  // namespace paneloom::platform::lnx
