// The network views over records that a fake IP helper library hands out:
// accessors, fall-backs and error texts, and the texts the views build.
#include "net/network_views.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "log/error_log.h"
#include "support/fake_iphelper.h"
#include "support/scratch.h"
#include "support/fakes.h"

namespace paneloom {
namespace {

using testing::FakeAdapter;
using testing::FakeInterface;
using testing::MakeAdapter;
using testing::FakeIpHelper;
using testing::FakeClock;

class NetworkViewsTest : public ::testing::Test {
protected:
    testing::ScratchDir scratch;
    FakeIpHelper fake;
    Network network{fake};
};

TEST_F(NetworkViewsTest, WithoutTheLibraryEveryViewFallsBackSilently) {
    fake.present = false;
    NetworkParams params(network);
    params.Load();
    EXPECT_EQ(params.HostNameString(), "[unknown]");
    EXPECT_EQ(params.DomainNameString(), "[unknown]");
    EXPECT_EQ(params.DNSServerCount(), 0);
    EXPECT_EQ(params.DNSServerString(0), "[unknown]");

    AdapterList adapters(network);
    adapters.Load();
    EXPECT_EQ(adapters.AdapterCount(), 0);
    EXPECT_EQ(adapters.DescriptionString(0), "[adapter::unknown]");

    PerAdapterInfo perAdapter(network);
    perAdapter.Load(1);
    EXPECT_EQ(perAdapter.DNSServerCount(), 0);
    EXPECT_EQ(perAdapter.DNSServerString(0), "[unknown]");

    // A missing table is a table of no rows, with no row to read.
    InterfaceTable table(network);
    table.Load();
    EXPECT_EQ(table.InterfaceCount(), 0u);
    EXPECT_THROW(table.MTU(0), std::out_of_range);
    EXPECT_THROW(table.DescriptionString(3), std::out_of_range);

    EXPECT_FALSE(scratch.Exists(kErrorLogName));
}

TEST_F(NetworkViewsTest, NetworkParamsGiveHostDomainAndTheServerChain) {
    fake.dnsServers = {"10.0.0.1", "10.0.0.2"};
    NetworkParams params(network);
    params.Load();
    EXPECT_EQ(params.HostNameString(), "pc1");
    EXPECT_EQ(params.DomainNameString(), "lab");
    EXPECT_EQ(params.DNSServerCount(), 2);
    EXPECT_EQ(params.DNSServerString(0), "10.0.0.1");
    EXPECT_EQ(params.DNSServerString(1), "10.0.0.2");
    EXPECT_EQ(params.DNSServerString(2), "[unknown]");

    // Without servers the chain still has its one, empty, entry.
    fake.dnsServers.clear();
    params.Load();
    EXPECT_EQ(params.DNSServerCount(), 1);
    EXPECT_EQ(params.DNSServerString(0), "");
    EXPECT_EQ(params.DNSServerString(1), "[unknown]");
}

TEST_F(NetworkViewsTest, AllInstancesOfAViewShareTheLastLoadedRecord) {
    NetworkParams first(network);
    NetworkParams second(network);
    first.Load();
    EXPECT_EQ(second.HostNameString(), "pc1");
    fake.networkParams.failWith = 31;
    second.Load();
    EXPECT_EQ(first.HostNameString(), "[unknown]");
}

TEST_F(NetworkViewsTest, EachNetworkHasItsOwnCurrentRecords) {
    FakeIpHelper otherMachine;
    otherMachine.hostName = "pc2";
    Network other(otherMachine);
    NetworkParams here(network);
    NetworkParams there(other);
    here.Load();
    EXPECT_EQ(there.HostNameString(), "[unknown]");
    there.Load();
    EXPECT_EQ(here.HostNameString(), "pc1");
    EXPECT_EQ(there.HostNameString(), "pc2");
}

TEST_F(NetworkViewsTest, AdapterListReadsEachAdapterAndAnswersMissingOnesWithTheirErrorTexts) {
    FakeAdapter dhcp = MakeAdapter("Fast Ethernet Adapter", 4, {{"192.168.1.5", "255.255.255.0"}, {"10.1.1.5", "255.0.0.0"}});
    dhcp.dhcp = true;
    dhcp.dhcpServer = "192.168.1.1";
    dhcp.leaseObtained = 1092000000;
    dhcp.leaseExpires = 1092086400;
    FakeAdapter fixed = MakeAdapter("Wireless", 9, {{"10.0.1.5", "255.255.0.0"}});
    fixed.type = 71;
    fake.adapters = {dhcp, fixed};

    FakeClock utc;
    platform::ScopedFake<platform::Clock> zone(utc);
    AdapterList adapters(network);
    adapters.Load();
    ASSERT_EQ(adapters.AdapterCount(), 2);

    EXPECT_EQ(adapters.DescriptionString(0), "Fast Ethernet Adapter");
    EXPECT_EQ(adapters.TypeString(0), "ETHERNET");
    EXPECT_EQ(adapters.HWAddressString(0), "00:0c:29:3e:5a:04");
    EXPECT_EQ(adapters.AdapterIndex(0), 4u);
    EXPECT_EQ(adapters.IPAddressCount(0), 2);
    EXPECT_EQ(adapters.IPAddressString(0, 1), "10.1.1.5");
    EXPECT_EQ(adapters.IPMaskString(0, 1), "255.0.0.0");
    EXPECT_EQ(adapters.IPAddressString(0, 2), "[IPAddressString::error]");
    EXPECT_EQ(adapters.IPMaskString(0, 2), "[IPMaskString::error]");
    EXPECT_TRUE(adapters.DHCPEnabled(0));
    EXPECT_EQ(adapters.DHCPServer(0), "192.168.1.1");
    EXPECT_EQ(adapters.DHCPLeaseObtained(0), "Sun Aug 08 21:20:00 2004");
    EXPECT_EQ(adapters.DHCPLeaseExpires(0), "Mon Aug 09 21:20:00 2004");

    EXPECT_EQ(adapters.TypeString(1), "[unknown interface type]");
    EXPECT_EQ(adapters.IPAddressCount(1), 1);
    EXPECT_FALSE(adapters.DHCPEnabled(1));
    // A negative position reads the first adapter.
    EXPECT_EQ(adapters.AdapterIndex(-3), 4u);

    for (int missing : {2, 5}) {
        SCOPED_TRACE(missing);
        EXPECT_EQ(adapters.DescriptionString(missing), "[adapter::unknown]");
        EXPECT_EQ(adapters.TypeString(missing), "[TypeString::error]");
        EXPECT_EQ(adapters.HWAddressString(missing), "[HWAddressString::error]");
        EXPECT_EQ(adapters.IPAddressCount(missing), 0);
        EXPECT_EQ(adapters.IPAddressString(missing, 0), "IPAddress:error");
        EXPECT_EQ(adapters.IPMaskString(missing, 0), "IpMask:error");
        EXPECT_FALSE(adapters.DHCPEnabled(missing));
        EXPECT_EQ(adapters.DHCPServer(missing), "[DHCPServer::error]");
        EXPECT_EQ(adapters.DHCPLeaseObtained(missing), "[DHCPLeaseObtained::error]");
        EXPECT_EQ(adapters.DHCPLeaseExpires(missing), "[adapter_info::error]");
        EXPECT_EQ(adapters.AdapterIndex(missing), 0u);
    }
}

TEST_F(NetworkViewsTest, HardwareAddressTextFollowsTheLengthButNeverLeavesTheField) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        int length;
        const char* text;
    };
    const Case cases[] = {
        {{}, 0, "xx:xx:xx:xx:xx:xx:"},
        {{0x0a}, 1, "0a"},
        {{0x00, 0x0C, 0x29, 0x3E, 0x5A, 0x01}, 6, "00:0c:29:3e:5a:01"},
        {{1, 2, 3, 4, 5, 6, 7, 0xff}, 8, "01:02:03:04:05:06:07:ff"},
        // A length beyond the 8 bytes the record has reads those 8 only.
        {{1, 2, 3, 4, 5, 6, 7, 0xff}, 200, "01:02:03:04:05:06:07:ff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FakeAdapter adapter = MakeAdapter("a", 1, {{"10.0.0.5", "255.0.0.0"}});
        adapter.address = c.bytes;
        adapter.addressLength = c.length;
        fake.adapters = {adapter};
        AdapterList adapters(network);
        adapters.Load();
        EXPECT_EQ(adapters.HWAddressString(0), c.text);
    }
}

TEST_F(NetworkViewsTest, LeaseDatesAre24CharactersOfLocalTime) {
    // The system's zone, as the platform's clock converts to it.
    FakeClock clock;
    platform::ScopedFake<platform::Clock> zone(clock);
    {
        EXPECT_EQ(LeaseDateText(1092000000), "Sun Aug 08 21:20:00 2004");
        EXPECT_EQ(LeaseDateText(0), "Thu Jan 01 00:00:00 1970");
        EXPECT_EQ(LeaseDateText(1709251199), "Thu Feb 29 23:59:59 2024");
        EXPECT_EQ(LeaseDateText(1092000000).size(), 24u);
    }
    {
        clock.zoneOffset = 2 * 3600;
        EXPECT_EQ(LeaseDateText(1092000000), "Sun Aug 08 23:20:00 2004");
    }
    EXPECT_EQ(LeaseDateText(-1), "[invalid data]");
    EXPECT_EQ(LeaseDateText(-1092000000), "[invalid data]");
}

TEST_F(NetworkViewsTest, PerAdapterInfoGivesTheLastLoadedAdaptersServers) {
    fake.perAdapter = {{3, {"10.0.0.1", "10.0.0.2"}, 0}, {4, {}, 0}};
    PerAdapterInfo info(network);
    info.Load(3);
    EXPECT_EQ(info.DNSServerCount(), 2);
    EXPECT_EQ(info.DNSServerString(1), "10.0.0.2");
    EXPECT_EQ(info.DNSServerString(2), "[unknown]");
    info.Load(4);
    EXPECT_EQ(info.DNSServerCount(), 1);
    EXPECT_EQ(info.DNSServerString(0), "");
    info.Load(5);  // no such interface
    EXPECT_EQ(info.DNSServerCount(), 0);
    EXPECT_EQ(info.DNSServerString(0), "[unknown]");
}

TEST_F(NetworkViewsTest, InterfaceRowsGiveTypeMacMtuSpeedAndDescription) {
    FakeInterface loopback;
    loopback.type = 24;
    loopback.mtu = 65536;
    loopback.speed = 0;
    loopback.physical = {1, 2, 3, 4, 5, 6};
    loopback.description = "lo";
    FakeInterface ethernet;
    ethernet.physical = {0x00, 0x0C, 0x29, 0x3E, 0x5A, 0x01, 0x77, 0x88};
    ethernet.description = " eth0 ";
    FakeInterface wireless;
    wireless.type = 71;
    wireless.speed = 4000000000u;
    wireless.description = "wlan0";
    fake.interfaces = {loopback, ethernet, wireless};

    InterfaceTable table(network);
    table.Load();
    ASSERT_EQ(table.InterfaceCount(), 3u);
    EXPECT_EQ(table.TypeString(0), "LOOPBACK");
    EXPECT_EQ(table.MACAddressString(0), "ENET Mac Address 0.0.0.0");
    EXPECT_EQ(table.MTU(0), 65536u);
    EXPECT_EQ(table.DescriptionString(0), "lo");
    EXPECT_EQ(table.TypeString(1), "ETHERNET");
    EXPECT_EQ(table.MACAddressString(1), "00:0c:29:3e:5a:01");
    EXPECT_EQ(table.DescriptionString(1), " eth0 ");
    EXPECT_EQ(table.Speed(1), 100000000u);
    EXPECT_EQ(table.TypeString(2), "[unknown interface type]");
    EXPECT_EQ(table.Speed(2), 4000000000u);
    // Positions past the end read the last row.
    EXPECT_EQ(table.DescriptionString(3), "wlan0");
    EXPECT_EQ(table.DescriptionString(7), "wlan0");
    EXPECT_EQ(table.DescriptionString(0xFFFFFFFFu), "wlan0");

    fake.interfaces.clear();
    table.Load();
    EXPECT_EQ(table.InterfaceCount(), 0u);
    EXPECT_THROW(table.TypeString(0), std::out_of_range);
}

// A row's 32 bits stand at their limit for every link of 4.3 Gb/s and more;
// only there is the interface's own record asked, by the row's index.
TEST_F(NetworkViewsTest, ASpeedAtTheRowsLimitIsTakenFromTheInterfacesOwnRecord) {
    FakeInterface slow;
    slow.speed = 4294967294u;
    slow.linkSpeed = 25000000000u;  // never asked: the row holds the speed
    FakeInterface fast;
    fast.speed = 0xFFFFFFFFu;
    fast.linkSpeed = 10000000000u;
    fake.interfaces = {slow, fast};

    InterfaceTable table(network);
    table.Load();
    EXPECT_EQ(table.Speed(0), 4294967294u);
    EXPECT_EQ(fake.ifEntry2.calls, 0);
    EXPECT_EQ(table.Speed(1), 10000000000u);
    EXPECT_EQ(fake.ifEntry2Indexes, (std::vector<ULONG>{2}));

    // Without the second query (before Vista), or when it fails, the row's
    // figure stands.
    fake.ifEntry2.failWith = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(table.Speed(1), 0xFFFFFFFFu);
    FakeIpHelper older;
    older.interfaces = fake.interfaces;
    older.notExported = {"GetIfEntry2"};
    Network olderNetwork(older);
    InterfaceTable olderTable(olderNetwork);
    olderTable.Load();
    EXPECT_EQ(olderTable.Speed(1), 0xFFFFFFFFu);
    EXPECT_EQ(older.ifEntry2.calls, 0);
}

TEST_F(NetworkViewsTest, InterfaceDescriptionStopsAtItsLengthAndItsField) {
    FakeInterface row;
    row.description = "Intel(R) PRO/1000";
    row.descrLength = 5;
    FakeInterface unterminated;
    unterminated.description = "abc";
    unterminated.unterminated = true;
    unterminated.descrLength = 100000;
    fake.interfaces = {row, unterminated};

    InterfaceTable table(network);
    table.Load();
    EXPECT_EQ(table.DescriptionString(0), "Intel");
    EXPECT_EQ(table.DescriptionString(1), "abc" + std::string(253, 'X'));
}

TEST(InterfaceTypeNameTest, KnownCodesHaveNamesAndOthersTheUnknownText) {
    EXPECT_STREQ(InterfaceTypeName(6), "ETHERNET");
    EXPECT_STREQ(InterfaceTypeName(9), "TOKENRING");
    EXPECT_STREQ(InterfaceTypeName(15), "FDDI");
    EXPECT_STREQ(InterfaceTypeName(23), "PPP");
    EXPECT_STREQ(InterfaceTypeName(24), "LOOPBACK");
    EXPECT_STREQ(InterfaceTypeName(28), "SLIP");
    EXPECT_STREQ(InterfaceTypeName(0), "[unknown interface type]");
    EXPECT_STREQ(InterfaceTypeName(71), "[unknown interface type]");
}

}  // namespace
}  // namespace paneloom
