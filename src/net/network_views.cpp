#include "net/network_views.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "platform/clock.h"

namespace paneloom {

namespace {

const char* const kUnknown = "[unknown]";

// A record's text up to its terminating zero, and never past its field.
std::string FieldText(const void* field, std::size_t fieldSize) {
    const char* text = static_cast<const char*>(field);
    const void* zero = std::memchr(text, 0, fieldSize);
    return std::string(text, zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - text)
                                             : fieldSize);
}

template <typename Field>
std::string FieldText(const Field& field) {
    return FieldText(&field, sizeof field);
}

// Texts that an accessor builds are bounded as in a 64-byte buffer.
constexpr std::size_t kBuiltTextBuffer = 64;

int CountChain(const IP_ADDR_STRING& head) {
    int count = 0;
    for (const IP_ADDR_STRING* entry = &head; entry != nullptr; entry = entry->Next) ++count;
    return count;
}

// Entry j of a chain whose first entry is held inside its record; null when
// the chain runs out first.
const IP_ADDR_STRING* ChainEntry(const IP_ADDR_STRING& head, int j) {
    const IP_ADDR_STRING* entry = &head;
    for (int step = 0; step < j && entry != nullptr; ++step) entry = entry->Next;
    return entry;
}

std::string DnsServerText(const IP_ADDR_STRING* head, int j) {
    if (head == nullptr) return kUnknown;
    const IP_ADDR_STRING* entry = ChainEntry(*head, j);
    return entry != nullptr ? FieldText(entry->IpAddress.String) : kUnknown;
}

const IP_ADAPTER_INFO* AdapterAt(const IP_ADAPTER_INFO* list, int i) {
    const IP_ADAPTER_INFO* adapter = list;
    for (int step = 0; step < i && adapter != nullptr; ++step) adapter = adapter->Next;
    return adapter;
}

const MIB_IFROW& RowAt(const MIB_IFTABLE* table, std::uint32_t r) {
    if (table == nullptr || table->dwNumEntries == 0) {
        throw std::out_of_range("the interface table has no row to read");
    }
    const std::uint32_t last = table->dwNumEntries - 1;
    return table->table[r < last ? r : last];
}

}  // namespace

const char* InterfaceTypeName(std::uint32_t typeCode) {
    switch (typeCode) {
        case 6: return "ETHERNET";
        case 9: return "TOKENRING";
        case 15: return "FDDI";
        case 23: return "PPP";
        case 24: return "LOOPBACK";
        case 28: return "SLIP";
        default: return "[unknown interface type]";
    }
}

std::string LeaseDateText(std::int64_t seconds) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (seconds < 0) return "[invalid data]";
    std::tm converted{};
    if (!platform::Get<platform::Clock>().ToLocal(seconds, converted)) return "[invalid data]";
    const std::tm* local = &converted;
    if (local->tm_wday < 0 || local->tm_wday > 6 || local->tm_mon < 0 || local->tm_mon > 11) {
        return "[invalid data]";
    }
    char buffer[kBuiltTextBuffer];
    std::snprintf(buffer, sizeof buffer, "%s %s %02d %02d:%02d:%02d %04d", kDays[local->tm_wday],
                  kMonths[local->tm_mon], local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec,
                  local->tm_year + 1900);
    return buffer;
}

// ---------------------------------------------------------------------------
// NetworkParams

const FIXED_INFO* NetworkParams::Record() const { return network_->networkParams_; }

void NetworkParams::Load() { network_->networkParams_ = network_->queries_.QueryNetworkParams(); }

std::string NetworkParams::HostNameString() const {
    return Record() != nullptr ? FieldText(Record()->HostName) : kUnknown;
}

std::string NetworkParams::DomainNameString() const {
    return Record() != nullptr ? FieldText(Record()->DomainName) : kUnknown;
}

int NetworkParams::DNSServerCount() const {
    return Record() != nullptr ? CountChain(Record()->DnsServerList) : 0;
}

std::string NetworkParams::DNSServerString(int j) const {
    return DnsServerText(Record() != nullptr ? &Record()->DnsServerList : nullptr, j);
}

// ---------------------------------------------------------------------------
// AdapterList

const IP_ADAPTER_INFO* AdapterList::Record() const { return network_->adapterList_; }

void AdapterList::Load() { network_->adapterList_ = network_->queries_.QueryAdaptersInfo(); }

int AdapterList::AdapterCount() const {
    int count = 0;
    for (const IP_ADAPTER_INFO* adapter = Record(); adapter != nullptr; adapter = adapter->Next) ++count;
    return count;
}

std::string AdapterList::DescriptionString(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    return adapter != nullptr ? FieldText(adapter->Description) : "[adapter::unknown]";
}

std::string AdapterList::TypeString(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    return adapter != nullptr ? InterfaceTypeName(adapter->Type) : "[TypeString::error]";
}

std::string AdapterList::HWAddressString(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    if (adapter == nullptr) return "[HWAddressString::error]";
    // However long the record says the address is, it has only these bytes.
    std::size_t length = adapter->AddressLength;
    if (length > sizeof adapter->Address) length = sizeof adapter->Address;
    if (length == 0) return "xx:xx:xx:xx:xx:xx:";
    char buffer[kBuiltTextBuffer] = {};
    std::size_t used = 0;
    for (std::size_t k = 0; k < length; ++k) {
        std::snprintf(buffer + used, sizeof buffer - used, k + 1 < length ? "%02x:" : "%02x",
                      static_cast<unsigned>(adapter->Address[k]));
        used += k + 1 < length ? 3 : 2;
    }
    return buffer;
}

int AdapterList::IPAddressCount(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    return adapter != nullptr ? CountChain(adapter->IpAddressList) : 0;
}

std::string AdapterList::IPAddressString(int i, int j) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    if (adapter == nullptr) return "IPAddress:error";
    const IP_ADDR_STRING* entry = ChainEntry(adapter->IpAddressList, j);
    return entry != nullptr ? FieldText(entry->IpAddress.String) : "[IPAddressString::error]";
}

std::string AdapterList::IPMaskString(int i, int j) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    if (adapter == nullptr) return "IpMask:error";
    const IP_ADDR_STRING* entry = ChainEntry(adapter->IpAddressList, j);
    return entry != nullptr ? FieldText(entry->IpMask.String) : "[IPMaskString::error]";
}

bool AdapterList::DHCPEnabled(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    return adapter != nullptr && adapter->DhcpEnabled != 0;
}

std::string AdapterList::DHCPServer(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    return adapter != nullptr ? FieldText(adapter->DhcpServer.IpAddress.String) : "[DHCPServer::error]";
}

std::string AdapterList::DHCPLeaseObtained(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    return adapter != nullptr ? LeaseDateText(static_cast<std::int64_t>(adapter->LeaseObtained))
                              : "[DHCPLeaseObtained::error]";
}

std::string AdapterList::DHCPLeaseExpires(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    return adapter != nullptr ? LeaseDateText(static_cast<std::int64_t>(adapter->LeaseExpires))
                              : "[adapter_info::error]";
}

std::uint32_t AdapterList::AdapterIndex(int i) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(Record(), i);
    return adapter != nullptr ? static_cast<std::uint32_t>(adapter->Index) : 0;
}

// ---------------------------------------------------------------------------
// PerAdapterInfo

const IP_PER_ADAPTER_INFO* PerAdapterInfo::Record() const { return network_->perAdapterInfo_; }

void PerAdapterInfo::Load(std::uint32_t interfaceIndex) {
    network_->perAdapterInfo_ = network_->queries_.QueryPerAdapterInfo(interfaceIndex);
}

int PerAdapterInfo::DNSServerCount() const {
    return Record() != nullptr ? CountChain(Record()->DnsServerList) : 0;
}

std::string PerAdapterInfo::DNSServerString(int j) const {
    return DnsServerText(Record() != nullptr ? &Record()->DnsServerList : nullptr, j);
}

// ---------------------------------------------------------------------------
// InterfaceTable

const MIB_IFTABLE* InterfaceTable::Record() const { return network_->interfaceTable_; }

void InterfaceTable::Load() { network_->interfaceTable_ = network_->queries_.QueryIfTable(); }

std::uint32_t InterfaceTable::InterfaceCount() const {
    return Record() != nullptr ? static_cast<std::uint32_t>(Record()->dwNumEntries) : 0;
}

std::uint32_t InterfaceTable::MTU(std::uint32_t r) const {
    return static_cast<std::uint32_t>(RowAt(Record(), r).dwMtu);
}

std::uint64_t InterfaceTable::Speed(std::uint32_t r) const {
    const MIB_IFROW& row = RowAt(Record(), r);
    constexpr DWORD kRowSpeedLimit = 0xFFFFFFFF;
    if (row.dwSpeed == kRowSpeedLimit) {
        const MIB_IF_ROW2* entry = network_->queries_.QueryIfEntry2(static_cast<std::uint32_t>(row.dwIndex));
        if (entry != nullptr) return static_cast<std::uint64_t>(entry->TransmitLinkSpeed);
    }
    return static_cast<std::uint32_t>(row.dwSpeed);
}

std::string InterfaceTable::DescriptionString(std::uint32_t r) const {
    const MIB_IFROW& row = RowAt(Record(), r);
    std::size_t length = row.dwDescrLen;
    if (length > sizeof row.bDescr) length = sizeof row.bDescr;
    return FieldText(row.bDescr, length);
}

std::string InterfaceTable::TypeString(std::uint32_t r) const {
    return InterfaceTypeName(static_cast<std::uint32_t>(RowAt(Record(), r).dwType));
}

std::string InterfaceTable::MACAddressString(std::uint32_t r) const {
    const MIB_IFROW& row = RowAt(Record(), r);
    if (row.dwType != 6) return "ENET Mac Address 0.0.0.0";
    char buffer[kBuiltTextBuffer];
    std::snprintf(buffer, sizeof buffer, "%02x:%02x:%02x:%02x:%02x:%02x", static_cast<unsigned>(row.bPhysAddr[0]),
                  static_cast<unsigned>(row.bPhysAddr[1]), static_cast<unsigned>(row.bPhysAddr[2]),
                  static_cast<unsigned>(row.bPhysAddr[3]), static_cast<unsigned>(row.bPhysAddr[4]),
                  static_cast<unsigned>(row.bPhysAddr[5]));
    return buffer;
}

}  // namespace paneloom
