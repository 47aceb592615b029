// The network variables, through the whole substitution and a fake IP
// helper library: their values, joins, fall-backs and place in the order.
#include "variables/network.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fake_iphelper.h"
#include "support/fakes.h"
#include "variables/variables_fixture.h"

namespace paneloom {
namespace {

using testing::FakeAdapter;
using testing::FakeInterface;
using testing::MakeAdapter;
using testing::MakeInterface;

class NetworkVariablesTest : public testing::VariablesTest {
protected:
    NetworkVariablesTest() {
        fake.dnsServers = {"10.0.0.1", "10.0.0.2"};
        FakeAdapter first = MakeAdapter(" Fast Ethernet Adapter  ", 2, {{"10.0.0.5", "255.255.255.0"}});
        first.dhcp = true;
        first.dhcpServer = "10.0.0.254";
        first.leaseObtained = 1092000000;
        first.leaseExpires = 1092086400;
        FakeAdapter second =
            MakeAdapter("Second", 3, {{"10.0.1.5", "255.255.0.0"}, {"10.0.2.5", "255.0.0.0"}});
        fake.adapters = {first, second};
        fake.perAdapter = {{2, {"10.0.0.1", "10.0.0.3"}, 0}, {3, {}, 0}};
        fake.interfaces = {MakeInterface(24, 1500, 10000000, "loopback"),
                           MakeInterface(6, 1500, 100000000, "\t Fast Ethernet Adapter \r\n")};
        caches.network = Network(fake);
    }

    testing::FakeIpHelper fake;
};

TEST_F(NetworkVariablesTest, HostDomainAndDnsServers) {
    EXPECT_EQ("PC1|lab|10.0.0.1, 10.0.0.2", Substitute("%HOSTNAME%|%DOMAIN%|%DNS_LIST%"));
    // Outside a domain the domain is the upper-cased host name.
    fake.domainName = "";
    fake.hostName = "build-07";
    EXPECT_EQ("BUILD-07|BUILD-07", Substitute("%HOSTNAME%|%DOMAIN%"));
    // A machine without DNS servers has one empty entry.
    fake.dnsServers.clear();
    EXPECT_EQ("[]", Substitute("[%DNS_LIST%]"));
}

#ifndef _WIN32
// The Linux build's code page is UTF-8: the host name is upper-cased by
// character, as Windows upper-cases its own, not byte by byte.
TEST_F(NetworkVariablesTest, ANonAsciiHostNameIsUpperCasedByCharacter) {
    fake.domainName = "";
    fake.hostName = "stra\xC3\x9F" "e-caf\xC3\xA9-\xD0\xB3\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4";  // straße-café-город
    EXPECT_EQ("STRA\xC3\x9F" "E-CAF\xC3\x89-\xD0\x93\xD0\x9E\xD0\xA0\xD0\x9E\xD0\x94|STRA\xC3\x9F" "E-CAF\xC3\x89-\xD0\x93\xD0\x9E\xD0\xA0\xD0\x9E\xD0\x94",
              Substitute("%HOSTNAME%|%DOMAIN%"));
    // A byte that is no UTF-8 stands for its Windows-1252 letter, whose
    // capital is written in UTF-8; ß has no one-letter capital.
    fake.hostName = "b\xFCro\xDF";
    EXPECT_EQ("B\xC3\x9CRO\xDF", Substitute("%HOSTNAME%"));
}
#endif

TEST_F(NetworkVariablesTest, TwoAdaptersWithTheirJoinedLists) {
    EXPECT_EQ("10.0.0.1, 10.0.0.3|ETHERNET|Fast Ethernet Adapter|10.0.0.5|255.255.255.0",
              Substitute("%ADAPTER_1_DNSLIST%|%ADAPTER_1_TYPE%|%ADAPTER_1_NAME%|%ADAPTER_1_IPLIST%|"
                         "%ADAPTER_1_MASKLIST%"));
    EXPECT_EQ("|Second|10.0.1.5, 10.0.2.5|255.255.0.0, 255.0.0.0",
              Substitute("%ADAPTER_2_DNSLIST%|%ADAPTER_2_NAME%|%ADAPTER_2_IPLIST%|%ADAPTER_2_MASKLIST%"));
    EXPECT_EQ("10.0.0.5, 10.0.1.5, 10.0.2.5|00:0c:29:3e:5a:02, 00:0c:29:3e:5a:03",
              Substitute("%ADAPTER_IP_LIST%|%ADAPTER_MAC_LIST%"));
    // Only adapters that exist, counted from 1.
    EXPECT_EQ("%ADAPTER_3_TYPE% %ADAPTER_0_NAME%", Substitute("%ADAPTER_3_TYPE% %ADAPTER_0_NAME%"));
    // Each adapter's record is asked for by its interface index.
    EXPECT_EQ(fake.perAdapterIndexes.back(), 3u);
}

TEST_F(NetworkVariablesTest, DhcpOnShowsTheLeaseAndOffShowsPlaceholders) {
    testing::FakeClock utc;
    platform::ScopedFake<platform::Clock> zone(utc);
    EXPECT_EQ("Sun Aug 08 21:20:00 2004|Mon Aug 09 21:20:00 2004|10.0.0.254|-NA-|-NA-|(none)",
              Substitute("%ADAPTER_1_DHCPLEASED%|%ADAPTER_1_DHCPEXPIRES%|%ADAPTER_1_DHCPSERVER%|"
                         "%ADAPTER_2_DHCPLEASED%|%ADAPTER_2_DHCPEXPIRES%|%ADAPTER_2_DHCPSERVER%"));
}

TEST_F(NetworkVariablesTest, AnAdapterWithoutItsOwnRecordShowsNoneForItsServers) {
    fake.perAdapter = {{3, {"10.9.9.9"}, 0}};
    EXPECT_EQ("(none)|10.9.9.9", Substitute("%ADAPTER_1_DNSLIST%|%ADAPTER_2_DNSLIST%"));
    fake.notExported = {"GetPerAdapterInfo"};
    EXPECT_EQ("(none)|(none)|ETHERNET", Substitute("%ADAPTER_1_DNSLIST%|%ADAPTER_2_DNSLIST%|%ADAPTER_2_TYPE%"));
}

TEST_F(NetworkVariablesTest, InterfacesWithTypeNameMacMtuAndSpeed) {
    EXPECT_EQ("LOOPBACK|loopback|ENET Mac Address 0.0.0.0|1500|10.0 Mb/sec",
              Substitute("%INTERFACE_1_TYPE%|%INTERFACE_1_NAME%|%INTERFACE_1_MAC%|%INTERFACE_1_MTU%|"
                         "%INTERFACE_1_SPEED%"));
    EXPECT_EQ("ETHERNET|Fast Ethernet Adapter|00:0c:29:3e:5a:01|100.0 Mb/sec",
              Substitute("%INTERFACE_2_TYPE%|%INTERFACE_2_NAME%|%INTERFACE_2_MAC%|%INTERFACE_2_SPEED%"));
    EXPECT_EQ("%INTERFACE_3_TYPE% %INTERFACE_0_MTU%", Substitute("%INTERFACE_3_TYPE% %INTERFACE_0_MTU%"));

    // A 10 Gb/s link, whose row stands at its 32-bit limit.
    fake.interfaces[1].speed = 0xFFFFFFFFu;
    fake.interfaces[1].linkSpeed = 10000000000u;
    EXPECT_EQ("10000.0 Mb/sec", Substitute("%INTERFACE_2_SPEED%"));
}

TEST_F(NetworkVariablesTest, TenAdaptersDoNotInterfereWithEachOther) {
    fake.adapters.clear();
    for (DWORD n = 1; n <= 10; ++n) {
        fake.adapters.push_back(MakeAdapter("adapter " + std::to_string(n), n, {{"10.0.0." + std::to_string(n), "255.0.0.0"}}));
    }
    EXPECT_EQ("adapter 1|adapter 10|10.0.0.10", Substitute("%ADAPTER_1_NAME%|%ADAPTER_10_NAME%|%ADAPTER_10_IPLIST%"));
}

TEST_F(NetworkVariablesTest, WithoutTheLibraryNetworkNamesFallBackAndTheLaterStepsStillRun) {
    fake.present = false;
    EXPECT_EQ("[UNKNOWN]|[unknown]|||%ADAPTER_1_NAME%|%INTERFACE_1_TYPE%|Windows 7|alice",
              Substitute("%HOSTNAME%|%DOMAIN%|%DNS_LIST%|%ADAPTER_IP_LIST%%ADAPTER_MAC_LIST%|%ADAPTER_1_NAME%|"
                         "%INTERFACE_1_TYPE%|%OS%|%USERNAME%"));
    EXPECT_EQ("", Log());
}

TEST_F(NetworkVariablesTest, AMissingInterfaceTableIsATableOfNoRows) {
    fake.notExported = {"GetIfTable"};
    EXPECT_EQ("PC1|%INTERFACE_1_NAME%|Windows 7|alice|523776 Kb RAM",
              Substitute("%HOSTNAME%|%INTERFACE_1_NAME%|%OS%|%USERNAME%|%RAMINFO%"));
    EXPECT_EQ("", Log());
}

TEST_F(NetworkVariablesTest, NetworkValuesAreSearchedForTheNamesOfLaterStepsOnly) {
    fake.hostName = "%domain%";  // upper-cased into the next step's name
    fake.adapters[0].description = "%ADAPTER_2_NAME% on %OS% as %HOSTNAME%";
    EXPECT_EQ("lab|Second on Windows 7 as %HOSTNAME%", Substitute("%HOSTNAME%|%ADAPTER_1_NAME%"));
}

TEST_F(NetworkVariablesTest, EveryCallReadsTheNetworkAfresh) {
    EXPECT_EQ("10.0.0.5, 10.0.1.5, 10.0.2.5", Substitute("%ADAPTER_IP_LIST%"));
    fake.adapters.pop_back();
    fake.hostName = "pc2";
    EXPECT_EQ("PC2 10.0.0.5", Substitute("%HOSTNAME% %ADAPTER_IP_LIST%"));
    // Text without network names still queries all four views.
    const int before = fake.ifTable.calls;
    Substitute("plain");
    EXPECT_EQ(fake.ifTable.calls, before + 1);
}

TEST(SpeedTextTest, UnitsAndTheirBoundsAsScaledByMultiplying) {
    EXPECT_EQ("0.0 b/sec", SpeedText(0));
    EXPECT_EQ("9999.0 b/sec", SpeedText(9999));
    EXPECT_EQ("10.0 Kb/sec", SpeedText(10000));
    EXPECT_EQ("10000.0 Kb/sec", SpeedText(9999999));
    EXPECT_EQ("10.0 Mb/sec", SpeedText(10000000));
    EXPECT_EQ("10.0 Mb/sec", SpeedText(10050000));  // the product lies just below 10.05
    EXPECT_EQ("100.0 Mb/sec", SpeedText(100000000));
    EXPECT_EQ("1000.0 Mb/sec", SpeedText(1000000000));
    // From 2^31 on the speed is still the unsigned value it is, and so it is
    // past 32 bits.
    EXPECT_EQ("2147.5 Mb/sec", SpeedText(2147483648u));
    EXPECT_EQ("2500.0 Mb/sec", SpeedText(2500000000u));
    EXPECT_EQ("4295.0 Mb/sec", SpeedText(4294967295u));
    EXPECT_EQ("10000.0 Mb/sec", SpeedText(10000000000u));
    EXPECT_EQ("400000.0 Mb/sec", SpeedText(400000000000u));
}

}  // namespace
}  // namespace paneloom
