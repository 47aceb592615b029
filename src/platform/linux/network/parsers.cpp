#include "platform/linux/network/parsers.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdio>
#include <limits>

namespace paneloom::platform::lnx {

namespace {

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

// A time `seconds` (not negative) after `when`, held at the latest time
// there is: a file's modification time, which stands for the start of a
// lease, can be any 64-bit value on some file systems (tmpfs, where /run
// lives).
std::time_t SecondsAfter(std::time_t when, std::int64_t seconds) {
    constexpr std::time_t kLatest = std::numeric_limits<std::time_t>::max();
    return when > kLatest - static_cast<std::time_t>(seconds) ? kLatest : when + static_cast<std::time_t>(seconds);
}

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

}  // namespace

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

std::string HostsDomain(const std::string& text, const std::string& shortName) {
    if (shortName.empty()) return std::string();
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

std::map<std::string, std::string> ParseDefaultGateways(const std::string& text) {
    std::map<std::string, std::string> gateways;
    std::map<std::string, std::int64_t> bestMetric;
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

std::vector<std::string> ParseLinkDnsServers(const std::string& text) {
    std::vector<std::string> servers;
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
        lease.expires = SecondsAfter(written, lifetime);
    }
    return lease;
}

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
        if (!haveExpire && leaseTime > 0) current.expires = SecondsAfter(current.obtained, leaseTime);
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
            lease.expires = SecondsAfter(written, seconds);
        }
        i = data + length;
    }
    return lease;
}

}  // namespace paneloom::platform::lnx
