#include "platform/linux/iphelper_linux.h"

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
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

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

// Reads a regular file, at most maxBytes of it: the first ones, or the last
// ones when tail is set (lease files grow at their end). Anything that is not
// a regular file (a FIFO would block, a directory has no text) counts as
// unreadable.
bool ReadFile(const std::string& path, std::size_t maxBytes, std::string& out, bool tail = false) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (tail && st.st_size > 0 && static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::lseek(fd, st.st_size - static_cast<off_t>(maxBytes), SEEK_SET);
    }
    bool ok = true;
    char chunk[4096];
    while (out.size() < maxBytes) {
        const std::size_t want = std::min(sizeof chunk, maxBytes - out.size());
        const ssize_t got = ::read(fd, chunk, want);
        if (got < 0) {
            if (errno == EINTR) continue;
            ok = false;  // e.g. the speed of a link that is down
            break;
        }
        if (got == 0) break;
        out.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return ok;
}

bool ReadAttribute(const std::string& path, std::string& out) { return ReadFile(path, kMaxAttributeBytes, out); }

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

// ---------------------------------------------------------------------------
// Text helpers

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A whole decimal number (surrounding white space allowed), without overflow.
bool ParseSigned(const std::string& text, std::int64_t& value) {
    const std::string t = Trim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
    if (i == t.size()) return false;
    std::uint64_t magnitude = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        const unsigned digit = static_cast<unsigned>(t[i] - '0');
        if (magnitude > (static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) - digit) / 10) {
            return false;
        }
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

bool ParseHex(const std::string& text, std::uint64_t& value) {
    std::string t = Trim(text);
    if (StartsWith(t, "0x") || StartsWith(t, "0X")) t = t.substr(2);
    if (t.empty() || t.size() > 16) return false;
    value = 0;
    for (char c : t) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        value = value * 16 + digit;
    }
    return true;
}

// A dotted IPv4 text in its canonical form, or false.
bool CanonicalIpv4(const std::string& text, std::string& canonical) {
    in_addr addr {};
    if (::inet_pton(AF_INET, text.c_str(), &addr) != 1) return false;
    char buffer[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &addr, buffer, sizeof buffer) == nullptr) return false;
    canonical = buffer;
    return true;
}

std::vector<std::string> Ipv4Only(const std::vector<std::string>& addresses) {
    std::vector<std::string> result;
    for (const std::string& a : addresses) {
        std::string canonical;
        if (CanonicalIpv4(a, canonical)) result.push_back(canonical);
    }
    return result;
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

struct ResolverConfig {
    std::vector<std::string> nameservers;  // as written, any family
    std::string domain;                    // first usable entry of the last search/domain line
};

std::string DomainText(std::string name) {
    while (!name.empty() && name.back() == '.') name.pop_back();
    return name;
}

ResolverConfig ParseResolverConfig(const std::string& text) {
    ResolverConfig config;
    for (std::string line : SplitLines(text)) {
        const std::size_t comment = line.find_first_of("#;");
        if (comment != std::string::npos) line.erase(comment);
        const std::vector<std::string> words = SplitWords(line);
        if (words.size() < 2) continue;
        if (words[0] == "nameserver") {
            config.nameservers.push_back(words[1]);
        } else if (words[0] == "domain" || words[0] == "search") {
            // The two keywords exclude each other: the last one wins. A search
            // list for the root only (".") names no domain.
            config.domain.clear();
            for (std::size_t i = 1; i < words.size() && config.domain.empty(); ++i) {
                config.domain = DomainText(words[i]);
            }
        }
    }
    return config;
}

bool ReadResolverConfig(const std::string& path, ResolverConfig& config) {
    std::string text;
    if (!ReadFile(SystemPath(path), kMaxTextFileBytes, text)) return false;
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

// The domain part of the host's fully qualified name as /etc/hosts gives it
// (a canonical name that is the host name followed by a domain), without
// asking DNS, which may be slow or unreachable when the wallpaper is drawn at
// login.
std::string DomainFromHosts(const std::string& shortName) {
    std::string text;
    if (shortName.empty() || !ReadFile(SystemPath("/etc/hosts"), kMaxTextFileBytes, text)) return std::string();
    const std::string prefix = shortName + ".";
    for (std::string line : SplitLines(text)) {
        const std::size_t comment = line.find('#');
        if (comment != std::string::npos) line.erase(comment);
        const std::vector<std::string> words = SplitWords(line);
        if (words.size() < 2) continue;
        const std::string& canonical = words[1];
        if (StartsWith(canonical, prefix) && canonical.size() > prefix.size()) {
            return DomainText(canonical.substr(prefix.size()));
        }
    }
    return std::string();
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

// "aa:bb:cc:dd:ee:ff" (any length); empty when the text is no address.
std::vector<BYTE> ParseHardwareAddress(const std::string& text) {
    std::vector<BYTE> bytes;
    const std::string t = Trim(text);
    if (t.empty()) return bytes;
    std::size_t start = 0;
    while (start <= t.size()) {
        std::size_t end = t.find(':', start);
        if (end == std::string::npos) end = t.size();
        std::uint64_t value = 0;
        if (end - start < 1 || end - start > 2 || !ParseHex(t.substr(start, end - start), value) ||
            bytes.size() >= 64) {
            return {};
        }
        bytes.push_back(static_cast<BYTE>(value));
        start = end + 1;
    }
    return bytes;
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

// The default gateway of each interface from the kernel's IPv4 routing table,
// the one with the lowest metric where there are several.
std::map<std::string, std::string> DefaultGateways() {
    std::map<std::string, std::string> gateways;
    std::map<std::string, std::int64_t> bestMetric;
    std::string text;
    if (!ReadFile(SystemPath("/proc/net/route"), kMaxTextFileBytes, text)) return gateways;
    const std::vector<std::string> lines = SplitLines(text);
    for (std::size_t i = 1; i < lines.size(); ++i) {  // the first line holds the column names
        const std::vector<std::string> f = SplitWords(lines[i]);
        if (f.size() < 8) continue;
        std::uint64_t destination = 0, gateway = 0, flags = 0, mask = 0;
        std::int64_t metric = 0;
        if (!ParseHex(f[1], destination) || !ParseHex(f[2], gateway) || !ParseHex(f[3], flags) ||
            !ParseSigned(f[6], metric) || !ParseHex(f[7], mask)) {
            continue;
        }
        const std::uint64_t kRouteUp = 0x1, kRouteGateway = 0x2;
        if (destination != 0 || mask != 0 || gateway == 0 || gateway > 0xFFFFFFFFu ||
            (flags & (kRouteUp | kRouteGateway)) != (kRouteUp | kRouteGateway)) {
            continue;
        }
        auto best = bestMetric.find(f[0]);
        if (best != bestMetric.end() && best->second <= metric) continue;
        // The kernel prints the address in network byte order read as a host
        // number, so it goes back into s_addr unchanged.
        in_addr addr {};
        addr.s_addr = static_cast<std::uint32_t>(gateway);
        char buffer[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &addr, buffer, sizeof buffer) == nullptr) continue;
        gateways[f[0]] = buffer;
        bestMetric[f[0]] = metric;
    }
    return gateways;
}

// The IPv4 DNS servers that systemd-resolved keeps for one link. Entries may
// carry a port, an interface or a server name ("1.1.1.1:853#one.one.one.one").
std::vector<std::string> LinkDnsServers(DWORD index) {
    std::vector<std::string> servers;
    std::string text;
    if (!ReadFile(SystemPath("/run/systemd/resolve/netif/" + std::to_string(index)), kMaxTextFileBytes, text)) {
        return servers;
    }
    for (const std::string& line : SplitLines(text)) {
        if (!StartsWith(line, "DNS=")) continue;
        for (std::string word : SplitWords(line.substr(4))) {
            word = word.substr(0, word.find('#'));
            word = word.substr(0, word.find('%'));
            std::string canonical;
            if (!CanonicalIpv4(word, canonical)) {
                const std::size_t colon = word.find(':');
                if (colon == std::string::npos || word.find(':', colon + 1) != std::string::npos ||
                    !CanonicalIpv4(word.substr(0, colon), canonical)) {
                    continue;
                }
            }
            servers.push_back(canonical);
        }
    }
    return servers;
}

// ---------------------------------------------------------------------------
// DHCP leases, best effort: whatever cannot be read leaves DHCP off.

struct Lease {
    bool found = false;
    std::string address;  // the leased address, where the file names it
    std::string server;
    std::time_t obtained = 0;
    std::time_t expires = 0;
    std::time_t written = 0;  // when the file was written, to pick the newest
};

std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    for (const std::string& line : SplitLines(text)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        values[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
    }
    return values;
}

// systemd-networkd's lease file, also written by NetworkManager's internal
// client: ADDRESS=, SERVER_ADDRESS=, LIFETIME= (seconds). It records no start
// time, so the time it was written stands for it.
Lease ParseKeyValueLease(const std::string& text, std::time_t written) {
    Lease lease;
    lease.found = true;
    lease.written = written;
    lease.obtained = written;
    const std::map<std::string, std::string> values = KeyValues(text);
    auto it = values.find("ADDRESS");
    if (it != values.end()) CanonicalIpv4(it->second, lease.address);
    it = values.find("SERVER_ADDRESS");
    if (it != values.end()) CanonicalIpv4(it->second, lease.server);
    std::int64_t lifetime = 0;
    it = values.find("LIFETIME");
    if (it != values.end() && ParseSigned(it->second, lifetime) && lifetime > 0 && lifetime <= 0xFFFFFFFFll) {
        lease.expires = written + static_cast<std::time_t>(lifetime);
    }
    return lease;
}

// "2024/03/01" "12:34:56" in UTC.
bool ParseDhclientDate(const std::string& date, const std::string& time, std::time_t& when) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char tail = 0;
    if (std::sscanf(date.c_str(), "%d/%d/%d%c", &year, &month, &day, &tail) != 3) return false;
    if (std::sscanf(time.c_str(), "%d:%d:%d%c", &hour, &minute, &second, &tail) != 3) return false;
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60) {
        return false;
    }
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    when = ::timegm(&tm);
    return true;
}

std::vector<std::string> DhclientTokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsBlank(c)) {
            ++i;
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (c == '{' || c == '}' || c == ';') {
            tokens.emplace_back(1, c);
            ++i;
        } else if (c == '"') {
            std::string word;
            ++i;
            while (i < text.size() && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                word += text[i++];
            }
            ++i;
            tokens.push_back(word);
        } else {
            const std::size_t start = i;
            while (i < text.size() && !IsBlank(text[i]) && text[i] != '{' && text[i] != '}' && text[i] != ';' &&
                   text[i] != '"' && text[i] != '#') {
                ++i;
            }
            tokens.push_back(text.substr(start, i - start));
        }
    }
    return tokens;
}

// The last "lease { ... }" block of a dhclient lease file that belongs to the
// interface: one that names it, or one that names none when the file itself
// is the interface's own.
Lease ParseDhclientLeases(const std::string& text, const std::string& ifName, bool fileIsInterfaces,
                          std::time_t written) {
    Lease best;
    const std::vector<std::string> tokens = DhclientTokens(text);
    std::vector<std::string> statement;
    int depth = 0;
    bool inLease = false;
    Lease current;
    std::string currentInterface;
    std::int64_t leaseTime = -1;
    bool haveExpire = false;

    auto finish = [&]() {
        const bool mine = currentInterface.empty() ? fileIsInterfaces : currentInterface == ifName;
        if (!mine) return;
        current.found = true;
        current.written = written;
        if (haveExpire && leaseTime > 0) current.obtained = current.expires - static_cast<std::time_t>(leaseTime);
        else current.obtained = written;
        if (!haveExpire && leaseTime > 0) current.expires = current.obtained + static_cast<std::time_t>(leaseTime);
        best = current;
    };

    for (const std::string& token : tokens) {
        if (token == "{") {
            if (depth == 0 && statement.size() == 1 && statement[0] == "lease") {
                inLease = true;
                current = Lease();
                currentInterface.clear();
                leaseTime = -1;
                haveExpire = false;
            }
            ++depth;
            statement.clear();
        } else if (token == "}") {
            if (depth > 0) --depth;
            if (depth == 0 && inLease) {
                finish();
                inLease = false;
            }
            statement.clear();
        } else if (token == ";") {
            if (inLease && depth == 1 && !statement.empty()) {
                const std::vector<std::string>& s = statement;
                if (s[0] == "interface" && s.size() >= 2) {
                    currentInterface = s[1];
                } else if (s[0] == "fixed-address" && s.size() >= 2) {
                    CanonicalIpv4(s[1], current.address);
                } else if (s[0] == "option" && s.size() >= 3 && s[1] == "dhcp-server-identifier") {
                    CanonicalIpv4(s[2], current.server);
                } else if (s[0] == "option" && s.size() >= 3 && s[1] == "dhcp-lease-time") {
                    std::int64_t seconds = 0;
                    if (ParseSigned(s[2], seconds) && seconds > 0 && seconds <= 0xFFFFFFFFll) leaseTime = seconds;
                } else if (s[0] == "expire" && s.size() >= 3 && s[1] == "epoch") {
                    std::int64_t seconds = 0;
                    if (ParseSigned(s[2], seconds) && seconds >= 0 && seconds <= 0xFFFFFFFFFFll) {
                        current.expires = static_cast<std::time_t>(seconds);
                        haveExpire = true;
                    }
                } else if (s[0] == "expire" && s.size() >= 4) {
                    haveExpire = ParseDhclientDate(s[2], s[3], current.expires);
                    if (!haveExpire) current.expires = 0;
                }
            }
            statement.clear();
        } else if (statement.size() < 8) {
            statement.push_back(token);
        }
    }
    return best;
}

// dhcpcd keeps the server's last DHCP message itself: the BOOTP header, the
// magic cookie and the options (54 server identifier, 51 lease time).
Lease ParseDhcpcdLease(const std::string& bytes, std::time_t written) {
    Lease lease;
    constexpr std::size_t kYiaddr = 16, kCookie = 236, kOptions = 240;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() < kOptions || byte(kCookie) != 99 || byte(kCookie + 1) != 130 || byte(kCookie + 2) != 83 ||
        byte(kCookie + 3) != 99) {
        return lease;
    }
    lease.found = true;
    lease.written = written;
    lease.obtained = written;
    const auto dotted = [&](std::size_t i) {
        return std::to_string(byte(i)) + "." + std::to_string(byte(i + 1)) + "." + std::to_string(byte(i + 2)) +
               "." + std::to_string(byte(i + 3));
    };
    if (byte(kYiaddr) | byte(kYiaddr + 1) | byte(kYiaddr + 2) | byte(kYiaddr + 3)) lease.address = dotted(kYiaddr);
    std::size_t i = kOptions;
    while (i < bytes.size()) {
        const unsigned code = byte(i);
        if (code == 255) break;
        if (code == 0) {
            ++i;
            continue;
        }
        if (i + 1 >= bytes.size()) break;
        const std::size_t length = byte(i + 1);
        const std::size_t data = i + 2;
        if (data + length > bytes.size()) break;
        if (code == 54 && length == 4) lease.server = dotted(data);
        if (code == 51 && length == 4) {
            const std::uint32_t seconds = (static_cast<std::uint32_t>(byte(data)) << 24) |
                                          (static_cast<std::uint32_t>(byte(data + 1)) << 16) |
                                          (static_cast<std::uint32_t>(byte(data + 2)) << 8) | byte(data + 3);
            lease.expires = written + static_cast<std::time_t>(seconds);
        }
        i = data + length;
    }
    return lease;
}

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
        return ReadFile(path, kMaxTextFileBytes, text, tail);
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
