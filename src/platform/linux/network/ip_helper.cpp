#include "platform/linux/network/ip_helper.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/file_reader.h"
#include "platform/linux/network/parsers.h"

namespace paneloom::platform::lnx {

namespace {

// Configuration and lease files are small; a larger one is read only in part
// so that a damaged or hostile file cannot make us allocate without bound.
constexpr std::size_t kMaxTextFileBytes = 1u << 20;
// One /sys or /proc attribute.
constexpr std::size_t kMaxAttributeBytes = 4096;

constexpr DWORD kErrorNotEnoughMemory = 8;

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

// NetBIOS node type for a machine without WINS servers.
constexpr UINT kBroadcastNodeType = 1;

NetSource& ActiveSource() {
    static NetSource source;
    return source;
}

std::string SystemPath(const std::string& path) { return ActiveSource().root + path; }

// ---------------------------------------------------------------------------
// Reading files

bool ReadAttribute(const std::string& path, std::string& out) { return ReadBoundedFile(path, kMaxAttributeBytes, out); }

bool ModificationTime(const std::string& path, std::time_t& when) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    when = st.st_mtime;
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The names in a directory, sorted so that results do not depend on the
// order of the directory itself.
std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// ---------------------------------------------------------------------------
// The record image: records laid out at their final offsets, plus the list of
// pointer fields to aim into the caller's block once it is known.

class RecordImage {
public:
    // Appends a zeroed slot for one T at T's alignment; returns its offset.
    template <typename T>
    std::size_t Reserve() {
        const std::size_t align = alignof(T);
        const std::size_t offset = (bytes_.size() + align - 1) / align * align;
        bytes_.resize(offset + sizeof(T), 0);
        return offset;
    }

    // Grows the image to at least size bytes (zero filled).
    void Extend(std::size_t size) {
        if (bytes_.size() < size) bytes_.resize(size, 0);
    }

    template <typename T>
    void Put(std::size_t offset, const T& value) {
        std::memcpy(bytes_.data() + offset, &value, sizeof(T));
    }

    // The pointer field at pointerOffset will point at targetOffset.
    void Link(std::size_t pointerOffset, std::size_t targetOffset) { links_.emplace_back(pointerOffset, targetOffset); }

    // The buffer protocol shared by the four functions.
    DWORD Deliver(void* block, PULONG length, DWORD tooSmallCode) const {
        if (bytes_.size() > std::numeric_limits<ULONG>::max()) return kErrorNotEnoughMemory;
        const ULONG needed = static_cast<ULONG>(bytes_.size());
        if (block == nullptr || *length < needed) {
            *length = needed;
            return tooSmallCode;
        }
        unsigned char* base = static_cast<unsigned char*>(block);
        std::memcpy(base, bytes_.data(), bytes_.size());
        for (const auto& link : links_) {
            void* target = base + link.second;
            std::memcpy(base + link.first, &target, sizeof target);
        }
        return NO_ERROR;
    }

private:
    std::vector<unsigned char> bytes_;
    std::vector<std::pair<std::size_t, std::size_t>> links_;
};

struct AddressPair {
    std::string address;
    std::string mask;
};

IP_ADDR_STRING MakeAddrString(const AddressPair& pair) {
    IP_ADDR_STRING entry {};
    CopyText(entry.IpAddress.String, pair.address);
    CopyText(entry.IpMask.String, pair.mask);
    return entry;
}

// Writes a chain whose first entry is held inside a record at headOffset (the
// record itself must already be in the image); the other entries are appended.
// An empty list leaves the head as it is.
void PutChain(RecordImage& image, std::size_t headOffset, const std::vector<AddressPair>& entries) {
    if (entries.empty()) return;
    image.Put(headOffset, MakeAddrString(entries[0]));
    std::size_t previous = headOffset;
    for (std::size_t k = 1; k < entries.size(); ++k) {
        const std::size_t offset = image.Reserve<IP_ADDR_STRING>();
        image.Put(offset, MakeAddrString(entries[k]));
        image.Link(previous + offsetof(IP_ADDR_STRING, Next), offset);
        previous = offset;
    }
}

std::vector<AddressPair> DnsEntries(const std::vector<std::string>& servers) {
    std::vector<AddressPair> entries;
    for (const std::string& s : servers) entries.push_back({s, ""});
    return entries;
}

// ---------------------------------------------------------------------------
// Host, domain and DNS servers

bool ReadResolverConfig(const std::string& path, ResolverConfig& config) {
    std::string text;
    if (!ReadBoundedFile(SystemPath(path), kMaxTextFileBytes, text)) return false;
    config = ParseResolverConfig(text);
    return true;
}

struct GlobalResolver {
    std::vector<std::string> servers;  // IPv4, canonical
    std::string domain;
};

// The resolver configuration. When it lists systemd-resolved's stub and
// nothing else, the servers the user cares about are the ones the stub
// forwards to, which resolved writes to its own upstream file.
GlobalResolver ReadGlobalResolver() {
    GlobalResolver result;
    ResolverConfig config;
    ReadResolverConfig("/etc/resolv.conf", config);
    result.domain = config.domain;
    result.servers = Ipv4Only(config.nameservers);

    const bool onlyStub =
        !config.nameservers.empty() &&
        std::all_of(config.nameservers.begin(), config.nameservers.end(),
                    [](const std::string& s) { return s == kResolvedStub; });
    if (onlyStub) {
        ResolverConfig upstream;
        if (ReadResolverConfig("/run/systemd/resolve/resolv.conf", upstream)) {
            std::vector<std::string> servers = Ipv4Only(upstream.nameservers);
            if (!servers.empty()) result.servers = servers;
            if (result.domain.empty()) result.domain = upstream.domain;
        }
    }
    return result;
}

std::string RawHostName() {
    const NetSource& source = ActiveSource();
    if (source.hostName) return source.hostName();
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
    return buffer;
}

// The domain part of the host's fully qualified name as /etc/hosts gives it,
// without asking DNS, which may be slow or unreachable when the wallpaper is
// drawn at login.
std::string DomainFromHosts(const std::string& shortName) {
    std::string text;
    if (shortName.empty() || !ReadBoundedFile(SystemPath("/etc/hosts"), kMaxTextFileBytes, text)) return std::string();
    return HostsDomain(text, shortName);
}

// ---------------------------------------------------------------------------
// Interfaces

struct LinkInfo {
    std::string name;
    DWORD index = 0;
    long arphrd = -1;
    bool wireless = false;
    std::vector<BYTE> hardware;
    std::string dir;  // its directory under /sys/class/net
};

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

// Every interface under /sys/class/net, sorted by interface index. Entries
// without a readable index (such as the bonding driver's "bonding_masters"
// file) are not interfaces.
std::vector<LinkInfo> ReadLinks() {
    std::vector<LinkInfo> links;
    const std::string base = SystemPath("/sys/class/net");
    for (const std::string& name : ListDirectory(base)) {
        LinkInfo link;
        link.name = name;
        link.dir = base + "/" + name;
        std::string text;
        std::int64_t number = 0;
        if (!ReadAttribute(link.dir + "/ifindex", text) || !ParseSigned(text, number) || number <= 0 ||
            number > std::numeric_limits<DWORD>::max()) {
            continue;
        }
        link.index = static_cast<DWORD>(number);
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

bool IsAdapter(const LinkInfo& link) {
    return link.arphrd != kArphrdLoopback &&
           std::any_of(link.hardware.begin(), link.hardware.end(), [](BYTE b) { return b != 0; });
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

// IPv4 addresses by interface name, each interface's in the kernel's order.
std::map<std::string, std::vector<AddressPair>> AddressesByInterface() {
    const NetSource& source = ActiveSource();
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

// The default gateway of each interface from the kernel's IPv4 routing table.
std::map<std::string, std::string> DefaultGateways() {
    std::string text;
    if (!ReadBoundedFile(SystemPath("/proc/net/route"), kMaxTextFileBytes, text)) return {};
    return ParseDefaultGateways(text);
}

// The IPv4 DNS servers that systemd-resolved keeps for one link.
std::vector<std::string> LinkDnsServers(DWORD index) {
    std::string text;
    if (!ReadBoundedFile(SystemPath("/run/systemd/resolve/netif/" + std::to_string(index)), kMaxTextFileBytes, text)) {
        return {};
    }
    return ParseLinkDnsServers(text);
}

// ---------------------------------------------------------------------------
// DHCP leases, best effort: whatever cannot be read leaves DHCP off.

bool HasAddress(const std::vector<AddressPair>& addresses, const std::string& address) {
    return std::any_of(addresses.begin(), addresses.end(),
                       [&](const AddressPair& p) { return p.address == address; });
}

// The lease the interface holds now: of the lease files the DHCP clients keep
// for it, the most recently written one whose address the interface still has
// (a lease for an address it no longer carries is a stale one).
Lease FindLease(const LinkInfo& link, const std::vector<AddressPair>& addresses) {
    std::vector<Lease> candidates;
    std::string text;
    std::time_t written = 0;

    const auto readLease = [&](const std::string& path, bool tail) {
        written = 0;
        ModificationTime(path, written);
        return ReadBoundedFile(path, kMaxTextFileBytes, text, tail ? KeepEnd::Tail : KeepEnd::Head);
    };

    // systemd-networkd
    const std::string networkd = SystemPath("/run/systemd/netif/leases/" + std::to_string(link.index));
    if (readLease(networkd, false)) candidates.push_back(ParseKeyValueLease(text, written));

    // NetworkManager: "<client>-<connection uuid>-<interface>.lease", in the
    // internal client's key=value form or in dhclient's form.
    const std::string nmDir = SystemPath("/var/lib/NetworkManager");
    for (const std::string& name : ListDirectory(nmDir)) {
        if (!EndsWith(name, "-" + link.name + ".lease")) continue;
        if (!readLease(nmDir + "/" + name, true)) continue;
        if (text.find("lease {") != std::string::npos || text.find("lease{") != std::string::npos) {
            candidates.push_back(ParseDhclientLeases(text, link.name, true, written));
        } else {
            candidates.push_back(ParseKeyValueLease(text, written));
        }
    }

    // dhclient: one file per interface ("dhclient.eth0.leases") or one shared file.
    for (const char* dir : {"/var/lib/dhcp", "/var/lib/dhclient"}) {
        const std::string path = SystemPath(dir);
        for (const std::string& name : ListDirectory(path)) {
            if (!StartsWith(name, "dhclient") || !(EndsWith(name, ".leases") || EndsWith(name, ".lease"))) continue;
            if (StartsWith(name, "dhclient6")) continue;
            const bool own = EndsWith(name, "." + link.name + ".leases") ||
                             EndsWith(name, "-" + link.name + ".leases") || EndsWith(name, "-" + link.name + ".lease");
            if (!readLease(path + "/" + name, true)) continue;
            candidates.push_back(ParseDhclientLeases(text, link.name, own, written));
        }
    }

    // dhcpcd: "eth0.lease", older "dhcpcd-eth0.lease", per network "wlan0-ssid.lease".
    for (const char* dir : {"/var/lib/dhcpcd", "/var/lib/dhcpcd5", "/var/db/dhcpcd"}) {
        const std::string path = SystemPath(dir);
        for (const std::string& name : ListDirectory(path)) {
            const bool own = name == link.name + ".lease" || name == "dhcpcd-" + link.name + ".lease" ||
                             (link.wireless && StartsWith(name, link.name + "-") && EndsWith(name, ".lease"));
            if (!own || !readLease(path + "/" + name, false)) continue;
            candidates.push_back(ParseDhcpcdLease(text, written));
        }
    }

    Lease chosen;
    for (const Lease& lease : candidates) {
        if (!lease.found) continue;
        if (!lease.address.empty() && !HasAddress(addresses, lease.address)) continue;
        if (!chosen.found || lease.written > chosen.written) chosen = lease;
    }
    return chosen;
}

// ---------------------------------------------------------------------------
// Interface table rows

DWORD ReadNumberAttribute(const std::string& path) {
    std::string text;
    std::int64_t value = 0;
    if (!ReadAttribute(path, text) || !ParseSigned(text, value) || value < 0) return 0;
    return static_cast<DWORD>(static_cast<std::uint64_t>(value));  // counters wrap at 32 bits, as on Windows
}

// The link speed in bits per second. The kernel gives Mb/s, -1 or no value at
// all when it does not know; 32 bits hold at most 4294967295.
DWORD ReadSpeed(const std::string& dir) {
    std::string text;
    std::int64_t megabits = 0;
    if (!ReadAttribute(dir + "/speed", text) || !ParseSigned(text, megabits) || megabits <= 0) return 0;
    constexpr std::int64_t kMax = std::numeric_limits<DWORD>::max();
    if (megabits > kMax / 1000000) return static_cast<DWORD>(kMax);
    return static_cast<DWORD>(megabits * 1000000);
}

MIB_IFROW MakeRow(const LinkInfo& link) {
    MIB_IFROW row {};
    const std::size_t nameLength = std::min<std::size_t>(link.name.size(), MAX_INTERFACE_NAME_LEN - 1);
    for (std::size_t i = 0; i < nameLength; ++i) row.wszName[i] = static_cast<unsigned char>(link.name[i]);
    row.dwIndex = link.index;
    row.dwType = InterfaceType(link);
    row.dwMtu = ReadNumberAttribute(link.dir + "/mtu");
    row.dwSpeed = ReadSpeed(link.dir);
    if (link.hardware.size() <= MAXLEN_PHYSADDR) {
        row.dwPhysAddrLen = static_cast<DWORD>(link.hardware.size());
        std::copy(link.hardware.begin(), link.hardware.end(), row.bPhysAddr);
    }

    std::string text;
    std::uint64_t flags = 0;
    const bool up = ReadAttribute(link.dir + "/flags", text) && ParseHex(text, flags) && (flags & 0x1) != 0;
    row.dwAdminStatus = up ? kAdminUp : kAdminDown;
    std::string operstate;
    if (ReadAttribute(link.dir + "/operstate", text)) operstate = Trim(text);
    if (!up) row.dwOperStatus = kOperNonOperational;
    else if (operstate == "up" || operstate == "unknown") row.dwOperStatus = kOperOperational;
    else if (operstate == "dormant") row.dwOperStatus = kOperConnecting;
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

}  // namespace

void SetNetSource(NetSource source) { ActiveSource() = std::move(source); }

void ResetNetSource() { ActiveSource() = NetSource(); }

DWORD GetNetworkParams(PFIXED_INFO pFixedInfo, PULONG pOutBufLen) {
    if (pOutBufLen == nullptr) return ERROR_INVALID_PARAMETER;

    const std::string rawHost = RawHostName();
    const std::size_t dot = rawHost.find('.');
    const std::string shortName = rawHost.substr(0, dot);
    const GlobalResolver resolver = ReadGlobalResolver();
    std::string domain = resolver.domain;
    if (domain.empty() && dot != std::string::npos) domain = DomainText(rawHost.substr(dot + 1));
    if (domain.empty()) domain = DomainFromHosts(shortName);

    RecordImage image;
    const std::size_t offset = image.Reserve<FIXED_INFO>();
    FIXED_INFO info {};
    CopyText(info.HostName, shortName);
    CopyText(info.DomainName, domain);
    info.NodeType = kBroadcastNodeType;
    std::string forwarding;
    info.EnableRouting =
        ReadAttribute(SystemPath("/proc/sys/net/ipv4/ip_forward"), forwarding) && Trim(forwarding) == "1";
    image.Put(offset, info);
    const std::size_t head = offset + offsetof(FIXED_INFO, DnsServerList);
    PutChain(image, head, DnsEntries(resolver.servers));
    if (!resolver.servers.empty()) image.Link(offset + offsetof(FIXED_INFO, CurrentDnsServer), head);
    return image.Deliver(pFixedInfo, pOutBufLen, ERROR_BUFFER_OVERFLOW);
}

ULONG GetAdaptersInfo(PIP_ADAPTER_INFO AdapterInfo, PULONG SizePointer) {
    if (SizePointer == nullptr) return ERROR_INVALID_PARAMETER;

    std::vector<LinkInfo> adapters;
    for (LinkInfo& link : ReadLinks()) {
        if (IsAdapter(link)) adapters.push_back(std::move(link));
    }
    if (adapters.empty()) return ERROR_NO_DATA;

    const std::map<std::string, std::vector<AddressPair>> addresses = AddressesByInterface();
    const std::map<std::string, std::string> gateways = DefaultGateways();

    // All adapter records first, one after the other, then the further
    // addresses of their chains.
    RecordImage image;
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < adapters.size(); ++i) offsets.push_back(image.Reserve<IP_ADAPTER_INFO>());

    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const LinkInfo& link = adapters[i];
        auto found = addresses.find(link.name);
        std::vector<AddressPair> ipList;
        if (found != addresses.end()) ipList = found->second;
        // Windows lists an adapter without an address with 0.0.0.0.
        if (ipList.empty()) ipList.push_back({"0.0.0.0", "0.0.0.0"});
        const Lease lease = FindLease(link, ipList);

        IP_ADAPTER_INFO info {};
        info.ComboIndex = link.index;
        CopyText(info.AdapterName, link.name);
        CopyText(info.Description, link.name);
        // Like Windows, an address too long for the record is left out
        // rather than cut short.
        if (link.hardware.size() <= MAX_ADAPTER_ADDRESS_LENGTH) {
            info.AddressLength = static_cast<UINT>(link.hardware.size());
            std::copy(link.hardware.begin(), link.hardware.end(), info.Address);
        }
        info.Index = link.index;
        info.Type = InterfaceType(link);
        info.DhcpEnabled = lease.found ? 1 : 0;
        auto gateway = gateways.find(link.name);
        info.GatewayList = MakeAddrString({gateway != gateways.end() ? gateway->second : "0.0.0.0", "255.255.255.255"});
        if (lease.found) {
            info.DhcpServer = MakeAddrString({lease.server, lease.server.empty() ? "" : "255.255.255.255"});
        }
        info.LeaseObtained = lease.obtained;
        info.LeaseExpires = lease.expires;
        image.Put(offsets[i], info);
        PutChain(image, offsets[i] + offsetof(IP_ADAPTER_INFO, IpAddressList), ipList);
        if (i + 1 < adapters.size()) image.Link(offsets[i] + offsetof(IP_ADAPTER_INFO, Next), offsets[i + 1]);
    }
    return image.Deliver(AdapterInfo, SizePointer, ERROR_BUFFER_OVERFLOW);
}

DWORD GetPerAdapterInfo(ULONG IfIndex, PIP_PER_ADAPTER_INFO pPerAdapterInfo, PULONG pOutBufLen) {
    if (pOutBufLen == nullptr) return ERROR_INVALID_PARAMETER;

    const std::vector<LinkInfo> links = ReadLinks();
    const auto link = std::find_if(links.begin(), links.end(), [&](const LinkInfo& l) { return l.index == IfIndex; });
    if (link == links.end()) return ERROR_NO_DATA;

    // The link's own servers where systemd-resolved keeps them, the
    // machine's otherwise.
    std::vector<std::string> servers = LinkDnsServers(IfIndex);
    if (servers.empty()) servers = ReadGlobalResolver().servers;

    const std::map<std::string, std::vector<AddressPair>> addresses = AddressesByInterface();
    bool autoconfig = false;
    auto found = addresses.find(link->name);
    if (found != addresses.end()) {
        autoconfig = std::any_of(found->second.begin(), found->second.end(),
                                 [](const AddressPair& p) { return StartsWith(p.address, "169.254."); });
    }

    RecordImage image;
    const std::size_t offset = image.Reserve<IP_PER_ADAPTER_INFO>();
    IP_PER_ADAPTER_INFO info {};
    info.AutoconfigEnabled = autoconfig ? 1 : 0;
    info.AutoconfigActive = autoconfig ? 1 : 0;
    image.Put(offset, info);
    const std::size_t head = offset + offsetof(IP_PER_ADAPTER_INFO, DnsServerList);
    PutChain(image, head, DnsEntries(servers));
    if (!servers.empty()) image.Link(offset + offsetof(IP_PER_ADAPTER_INFO, CurrentDnsServer), head);
    return image.Deliver(pPerAdapterInfo, pOutBufLen, ERROR_BUFFER_OVERFLOW);
}

DWORD GetIfTable(PMIB_IFTABLE pIfTable, PULONG pdwSize, BOOL /*bOrder*/) {
    if (pdwSize == nullptr) return ERROR_INVALID_PARAMETER;

    const std::vector<LinkInfo> links = ReadLinks();
    RecordImage image;
    const std::size_t offset = image.Reserve<MIB_IFTABLE>();  // the count and room for one row
    const std::size_t rows = offset + offsetof(MIB_IFTABLE, table);
    image.Extend(rows + std::max<std::size_t>(links.size(), 1) * sizeof(MIB_IFROW));
    image.Put(offset + offsetof(MIB_IFTABLE, dwNumEntries), static_cast<DWORD>(links.size()));
    for (std::size_t i = 0; i < links.size(); ++i) image.Put(rows + i * sizeof(MIB_IFROW), MakeRow(links[i]));
    return image.Deliver(pIfTable, pdwSize, ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace paneloom::platform::lnx
