// Readers of the files behind the Linux IP helper functions: the resolver
// configuration, /etc/hosts, the kernel's routing table, systemd-resolved's
// per-link state, hardware addresses from /sys, and the lease files of the
// DHCP clients. Each is a pure function over the file's text (or bytes), so
// any content, however damaged, can be fed to it: nothing is read outside the
// input, every loop ends, nothing throws but exhausted memory.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "common/scan.h"
#include "platform/ip_helper_records.h"

namespace paneloom::platform::lnx {

// ---------------------------------------------------------------------------
// Addresses and names

// A dotted IPv4 text in its canonical form, or false.
bool CanonicalIpv4(const std::string& text, std::string& canonical);

// The IPv4 addresses of a list, canonical, in list order.
std::vector<std::string> Ipv4Only(const std::vector<std::string>& addresses);

// A domain name without its trailing dots.
std::string DomainText(std::string name);

// ---------------------------------------------------------------------------
// Host, domain and DNS servers

struct ResolverConfig {
    std::vector<std::string> nameservers;  // as written, any family
    std::string domain;                    // first usable entry of the last search/domain line
};

// resolv.conf: "nameserver" lines in order, and the domain of the last
// "domain" or "search" line. "#" and ";" start comments.
ResolverConfig ParseResolverConfig(const std::string& text);

// The domain of `shortName` in an /etc/hosts text: the first line whose
// canonical name is the short name followed by a domain. Empty when none.
std::string HostsDomain(const std::string& text, const std::string& shortName);

// The default gateway of each interface in a /proc/net/route text (its
// first line holds the column names), the one with the lowest metric where
// there are several, as dotted text.
std::map<std::string, std::string> ParseDefaultGateways(const std::string& text);

// The IPv4 servers of the "DNS=" lines of systemd-resolved's state file of
// one link. Entries may carry a port, an interface or a server name
// ("1.1.1.1:853#one.one.one.one").
std::vector<std::string> ParseLinkDnsServers(const std::string& text);

// ---------------------------------------------------------------------------
// Interfaces

// "aa:bb:cc:dd:ee:ff" (any length up to 64 bytes, one or two digits each);
// empty when the text is no address.
std::vector<BYTE> ParseHardwareAddress(const std::string& text);

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

// systemd-networkd's lease file, also written by NetworkManager's internal
// client: ADDRESS=, SERVER_ADDRESS=, LIFETIME= (seconds). It records no start
// time, so the time it was written stands for it.
Lease ParseKeyValueLease(const std::string& text, std::time_t written);

// dhclient's "2024/03/01" "12:34:56", in UTC.
bool ParseDhclientDate(const std::string& date, const std::string& time, std::time_t& when);

// The last "lease { ... }" block of a dhclient lease file that belongs to the
// interface: one that names it, or one that names none when the file itself
// is the interface's own.
Lease ParseDhclientLeases(const std::string& text, const std::string& ifName, bool fileIsInterfaces,
                          std::time_t written);

// dhcpcd keeps the server's last DHCP message itself: the BOOTP header, the
// magic cookie and the options (54 server identifier, 51 lease time).
Lease ParseDhcpcdLease(const std::string& bytes, std::time_t written);

}  // namespace paneloom::platform::lnx
