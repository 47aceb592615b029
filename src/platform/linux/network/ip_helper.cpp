#include "platform/linux/network/ip_helper.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/scan.h"
#include "platform/linux/network/leases.h"
#include "platform/linux/network/parsers.h"
#include "platform/linux/network/record_image.h"

namespace paneloom::platform::lnx {

namespace {

// NetBIOS node type for a machine without WINS servers.
constexpr UINT kBroadcastNodeType = 1;

// The records of each table query, laid out before the caller's block is
// looked at; nothing where the query has no data (ERROR_NO_DATA).
RecordImage NetworkParamsImage(const NetSource& source) {
    const std::string rawHost = RawHostName(source);
    const std::size_t dot = rawHost.find('.');
    const std::string shortName = rawHost.substr(0, dot);
    const GlobalResolver resolver = ReadGlobalResolver(source);
    std::string domain = resolver.domain;
    if (domain.empty() && dot != std::string::npos) domain = DomainText(rawHost.substr(dot + 1));
    if (domain.empty()) domain = DomainFromHosts(source, shortName);

    RecordImage image;
    const std::size_t offset = image.Reserve<FIXED_INFO>();
    FIXED_INFO info {};
    CopyText(info.HostName, shortName);
    CopyText(info.DomainName, domain);
    info.NodeType = kBroadcastNodeType;
    info.EnableRouting = IpForwarding(source) ? 1 : 0;
    image.Put(offset, info);
    const std::size_t head = offset + offsetof(FIXED_INFO, DnsServerList);
    PutChain(image, head, DnsEntries(resolver.servers));
    if (!resolver.servers.empty()) image.Link(offset + offsetof(FIXED_INFO, CurrentDnsServer), head);
    return image;
}

std::optional<RecordImage> AdaptersImage(const NetSource& source) {
    std::vector<LinkInfo> adapters;
    for (LinkInfo& link : ReadLinks(source)) {
        if (IsAdapter(link)) adapters.push_back(std::move(link));
    }
    if (adapters.empty()) return std::nullopt;

    const std::map<std::string, std::vector<AddressPair>> addresses = AddressesByInterface(source);
    const std::map<std::string, std::string> gateways = DefaultGateways(source);

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
        const Lease lease = FindLease(source, link, ipList);

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
    return image;
}

std::optional<RecordImage> PerAdapterImage(const NetSource& source, ULONG index) {
    std::string name;
    if (!FindLinkName(source, index, name)) return std::nullopt;

    // The link's own servers where systemd-resolved keeps them, the
    // machine's otherwise.
    std::vector<std::string> servers = LinkDnsServers(source, index);
    if (servers.empty()) servers = ReadGlobalResolver(source).servers;

    const std::map<std::string, std::vector<AddressPair>> addresses = AddressesByInterface(source);
    bool autoconfig = false;
    auto found = addresses.find(name);
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
    return image;
}

RecordImage InterfaceTableImage(const NetSource& source) {
    const std::vector<LinkInfo> links = ReadLinks(source);
    RecordImage image;
    const std::size_t offset = image.Reserve<MIB_IFTABLE>();  // the count and room for one row
    const std::size_t rows = offset + offsetof(MIB_IFTABLE, table);
    image.Extend(rows + std::max<std::size_t>(links.size(), 1) * sizeof(MIB_IFROW));
    image.Put(offset + offsetof(MIB_IFTABLE, dwNumEntries), static_cast<DWORD>(links.size()));
    for (std::size_t i = 0; i < links.size(); ++i) image.Put(rows + i * sizeof(MIB_IFROW), ReadInterfaceRow(links[i]));
    return image;
}

}  // namespace

LinuxIpHelper::LinuxIpHelper(NetSource source) : source_(std::move(source)) {}

std::optional<RecordImage> LinuxIpHelper::TakeKept(IpHelperFunction function, ULONG argument) {
    std::optional<Kept> kept;
    kept.swap(kept_);
    if (!kept || kept->function != function || kept->argument != argument) return std::nullopt;
    return std::move(kept->image);
}

DWORD LinuxIpHelper::Deliver(IpHelperFunction function, ULONG argument, RecordImage image, void* block,
                             PULONG length, DWORD tooSmallCode) {
    const DWORD result = image.Deliver(block, length, tooSmallCode);
    if (result == tooSmallCode) kept_ = Kept{function, argument, std::move(image)};
    return result;
}

DWORD LinuxIpHelper::GetNetworkParams(PFIXED_INFO pFixedInfo, PULONG pOutBufLen) {
    std::optional<RecordImage> image = TakeKept(IpHelperFunction::GetNetworkParams, 0);
    if (pOutBufLen == nullptr) return ERROR_INVALID_PARAMETER;
    if (!image) image = NetworkParamsImage(source_);
    return Deliver(IpHelperFunction::GetNetworkParams, 0, std::move(*image), pFixedInfo, pOutBufLen,
                   ERROR_BUFFER_OVERFLOW);
}

ULONG LinuxIpHelper::GetAdaptersInfo(PIP_ADAPTER_INFO AdapterInfo, PULONG SizePointer) {
    std::optional<RecordImage> image = TakeKept(IpHelperFunction::GetAdaptersInfo, 0);
    if (SizePointer == nullptr) return ERROR_INVALID_PARAMETER;
    if (!image) image = AdaptersImage(source_);
    if (!image) return ERROR_NO_DATA;
    return Deliver(IpHelperFunction::GetAdaptersInfo, 0, std::move(*image), AdapterInfo, SizePointer,
                   ERROR_BUFFER_OVERFLOW);
}

DWORD LinuxIpHelper::GetPerAdapterInfo(ULONG IfIndex, PIP_PER_ADAPTER_INFO pPerAdapterInfo, PULONG pOutBufLen) {
    std::optional<RecordImage> image = TakeKept(IpHelperFunction::GetPerAdapterInfo, IfIndex);
    if (pOutBufLen == nullptr) return ERROR_INVALID_PARAMETER;
    if (!image) image = PerAdapterImage(source_, IfIndex);
    if (!image) return ERROR_NO_DATA;
    return Deliver(IpHelperFunction::GetPerAdapterInfo, IfIndex, std::move(*image), pPerAdapterInfo, pOutBufLen,
                   ERROR_BUFFER_OVERFLOW);
}

DWORD LinuxIpHelper::GetIfTable(PMIB_IFTABLE pIfTable, PULONG pdwSize, BOOL /*bOrder*/) {
    std::optional<RecordImage> image = TakeKept(IpHelperFunction::GetIfTable, 0);
    if (pdwSize == nullptr) return ERROR_INVALID_PARAMETER;
    if (!image) image = InterfaceTableImage(source_);
    return Deliver(IpHelperFunction::GetIfTable, 0, std::move(*image), pIfTable, pdwSize, ERROR_INSUFFICIENT_BUFFER);
}

DWORD LinuxIpHelper::GetIfEntry2(PMIB_IF_ROW2 Row) {
    kept_.reset();
    if (Row == nullptr) return ERROR_INVALID_PARAMETER;

    const std::vector<LinkInfo> links = ReadLinks(source_);
    const NET_LUID wanted = Row->InterfaceLuid;
    const DWORD index = Row->InterfaceIndex;
    const auto link = std::find_if(links.begin(), links.end(), [&](const LinkInfo& l) {
        return wanted.Value != 0 ? InterfaceLuid(l).Value == wanted.Value : l.index == index;
    });
    if (link == links.end()) return ERROR_FILE_NOT_FOUND;
    *Row = ReadInterfaceEntry(*link);
    return NO_ERROR;
}

}  // namespace paneloom::platform::lnx

namespace paneloom::platform {

template <>
IpHelper& RealImpl<IpHelper>() {
    static lnx::LinuxIpHelper library;
    return library;
}

}  // namespace paneloom::platform
