// Read-only views over the records of the IP helper queries, with their text
// forms.
//
// Each view kind has one current record in the run's Network, shared by all
// of its instances over that Network: none at start, then whatever the last
// Load of that kind returned. An instance holds nothing but the Network it
// reads. Every missing piece is answered with a fixed fall-back or error
// text, so the network variables can show whatever comes back without checks
// of their own.
//
// Texts read from a record never run past their field, even where the record
// lacks a terminating zero. Built texts (addresses, lease dates) hold at most
// 63 characters.
#pragma once

#include <cstdint>
#include <string>

#include "net/network.h"

namespace paneloom {

// The text of an interface type code: "ETHERNET", "TOKENRING", "FDDI",
// "PPP", "LOOPBACK", "SLIP", or "[unknown interface type]".
const char* InterfaceTypeName(std::uint32_t typeCode);

// A lease time (seconds since 1970-01-01 00:00:00 UTC) in local time as 24
// characters, "Sun Aug 08 21:20:00 2004"; "[invalid data]" for a time that
// cannot be converted, such as a negative one.
std::string LeaseDateText(std::int64_t seconds);

// Host name, domain and DNS servers of the machine. Without a current record
// every text is "[unknown]" and the count 0.
class NetworkParams {
public:
    explicit NetworkParams(Network& network) : network_(&network) {}
    void Load();
    std::string HostNameString() const;
    std::string DomainNameString() const;
    // Entries of the DNS server chain; a present record always has one, whose
    // text may be empty.
    int DNSServerCount() const;
    // "[unknown]" when the chain has no entry j.
    std::string DNSServerString(int j) const;

private:
    // The current record of this view kind, or null.
    const FIXED_INFO* Record() const;

    Network* network_;
};

// The adapters, by position in the platform's list (a negative position
// counts as 0). Each accessor has its own answer for a position without an
// adapter, the current list being none included.
class AdapterList {
public:
    explicit AdapterList(Network& network) : network_(&network) {}
    void Load();
    int AdapterCount() const;
    std::string DescriptionString(int i) const;  // "[adapter::unknown]"
    std::string TypeString(int i) const;         // "[TypeString::error]"
    // The hardware address as lower-case pairs joined by colons; for an
    // address of length 0, "xx:xx:xx:xx:xx:xx:". "[HWAddressString::error]"
    std::string HWAddressString(int i) const;
    int IPAddressCount(int i) const;  // at least 1 for a present adapter; 0
    // Entry j of the adapter's address chain: "IPAddress:error" for a missing
    // adapter, "[IPAddressString::error]" for a missing entry.
    std::string IPAddressString(int i, int j) const;
    // "IpMask:error" and "[IPMaskString::error]" in the same cases.
    std::string IPMaskString(int i, int j) const;
    bool DHCPEnabled(int i) const;                 // false
    std::string DHCPServer(int i) const;           // "[DHCPServer::error]"
    std::string DHCPLeaseObtained(int i) const;    // "[DHCPLeaseObtained::error]"
    std::string DHCPLeaseExpires(int i) const;     // "[adapter_info::error]"
    std::uint32_t AdapterIndex(int i) const;       // 0

private:
    // The current record of this view kind, or null.
    const IP_ADAPTER_INFO* Record() const;

    Network* network_;
};

// The DNS servers of one adapter, loaded by its interface index. Without a
// current record, "[unknown]" and 0 as for NetworkParams.
class PerAdapterInfo {
public:
    explicit PerAdapterInfo(Network& network) : network_(&network) {}
    void Load(std::uint32_t interfaceIndex);
    int DNSServerCount() const;
    std::string DNSServerString(int j) const;

private:
    // The current record of this view kind, or null.
    const IP_PER_ADAPTER_INFO* Record() const;

    Network* network_;
};

// The interfaces, rows in the table's order (sorted by interface index). A
// position at or past the row count reads the last row. A missing table is a
// table of no rows; the row accessors need a row to read and throw
// std::out_of_range when there is none.
class InterfaceTable {
public:
    explicit InterfaceTable(Network& network) : network_(&network) {}
    void Load();
    std::uint32_t InterfaceCount() const;
    std::uint32_t MTU(std::uint32_t r) const;
    // The link speed in bits per second. The row holds it in 32 bits, which
    // stand at their limit for links of 4.3 Gb/s and more; there the
    // interface's own record gives the real speed where the system has it.
    std::uint64_t Speed(std::uint32_t r) const;
    std::string DescriptionString(std::uint32_t r) const;
    std::string TypeString(std::uint32_t r) const;
    // Six lower-case pairs joined by colons for an Ethernet row, otherwise
    // "ENET Mac Address 0.0.0.0".
    std::string MACAddressString(std::uint32_t r) const;

private:
    // The current record of this view kind, or null.
    const MIB_IFTABLE* Record() const;

    Network* network_;
};

}  // namespace paneloom
