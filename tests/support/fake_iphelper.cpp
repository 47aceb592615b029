#include "support/fake_iphelper.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace paneloom::testing {

namespace {

// Records laid out one after the other in an image, with the pointer fields
// to aim into the caller's block once it is known.
class Image {
public:
    template <typename T>
    std::size_t Add(const T& value) {
        const std::size_t offset = (bytes_.size() + alignof(T) - 1) / alignof(T) * alignof(T);
        bytes_.resize(offset + sizeof(T), 0);
        std::memcpy(bytes_.data() + offset, &value, sizeof(T));
        return offset;
    }

    // Writes value at a chosen offset, growing the image as needed.
    template <typename T>
    void Place(std::size_t offset, const T& value) {
        Extend(offset + sizeof(T));
        std::memcpy(bytes_.data() + offset, &value, sizeof(T));
    }

    void Extend(std::size_t size) {
        if (bytes_.size() < size) bytes_.resize(size, 0);
    }

    void Link(std::size_t pointerOffset, std::size_t targetOffset) { links_.emplace_back(pointerOffset, targetOffset); }

    DWORD Deliver(void* block, PULONG length, DWORD tooSmall, ULONG padding) const {
        const ULONG needed = static_cast<ULONG>(bytes_.size()) + padding;
        if (block == nullptr || *length < needed) {
            *length = needed;
            return tooSmall;
        }
        unsigned char* base = static_cast<unsigned char*>(block);
        std::memset(base, 0, needed);
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

template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), n, field);
    field[n] = '\0';
}

IP_ADDR_STRING Entry(const FakeAddress& a) {
    IP_ADDR_STRING entry{};
    CopyText(entry.IpAddress.String, a.address);
    CopyText(entry.IpMask.String, a.mask);
    return entry;
}

// The chain whose head is inside a record at headOffset; later entries are
// appended to the image.
void Chain(Image& image, std::size_t headOffset, const std::vector<FakeAddress>& entries) {
    std::size_t previous = headOffset;
    for (std::size_t k = 1; k < entries.size(); ++k) {
        const std::size_t offset = image.Add(Entry(entries[k]));
        image.Link(previous + offsetof(IP_ADDR_STRING, Next), offset);
        previous = offset;
    }
}

std::vector<FakeAddress> Servers(const std::vector<std::string>& servers) {
    std::vector<FakeAddress> entries;
    for (const std::string& s : servers) entries.push_back({s, ""});
    return entries;
}

void Record(FakeFunction& f, const void* block, PULONG length) {
    ++f.calls;
    f.blockWasNull.push_back(block == nullptr);
    f.lengthsHandedIn.push_back(length != nullptr ? *length : 0);
    f.blocks.push_back(block);
}

DWORD Answer(FakeFunction& f, const Image& image, void* block, PULONG length, DWORD tooSmall, ULONG extra = 0) {
    const DWORD result = f.failWith != 0 ? f.failWith : image.Deliver(block, length, tooSmall, f.padding + extra);
    f.padding += f.growthPerCall;
    return result;
}

}  // namespace

DWORD FakeIpHelper::GetNetworkParams(PFIXED_INFO block, PULONG length) {
    Record(networkParams, block, length);
    Image image;
    FIXED_INFO info{};
    CopyText(info.HostName, hostName);
    CopyText(info.DomainName, domainName);
    const std::vector<FakeAddress> servers = Servers(dnsServers);
    if (!servers.empty()) info.DnsServerList = Entry(servers[0]);
    const std::size_t offset = image.Add(info);
    Chain(image, offset + offsetof(FIXED_INFO, DnsServerList), servers);
    return Answer(networkParams, image, block, length, ERROR_BUFFER_OVERFLOW);
}

ULONG FakeIpHelper::GetAdaptersInfo(PIP_ADAPTER_INFO block, PULONG length) {
    Record(adaptersInfo, block, length);
    if (adapters.empty() && adaptersInfo.failWith == 0) return ERROR_NO_DATA;
    Image image;
    std::vector<std::size_t> offsets;
    for (const FakeAdapter& a : adapters) {
        IP_ADAPTER_INFO info{};
        CopyText(info.Description, a.description);
        std::copy_n(a.address.begin(), std::min<std::size_t>(a.address.size(), sizeof info.Address), info.Address);
        info.AddressLength =
            static_cast<UINT>(a.addressLength >= 0 ? static_cast<std::size_t>(a.addressLength) : a.address.size());
        info.Index = a.index;
        info.Type = a.type;
        info.DhcpEnabled = a.dhcp ? 1 : 0;
        CopyText(info.DhcpServer.IpAddress.String, a.dhcpServer);
        info.LeaseObtained = static_cast<std::time_t>(a.leaseObtained);
        info.LeaseExpires = static_cast<std::time_t>(a.leaseExpires);
        if (!a.ips.empty()) info.IpAddressList = Entry(a.ips[0]);
        offsets.push_back(image.Add(info));
    }
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        Chain(image, offsets[i] + offsetof(IP_ADAPTER_INFO, IpAddressList), adapters[i].ips);
        if (i + 1 < offsets.size()) image.Link(offsets[i] + offsetof(IP_ADAPTER_INFO, Next), offsets[i + 1]);
    }
    return Answer(adaptersInfo, image, block, length, ERROR_BUFFER_OVERFLOW);
}

DWORD FakeIpHelper::GetPerAdapterInfo(ULONG index, PIP_PER_ADAPTER_INFO block, PULONG length) {
    Record(perAdapterInfo, block, length);
    perAdapterIndexes.push_back(index);
    const auto found = std::find_if(perAdapter.begin(), perAdapter.end(),
                                    [&](const FakePerAdapter& p) { return p.index == index; });
    if (found == perAdapter.end() && perAdapterInfo.failWith == 0) return ERROR_NO_DATA;
    Image image;
    std::vector<FakeAddress> servers;
    ULONG extra = 0;
    if (found != perAdapter.end()) {
        servers = Servers(found->dnsServers);
        extra = found->padding;
    }
    IP_PER_ADAPTER_INFO info{};
    if (!servers.empty()) info.DnsServerList = Entry(servers[0]);
    const std::size_t offset = image.Add(info);
    Chain(image, offset + offsetof(IP_PER_ADAPTER_INFO, DnsServerList), servers);
    return Answer(perAdapterInfo, image, block, length, ERROR_BUFFER_OVERFLOW, extra);
}

DWORD FakeIpHelper::GetIfTable(PMIB_IFTABLE block, PULONG length, BOOL order) {
    Record(ifTable, block, length);
    ifTableOrder.push_back(order);
    Image image;
    const DWORD count = static_cast<DWORD>(interfaces.size());
    image.Add(count);
    const std::size_t rows = offsetof(MIB_IFTABLE, table);
    image.Extend(rows + std::max<std::size_t>(interfaces.size(), 1) * sizeof(MIB_IFROW));
    for (std::size_t r = 0; r < interfaces.size(); ++r) {
        const FakeInterface& in = interfaces[r];
        MIB_IFROW row{};
        row.dwIndex = static_cast<DWORD>(r + 1);
        row.dwType = in.type;
        row.dwMtu = in.mtu;
        row.dwSpeed = in.speed;
        row.dwPhysAddrLen = static_cast<DWORD>(std::min<std::size_t>(in.physical.size(), sizeof row.bPhysAddr));
        std::copy_n(in.physical.begin(), row.dwPhysAddrLen, row.bPhysAddr);
        const std::size_t n = std::min(in.description.size(), sizeof row.bDescr);
        std::copy_n(in.description.begin(), n, row.bDescr);
        if (in.unterminated) {
            std::memset(row.bDescr + n, 'X', sizeof row.bDescr - n);
        }
        const std::size_t withZero = std::min(n + 1, sizeof row.bDescr);
        row.dwDescrLen = static_cast<DWORD>(in.descrLength >= 0 ? static_cast<std::size_t>(in.descrLength) : withZero);
        image.Place(rows + r * sizeof(MIB_IFROW), row);
    }
    return Answer(ifTable, image, block, length, ERROR_INSUFFICIENT_BUFFER);
}

DWORD FakeIpHelper::GetIfEntry2(PMIB_IF_ROW2 row) {
    ++ifEntry2.calls;
    if (row == nullptr) return ERROR_INVALID_PARAMETER;
    ifEntry2Indexes.push_back(row->InterfaceIndex);
    if (ifEntry2.failWith != 0) return ifEntry2.failWith;
    const ULONG index = row->InterfaceIndex;
    if (index == 0 || index > interfaces.size()) return ERROR_FILE_NOT_FOUND;
    const FakeInterface& in = interfaces[index - 1];
    *row = MIB_IF_ROW2{};
    row->InterfaceIndex = index;
    row->Type = in.type;
    row->Mtu = in.mtu;
    row->TransmitLinkSpeed = in.linkSpeed != 0 ? in.linkSpeed : in.speed;
    row->ReceiveLinkSpeed = row->TransmitLinkSpeed;
    return NO_ERROR;
}

bool FakeIpHelper::Load() {
    ++loads;
    if (present) loaded_ = true;
    return present;
}

bool FakeIpHelper::Provides(platform::IpHelperFunction function) {
    const char* name = "GetIfTable";
    switch (function) {
        case platform::IpHelperFunction::GetNetworkParams: name = "GetNetworkParams"; break;
        case platform::IpHelperFunction::GetAdaptersInfo: name = "GetAdaptersInfo"; break;
        case platform::IpHelperFunction::GetPerAdapterInfo: name = "GetPerAdapterInfo"; break;
        case platform::IpHelperFunction::GetIfTable: break;
        case platform::IpHelperFunction::GetIfEntry2: name = "GetIfEntry2"; break;
    }
    return loaded_ && notExported.count(name) == 0;
}

FakeAdapter MakeAdapter(const std::string& description, DWORD index, std::vector<FakeAddress> ips) {
    FakeAdapter adapter;
    adapter.description = description;
    adapter.index = index;
    adapter.address = {0x00, 0x0c, 0x29, 0x3e, 0x5a, static_cast<std::uint8_t>(index)};
    adapter.ips = std::move(ips);
    return adapter;
}

FakeInterface MakeInterface(DWORD type, DWORD mtu, DWORD speed, const std::string& description) {
    FakeInterface row;
    row.type = type;
    row.mtu = mtu;
    row.speed = speed;
    row.description = description;
    row.physical = {0x00, 0x0c, 0x29, 0x3e, 0x5a, 0x01};
    return row;
}

}  // namespace paneloom::testing
