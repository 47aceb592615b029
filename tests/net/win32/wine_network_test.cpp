// The network variables under Wine, compared with what Wine's own IP helper
// library reports when the test calls it directly.
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/scan.h"
#include "net/network_views.h"
#include "platform/ip_helper.h"
#include "support/scratch.h"
#include "variables/substitution.h"

namespace paneloom {
namespace {

// One IP helper answer in a block of the size the library asks for.
template <typename Call>
std::vector<unsigned char> Fetch(Call call, DWORD& result) {
    std::vector<unsigned char> block;
    ULONG size = 0;
    result = call(nullptr, &size);
    if (result == ERROR_BUFFER_OVERFLOW || result == ERROR_INSUFFICIENT_BUFFER) {
        block.resize(size);
        result = call(block.data(), &size);
    }
    return block;
}

std::string Join(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& t : texts) joined += (joined.empty() ? "" : ", ") + t;
    return joined;
}

std::vector<std::string> Addresses(const IP_ADDR_STRING* head) {
    std::vector<std::string> texts;
    for (const IP_ADDR_STRING* entry = head; entry != nullptr; entry = entry->Next) {
        texts.push_back(entry->IpAddress.String);
    }
    return texts;
}

std::string Substitute(std::string text) {
    VariableCaches caches;
    SubstituteVariables(text, RunSettings(), caches);
    return text;
}

class WineNetworkTest : public ::testing::Test {
protected:
    testing::ScratchDir scratch;
};

TEST_F(WineNetworkTest, HostDomainAndServersAgreeWithGetNetworkParams) {
    DWORD result = 0;
    std::vector<unsigned char> block =
        Fetch([](void* b, PULONG size) { return GetNetworkParams(static_cast<PFIXED_INFO>(b), size); }, result);
    ASSERT_EQ(result, static_cast<DWORD>(NO_ERROR)) << "Wine answers GetNetworkParams";
    const auto* info = reinterpret_cast<const FIXED_INFO*>(block.data());

    std::string host = info->HostName;
    if (!host.empty()) CharUpperBuffA(&host[0], static_cast<DWORD>(host.size()));
    const std::string domain = info->DomainName[0] != '\0' ? std::string(info->DomainName) : host;
    EXPECT_FALSE(host.empty());
    EXPECT_EQ(host + "|" + domain + "|" + Join(Addresses(&info->DnsServerList)),
              Substitute("%HOSTNAME%|%DOMAIN%|%DNS_LIST%"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST_F(WineNetworkTest, AdapterListsAgreeWithGetAdaptersInfo) {
    DWORD result = 0;
    std::vector<unsigned char> block =
        Fetch([](void* b, PULONG size) { return GetAdaptersInfo(static_cast<PIP_ADAPTER_INFO>(b), size); }, result);
    std::vector<std::string> ipLists;
    std::vector<std::string> macs;
    std::string first = "%ADAPTER_1_NAME%|%ADAPTER_1_IPLIST%";
    if (result == NO_ERROR) {
        const auto* head = reinterpret_cast<const IP_ADAPTER_INFO*>(block.data());
        first = Trim(head->Description) + "|" + Join(Addresses(&head->IpAddressList));
        for (const IP_ADAPTER_INFO* a = head; a != nullptr; a = a->Next) {
            ipLists.push_back(Join(Addresses(&a->IpAddressList)));
            std::string mac;
            for (UINT k = 0; k < a->AddressLength && k < sizeof a->Address; ++k) {
                char pair[4];
                std::snprintf(pair, sizeof pair, k + 1 < a->AddressLength ? "%02x:" : "%02x", a->Address[k]);
                mac += pair;
            }
            macs.push_back(a->AddressLength == 0 ? "xx:xx:xx:xx:xx:xx:" : mac);
        }
    } else {
        EXPECT_EQ(result, static_cast<DWORD>(ERROR_NO_DATA));
    }
    EXPECT_EQ(Join(ipLists) + "|" + Join(macs) + "|" + first,
              Substitute("%ADAPTER_IP_LIST%|%ADAPTER_MAC_LIST%|%ADAPTER_1_NAME%|%ADAPTER_1_IPLIST%"));
}

TEST_F(WineNetworkTest, FirstInterfaceAgreesWithGetIfTable) {
    DWORD result = 0;
    std::vector<unsigned char> block =
        Fetch([](void* b, PULONG size) { return GetIfTable(static_cast<PMIB_IFTABLE>(b), size, TRUE); }, result);
    ASSERT_EQ(result, static_cast<DWORD>(NO_ERROR)) << "Wine answers GetIfTable";
    const auto* table = reinterpret_cast<const MIB_IFTABLE*>(block.data());
    ASSERT_GT(table->dwNumEntries, 0u);
    const MIB_IFROW& row = table->table[0];
    const std::string type = row.dwType == 24  ? "LOOPBACK"
                             : row.dwType == 6 ? "ETHERNET"
                                               : InterfaceTypeName(row.dwType);
    const std::size_t length = row.dwDescrLen < sizeof row.bDescr ? row.dwDescrLen : sizeof row.bDescr;
    std::string name(reinterpret_cast<const char*>(row.bDescr), length);
    name = Trim(name.substr(0, name.find('\0')));
    EXPECT_EQ(type + "|" + name + "|" + std::to_string(row.dwMtu),
              Substitute("%INTERFACE_1_TYPE%|%INTERFACE_1_NAME%|%INTERFACE_1_MTU%"));
    // Wine lists the loopback interface first, as Windows does.
    EXPECT_EQ(type, "LOOPBACK");
    const std::string past = "%INTERFACE_" + std::to_string(table->dwNumEntries + 1) + "_TYPE%";
    EXPECT_EQ(past, Substitute(past));
}

// The interface record that gives the speeds past 32 bits, from the Windows
// layer's own binding and from the library called directly.
TEST_F(WineNetworkTest, InterfaceRecordAgreesWithGetIfEntry2) {
    platform::IpHelper& library = platform::RealImpl<platform::IpHelper>();
    ASSERT_TRUE(library.Load());
    ASSERT_TRUE(library.Provides(platform::IpHelperFunction::GetIfEntry2));
    MIB_IF_ROW2 direct{};
    direct.InterfaceIndex = 1;
    ASSERT_EQ(GetIfEntry2(&direct), static_cast<DWORD>(NO_ERROR)) << "Wine answers GetIfEntry2";
    MIB_IF_ROW2 bound{};
    bound.InterfaceIndex = 1;
    ASSERT_EQ(library.GetIfEntry2(&bound), static_cast<DWORD>(NO_ERROR));
    // The traffic counters may move between the two calls; these may not.
    EXPECT_EQ(bound.InterfaceLuid.Value, direct.InterfaceLuid.Value);
    EXPECT_EQ(bound.Mtu, direct.Mtu);
    EXPECT_EQ(bound.TransmitLinkSpeed, direct.TransmitLinkSpeed);
}

}  // namespace
}  // namespace paneloom
