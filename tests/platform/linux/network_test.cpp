#include "platform/linux/network/ip_helper.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lnx = paneloom::platform::lnx;
namespace fs = std::filesystem;

namespace {

// A block as the caller allocates it, with the byte range that records and
// pointers must stay inside.
class Block {
public:
    explicit Block(ULONG size) : size_(size), data_(static_cast<unsigned char*>(std::malloc(size ? size : 1))) {
        std::memset(data_, 0xAA, size ? size : 1);  // stale bytes must not show through
    }
    ~Block() { std::free(data_); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    template <typename T>
    T* As() { return reinterpret_cast<T*>(data_); }

    template <typename T>
    bool Holds(const T* p) const {
        const auto* c = reinterpret_cast<const unsigned char*>(p);
        return c >= data_ && c + sizeof(T) <= data_ + size_;
    }

private:
    ULONG size_;
    unsigned char* data_;
};

std::vector<std::string> Walk(const Block& block, const IP_ADDR_STRING* head, bool masks = false) {
    std::vector<std::string> texts;
    for (const IP_ADDR_STRING* p = head; p != nullptr; p = p->Next) {
        if (!block.Holds(p) || texts.size() > 100) {
            ADD_FAILURE() << "chain leaves the block";
            break;
        }
        texts.push_back(masks ? std::string(p->IpAddress.String) + "/" + p->IpMask.String : p->IpAddress.String);
    }
    return texts;
}

class IpHelperLinuxTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "paneloom-iphelper-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        lnx::NetSource source;
        source.root = root_;
        source.hostName = [this] { return hostName_; };
        source.ipv4Addresses = [this] { return addresses_; };
        helper_ = std::make_unique<lnx::LinuxIpHelper>(source);
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void Write(const std::string& path, const std::string& text) {
        const fs::path full = fs::path(root_ + path);
        fs::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << text;
    }

    void SetTime(const std::string& path, time_t when) {
        const struct timeval times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(::utimes((root_ + path).c_str(), times), 0);
    }

    void AddLink(const std::string& name, int index, int type, const std::string& address) {
        const std::string dir = "/sys/class/net/" + name + "/";
        Write(dir + "ifindex", std::to_string(index) + "\n");
        Write(dir + "type", std::to_string(type) + "\n");
        Write(dir + "address", address + "\n");
        Write(dir + "mtu", "1500\n");
        Write(dir + "flags", "0x1003\n");
        Write(dir + "operstate", "up\n");
    }

    void AddAddress(const std::string& ifName, const std::string& address, const std::string& mask) {
        addresses_.push_back({ifName, address, mask});
    }

    // The usual two calls: ask for the size, then fill a block of that size.
    template <typename Call>
    std::unique_ptr<Block> Fetch(Call call, DWORD tooSmall) {
        ULONG size = 0;
        EXPECT_EQ(call(nullptr, &size), tooSmall);
        auto block = std::make_unique<Block>(size);
        const ULONG given = size;
        EXPECT_EQ(call(block.get(), &size), NO_ERROR);
        EXPECT_EQ(size, given);
        return block;
    }

    std::unique_ptr<Block> NetworkParams() {
        return Fetch(
            [this](Block* b, ULONG* n) { return helper_->GetNetworkParams(b ? b->As<FIXED_INFO>() : nullptr, n); },
            ERROR_BUFFER_OVERFLOW);
    }
    std::unique_ptr<Block> Adapters() {
        return Fetch(
            [this](Block* b, ULONG* n) {
                return helper_->GetAdaptersInfo(b ? b->As<IP_ADAPTER_INFO>() : nullptr, n);
            },
            ERROR_BUFFER_OVERFLOW);
    }
    std::unique_ptr<Block> PerAdapter(ULONG index) {
        return Fetch(
            [this, index](Block* b, ULONG* n) {
                return helper_->GetPerAdapterInfo(index, b ? b->As<IP_PER_ADAPTER_INFO>() : nullptr, n);
            },
            ERROR_BUFFER_OVERFLOW);
    }
    std::unique_ptr<Block> IfTable() {
        return Fetch(
            [this](Block* b, ULONG* n) { return helper_->GetIfTable(b ? b->As<MIB_IFTABLE>() : nullptr, n, 1); },
            ERROR_INSUFFICIENT_BUFFER);
    }

    std::vector<const IP_ADAPTER_INFO*> AdapterChain(Block& block) {
        std::vector<const IP_ADAPTER_INFO*> list;
        for (const IP_ADAPTER_INFO* p = block.As<IP_ADAPTER_INFO>(); p != nullptr; p = p->Next) {
            if (!block.Holds(p) || list.size() > 100) {
                ADD_FAILURE() << "adapter chain leaves the block";
                break;
            }
            list.push_back(p);
        }
        return list;
    }

    std::vector<std::string> GlobalDns() {
        auto block = NetworkParams();
        return Walk(*block, &block->As<FIXED_INFO>()->DnsServerList);
    }

    std::string root_;
    std::unique_ptr<lnx::LinuxIpHelper> helper_;
    std::string hostName_ = "workstation";
    std::vector<lnx::InterfaceAddress> addresses_;
};

// ---------------------------------------------------------------------------
// Buffer protocol

TEST_F(IpHelperLinuxTest, EachFunctionAnswersTooSmallBlocksWithTheSizeItNeeds) {
    Write("/etc/resolv.conf", "nameserver 192.0.2.1\nnameserver 192.0.2.2\nnameserver 192.0.2.3\n");
    AddLink("eth0", 2, 1, "52:54:00:12:34:56");
    AddAddress("eth0", "192.0.2.10", "255.255.255.0");
    AddAddress("eth0", "192.0.2.11", "255.255.255.0");

    struct Case {
        const char* name;
        std::function<DWORD(void*, ULONG*)> call;
        DWORD tooSmall;
    };
    const std::vector<Case> cases = {
        {"GetNetworkParams",
         [this](void* b, ULONG* n) { return helper_->GetNetworkParams(static_cast<FIXED_INFO*>(b), n); },
         ERROR_BUFFER_OVERFLOW},
        {"GetAdaptersInfo",
         [this](void* b, ULONG* n) { return helper_->GetAdaptersInfo(static_cast<IP_ADAPTER_INFO*>(b), n); },
         ERROR_BUFFER_OVERFLOW},
        {"GetPerAdapterInfo",
         [this](void* b, ULONG* n) { return helper_->GetPerAdapterInfo(2, static_cast<IP_PER_ADAPTER_INFO*>(b), n); },
         ERROR_BUFFER_OVERFLOW},
        {"GetIfTable", [this](void* b, ULONG* n) { return helper_->GetIfTable(static_cast<MIB_IFTABLE*>(b), n, 1); },
         ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ULONG needed = 0;
        ASSERT_EQ(c.call(nullptr, &needed), c.tooSmall);
        ASSERT_GT(needed, 0u);

        ULONG size = 12345;  // a null block is too small whatever the length says
        EXPECT_EQ(c.call(nullptr, &size), c.tooSmall);
        EXPECT_EQ(size, needed);

        Block smaller(needed - 1);
        size = needed - 1;
        EXPECT_EQ(c.call(smaller.As<void>(), &size), c.tooSmall);
        EXPECT_EQ(size, needed);

        Block exact(needed);
        size = needed;
        EXPECT_EQ(c.call(exact.As<void>(), &size), NO_ERROR);
        EXPECT_EQ(size, needed);

        Block larger(needed + 64);
        size = needed + 64;
        EXPECT_EQ(c.call(larger.As<void>(), &size), NO_ERROR);
        EXPECT_EQ(size, needed + 64);  // left as the caller gave it

        EXPECT_EQ(c.call(exact.As<void>(), nullptr), ERROR_INVALID_PARAMETER);
    }
}

TEST_F(IpHelperLinuxTest, FillingCallDeliversWhatItsSizingCallBuiltAndOnlyThatCall) {
    AddLink("eth0", 2, 1, "52:54:00:00:00:01");
    AddAddress("eth0", "192.0.2.10", "255.255.255.0");
    const auto adapters = [this](Block* b, ULONG* n) {
        return helper_->GetAdaptersInfo(b != nullptr ? b->As<IP_ADAPTER_INFO>() : nullptr, n);
    };

    // A second adapter arrives between the two calls: the size told is the
    // size filled, with the records it was told for.
    ULONG size = 0;
    ASSERT_EQ(adapters(nullptr, &size), ERROR_BUFFER_OVERFLOW);
    AddLink("eth1", 3, 1, "52:54:00:00:00:02");
    Block block(size);
    ASSERT_EQ(adapters(&block, &size), NO_ERROR);
    EXPECT_EQ(AdapterChain(block).size(), 1u);

    // Any other call in between reads afresh: now the block is too small.
    ULONG fresh = 0;
    ASSERT_EQ(adapters(nullptr, &fresh), ERROR_BUFFER_OVERFLOW);
    ASSERT_EQ(fresh, 2 * size);
    ULONG paramsSize = 0;
    helper_->GetNetworkParams(nullptr, &paramsSize);
    size = fresh / 2;
    EXPECT_EQ(adapters(&block, &size), ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(size, fresh);

    // The same query for another interface is another call too.
    ASSERT_EQ(helper_->GetPerAdapterInfo(2, nullptr, &size), ERROR_BUFFER_OVERFLOW);
    ::unlink((root_ + "/sys/class/net/eth0/ifindex").c_str());
    EXPECT_EQ(helper_->GetPerAdapterInfo(3, nullptr, &size), ERROR_BUFFER_OVERFLOW);
    Block per(size);
    EXPECT_EQ(helper_->GetPerAdapterInfo(2, per.As<IP_PER_ADAPTER_INFO>(), &size), ERROR_NO_DATA);
}

TEST_F(IpHelperLinuxTest, ChainsStayInsideTheCallersBlock) {
    Write("/etc/resolv.conf", "nameserver 192.0.2.1\nnameserver 192.0.2.2\nnameserver 192.0.2.3\n");
    AddLink("eth0", 2, 1, "52:54:00:00:00:01");
    AddLink("eth1", 3, 1, "52:54:00:00:00:02");
    AddAddress("eth0", "192.0.2.10", "255.255.255.0");
    AddAddress("eth0", "198.51.100.10", "255.255.255.128");
    AddAddress("eth1", "203.0.113.5", "255.255.255.0");
    AddAddress("eth1", "203.0.113.6", "255.255.255.0");
    AddAddress("eth1", "203.0.113.7", "255.255.255.0");

    auto params = NetworkParams();
    const FIXED_INFO* info = params->As<FIXED_INFO>();
    EXPECT_EQ(Walk(*params, &info->DnsServerList), (std::vector<std::string>{"192.0.2.1", "192.0.2.2", "192.0.2.3"}));
    EXPECT_EQ(info->CurrentDnsServer, &info->DnsServerList);

    auto adapters = Adapters();
    const auto list = AdapterChain(*adapters);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], adapters->As<IP_ADAPTER_INFO>());
    EXPECT_EQ(list[1], adapters->As<IP_ADAPTER_INFO>() + 1);  // records follow one another, as on Windows
    EXPECT_EQ(Walk(*adapters, &list[0]->IpAddressList, true),
              (std::vector<std::string>{"192.0.2.10/255.255.255.0", "198.51.100.10/255.255.255.128"}));
    EXPECT_EQ(Walk(*adapters, &list[1]->IpAddressList),
              (std::vector<std::string>{"203.0.113.5", "203.0.113.6", "203.0.113.7"}));
    EXPECT_EQ(list[0]->GatewayList.Next, nullptr);
    EXPECT_EQ(list[0]->DhcpServer.Next, nullptr);
    EXPECT_EQ(list[0]->CurrentIpAddress, nullptr);

    auto per = PerAdapter(3);
    const IP_PER_ADAPTER_INFO* perInfo = per->As<IP_PER_ADAPTER_INFO>();
    EXPECT_EQ(Walk(*per, &perInfo->DnsServerList).size(), 3u);
    EXPECT_EQ(perInfo->CurrentDnsServer, &perInfo->DnsServerList);
}

TEST_F(IpHelperLinuxTest, MissingDataGivesTheWindowsAnswers) {
    // No resolver configuration: one empty DNS entry, no current server.
    auto params = NetworkParams();
    EXPECT_EQ(Walk(*params, &params->As<FIXED_INFO>()->DnsServerList), (std::vector<std::string>{""}));
    EXPECT_EQ(params->As<FIXED_INFO>()->CurrentDnsServer, nullptr);

    // No /sys/class/net at all.
    ULONG size = 0;
    EXPECT_EQ(helper_->GetAdaptersInfo(nullptr, &size), ERROR_NO_DATA);
    EXPECT_EQ(helper_->GetPerAdapterInfo(1, nullptr, &size), ERROR_NO_DATA);
    auto table = IfTable();
    EXPECT_EQ(table->As<MIB_IFTABLE>()->dwNumEntries, 0u);

    // Only loopback: still no adapters, but a per-adapter answer for its index.
    AddLink("lo", 1, 772, "00:00:00:00:00:00");
    EXPECT_EQ(helper_->GetAdaptersInfo(nullptr, &size), ERROR_NO_DATA);
    EXPECT_EQ(helper_->GetPerAdapterInfo(1, nullptr, &size), ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(helper_->GetPerAdapterInfo(7, nullptr, &size), ERROR_NO_DATA);
}

// ---------------------------------------------------------------------------
// Host, domain and DNS servers

TEST_F(IpHelperLinuxTest, ResolverConfigurationGivesServersAndDomain) {
    Write("/etc/resolv.conf",
          "# written by hand\n"
          "; old-style comment\n"
          "#nameserver 10.9.9.9\n"
          "nameserver 192.0.2.53   # office\n"
          "nameserver 2001:db8::53\n"
          "nameserver not-an-address\n"
          "  nameserver\t198.51.100.53\n"
          "search lab.example corp.example\n"
          "options ndots:2\n");
    auto params = NetworkParams();
    const FIXED_INFO* info = params->As<FIXED_INFO>();
    EXPECT_STREQ(info->HostName, "workstation");
    EXPECT_STREQ(info->DomainName, "lab.example");
    EXPECT_EQ(Walk(*params, &info->DnsServerList), (std::vector<std::string>{"192.0.2.53", "198.51.100.53"}));
}

TEST_F(IpHelperLinuxTest, LastDomainOrSearchLineWins) {
    Write("/etc/resolv.conf", "search first.example\ndomain second.example.\n");
    EXPECT_STREQ(NetworkParams()->As<FIXED_INFO>()->DomainName, "second.example");

    Write("/etc/resolv.conf", "domain second.example\nsearch . third.example\n");
    EXPECT_STREQ(NetworkParams()->As<FIXED_INFO>()->DomainName, "third.example");
}

TEST_F(IpHelperLinuxTest, DomainFallsBackToTheFullyQualifiedName) {
    hostName_ = "box.corp.example";
    Write("/etc/resolv.conf", "search .\nnameserver 192.0.2.1\n");
    Write("/etc/hosts", "127.0.1.1 box.other.example box\n");
    auto params = NetworkParams();
    EXPECT_STREQ(params->As<FIXED_INFO>()->HostName, "box");
    EXPECT_STREQ(params->As<FIXED_INFO>()->DomainName, "corp.example");

    hostName_ = "box";
    params = NetworkParams();
    EXPECT_STREQ(params->As<FIXED_INFO>()->HostName, "box");
    EXPECT_STREQ(params->As<FIXED_INFO>()->DomainName, "other.example");

    Write("/etc/hosts", "127.0.0.1 localhost\n127.0.1.1 box # box.commented.example\n10.0.0.1 boxer.example\n");
    EXPECT_STREQ(NetworkParams()->As<FIXED_INFO>()->DomainName, "");

    Write("/etc/resolv.conf", "search site.example\n");
    EXPECT_STREQ(NetworkParams()->As<FIXED_INFO>()->DomainName, "site.example");
}

TEST_F(IpHelperLinuxTest, OnlyTheResolvedStubIsFollowedUpstream) {
    Write("/etc/resolv.conf", "nameserver 127.0.0.53\noptions edns0 trust-ad\nsearch .\n");
    // Upstream file missing: the stub is what there is.
    EXPECT_EQ(GlobalDns(), (std::vector<std::string>{"127.0.0.53"}));

    Write("/run/systemd/resolve/resolv.conf", "nameserver 2001:db8::1\n");
    EXPECT_EQ(GlobalDns(), (std::vector<std::string>{"127.0.0.53"}));

    Write("/run/systemd/resolve/resolv.conf",
          "# upstream\nnameserver 192.0.2.1\nnameserver 2001:db8::1\nnameserver 192.0.2.2\nsearch home.example\n");
    EXPECT_EQ(GlobalDns(), (std::vector<std::string>{"192.0.2.1", "192.0.2.2"}));
    EXPECT_STREQ(NetworkParams()->As<FIXED_INFO>()->DomainName, "home.example");

    // The stub next to another server is taken as written.
    Write("/etc/resolv.conf", "nameserver 127.0.0.53\nnameserver 192.0.2.99\n");
    EXPECT_EQ(GlobalDns(), (std::vector<std::string>{"127.0.0.53", "192.0.2.99"}));
}

TEST_F(IpHelperLinuxTest, PerAdapterServersComeFromResolvedLinkStateElseTheGlobalList) {
    Write("/etc/resolv.conf", "nameserver 192.0.2.1\n");
    AddLink("eth0", 2, 1, "52:54:00:00:00:01");
    AddLink("eth1", 3, 1, "52:54:00:00:00:02");
    AddLink("eth2", 4, 1, "52:54:00:00:00:03");
    Write("/run/systemd/resolve/netif/2",
          "# This is private data. Do not parse.\nLLMNR=yes\n"
          "DNS=192.0.2.53 2001:db8::1 198.51.100.7:853#dns.example 203.0.113.9%2 bogus\nDOMAINS=lan\n");
    Write("/run/systemd/resolve/netif/4", "LLMNR=yes\nDNS=fe80::1%4\n");

    auto per = PerAdapter(2);
    EXPECT_EQ(Walk(*per, &per->As<IP_PER_ADAPTER_INFO>()->DnsServerList),
              (std::vector<std::string>{"192.0.2.53", "198.51.100.7", "203.0.113.9"}));
    per = PerAdapter(3);
    EXPECT_EQ(Walk(*per, &per->As<IP_PER_ADAPTER_INFO>()->DnsServerList), (std::vector<std::string>{"192.0.2.1"}));
    per = PerAdapter(4);
    EXPECT_EQ(Walk(*per, &per->As<IP_PER_ADAPTER_INFO>()->DnsServerList), (std::vector<std::string>{"192.0.2.1"}));
}

// ---------------------------------------------------------------------------
// Adapters

TEST_F(IpHelperLinuxTest, AdaptersAreInterfacesWithHardwareAddressesInIndexOrder) {
    AddLink("lo", 1, 772, "00:00:00:00:00:00");
    AddLink("eth1", 5, 1, "52:54:00:00:00:05");
    AddLink("wlan0", 4, 1, "aa:bb:cc:dd:ee:ff");
    fs::create_directories(root_ + "/sys/class/net/wlan0/phy80211");
    AddLink("eth0", 3, 1, "52:54:00:00:00:03");
    AddLink("tun0", 6, 65534, "");
    AddLink("sit0", 7, 776, "00:00:00:00");
    AddLink("ppp0", 8, 512, "");
    AddLink("ib0", 9, 32, "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0a:bc:de");
    Write("/sys/class/net/bonding_masters", "bond0\n");

    auto block = Adapters();
    const auto list = AdapterChain(*block);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_STREQ(list[0]->Description, "eth0");
    EXPECT_STREQ(list[0]->AdapterName, "eth0");
    EXPECT_EQ(list[0]->Index, 3u);
    EXPECT_EQ(list[0]->Type, MIB_IF_TYPE_ETHERNET);
    EXPECT_STREQ(list[1]->Description, "wlan0");
    EXPECT_EQ(list[1]->Type, IF_TYPE_IEEE80211);
    EXPECT_EQ(list[1]->AddressLength, 6u);
    const BYTE expected[6] = {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    EXPECT_EQ(std::memcmp(list[1]->Address, expected, 6), 0);
    EXPECT_STREQ(list[2]->Description, "eth1");
    EXPECT_EQ(list[2]->Index, 5u);
    // Too long for the record: listed, with no address bytes.
    EXPECT_STREQ(list[3]->Description, "ib0");
    EXPECT_EQ(list[3]->Type, MIB_IF_TYPE_OTHER);
    EXPECT_EQ(list[3]->AddressLength, 0u);
}

TEST_F(IpHelperLinuxTest, AdapterAddressesAliasesAndTheEmptyAddress) {
    AddLink("eth0", 2, 1, "52:54:00:00:00:01");
    AddLink("eth1", 3, 1, "52:54:00:00:00:02");
    AddAddress("lo", "127.0.0.1", "255.0.0.0");
    AddAddress("eth0", "192.0.2.10", "255.255.255.0");
    AddAddress("eth0:1", "192.0.2.11", "255.255.255.255");
    AddAddress("eth0", "not.an.address", "255.0.0.0");
    AddAddress("eth0", "192.0.2.12", "garbage");

    auto block = Adapters();
    const auto list = AdapterChain(*block);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Walk(*block, &list[0]->IpAddressList, true),
              (std::vector<std::string>{"192.0.2.10/255.255.255.0", "192.0.2.11/255.255.255.255",
                                        "192.0.2.12/0.0.0.0"}));
    EXPECT_EQ(Walk(*block, &list[1]->IpAddressList, true), (std::vector<std::string>{"0.0.0.0/0.0.0.0"}));
    EXPECT_EQ(list[1]->DhcpEnabled, 0u);
}

TEST_F(IpHelperLinuxTest, GatewayIsTheDefaultRouteWithTheLowestMetric) {
    AddLink("eth0", 2, 1, "52:54:00:00:00:01");
    AddLink("eth1", 3, 1, "52:54:00:00:00:02");
    // The kernel prints the raw network-order word as a host number.
    auto hex = [](const char* dotted) {
        in_addr a {};
        inet_pton(AF_INET, dotted, &a);
        char text[16];
        std::snprintf(text, sizeof text, "%08X", a.s_addr);
        return std::string(text);
    };
    Write("/proc/net/route",
          "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
          "eth0\t00000000\t" + hex("192.0.2.254") + "\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
          "eth0\t00000000\t" + hex("192.0.2.1") + "\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
          "eth0\t" + hex("192.0.2.0") + "\t00000000\t0001\t0\t0\t100\t" + hex("255.255.255.0") + "\t0\t0\t0\n"
          "eth1\t00000000\t" + hex("198.51.100.1") + "\t0001\t0\t0\t100\t00000000\t0\t0\t0\n");

    auto block = Adapters();
    const auto list = AdapterChain(*block);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list[0]->GatewayList.IpAddress.String, "192.0.2.1");
    EXPECT_STREQ(list[1]->GatewayList.IpAddress.String, "0.0.0.0");  // no gateway flag
}

TEST_F(IpHelperLinuxTest, DhcpLeasesFromEachClient) {
    AddLink("eth0", 2, 1, "52:54:00:00:00:01");
    AddLink("eth1", 3, 1, "52:54:00:00:00:02");
    AddLink("eth2", 4, 1, "52:54:00:00:00:03");
    AddLink("wlan0", 5, 1, "52:54:00:00:00:04");
    AddLink("eth3", 6, 1, "52:54:00:00:00:05");
    AddAddress("eth0", "192.0.2.10", "255.255.255.0");
    AddAddress("eth1", "198.51.100.20", "255.255.255.0");
    AddAddress("eth2", "203.0.113.30", "255.255.255.0");
    AddAddress("wlan0", "192.0.2.40", "255.255.255.0");
    AddAddress("eth3", "10.1.1.1", "255.0.0.0");

    // systemd-networkd, by interface index.
    Write("/run/systemd/netif/leases/2",
          "# This is private data. Do not parse.\nADDRESS=192.0.2.10\nNETMASK=255.255.255.0\n"
          "SERVER_ADDRESS=192.0.2.1\nLIFETIME=3600\n");
    SetTime("/run/systemd/netif/leases/2", 1700000000);

    // dhclient: a stale lease for another interface, then eth1's current one.
    Write("/var/lib/dhcp/dhclient.leases",
          "lease {\n  interface \"eth2\";\n  fixed-address 203.0.113.99;\n}\n"
          "lease {\n  interface \"eth1\";\n  fixed-address 198.51.100.5;\n"
          "  option dhcp-server-identifier 198.51.100.2;\n  expire 4 2023/11/16 00:00:00;\n}\n"
          "lease {\n  interface \"eth1\";\n  fixed-address 198.51.100.20;\n  option subnet-mask 255.255.255.0;\n"
          "  option dhcp-lease-time 86400;\n  option dhcp-server-identifier 198.51.100.1;\n"
          "  renew 4 2023/11/16 12:00:00;\n  expire 5 2023/11/17 00:00:00;\n}\n");

    // NetworkManager's internal client.
    Write("/var/lib/NetworkManager/internal-6f9e2d2c-0000-4000-8000-000000000000-eth2.lease",
          "# This is private data. Do not parse.\nADDRESS=203.0.113.30\n");
    SetTime("/var/lib/NetworkManager/internal-6f9e2d2c-0000-4000-8000-000000000000-eth2.lease", 1700001000);

    // dhcpcd's saved DHCP message.
    std::string message(240, '\0');
    message[16] = static_cast<char>(192), message[17] = 0, message[18] = 2, message[19] = 40;
    message[236] = 99, message[237] = static_cast<char>(130), message[238] = 83, message[239] = 99;
    message += std::string("\x35\x01\x05", 3);                    // message type
    message += std::string("\x36\x04\xc0\x00\x02\x01", 6);        // server 192.0.2.1
    message += std::string("\x33\x04\x00\x00\x0e\x10", 6);        // 3600 s
    message += std::string("\xff", 1);
    Write("/var/lib/dhcpcd/wlan0.lease", message);
    SetTime("/var/lib/dhcpcd/wlan0.lease", 1700002000);

    // A lease for an address eth3 no longer has.
    Write("/run/systemd/netif/leases/6", "ADDRESS=10.9.9.9\nSERVER_ADDRESS=10.0.0.1\nLIFETIME=60\n");

    auto block = Adapters();
    const auto list = AdapterChain(*block);
    ASSERT_EQ(list.size(), 5u);

    EXPECT_EQ(list[0]->DhcpEnabled, 1u);
    EXPECT_STREQ(list[0]->DhcpServer.IpAddress.String, "192.0.2.1");
    EXPECT_EQ(list[0]->LeaseObtained, 1700000000);
    EXPECT_EQ(list[0]->LeaseExpires, 1700003600);

    EXPECT_EQ(list[1]->DhcpEnabled, 1u);
    EXPECT_STREQ(list[1]->DhcpServer.IpAddress.String, "198.51.100.1");
    EXPECT_EQ(list[1]->LeaseExpires, 1700179200);  // 2023-11-17 00:00:00 UTC
    EXPECT_EQ(list[1]->LeaseObtained, 1700179200 - 86400);

    EXPECT_EQ(list[2]->DhcpEnabled, 1u);
    EXPECT_STREQ(list[2]->DhcpServer.IpAddress.String, "");
    EXPECT_EQ(list[2]->LeaseObtained, 1700001000);

    EXPECT_EQ(list[3]->DhcpEnabled, 1u);
    EXPECT_STREQ(list[3]->DhcpServer.IpAddress.String, "192.0.2.1");
    EXPECT_EQ(list[3]->LeaseObtained, 1700002000);
    EXPECT_EQ(list[3]->LeaseExpires, 1700005600);

    EXPECT_EQ(list[4]->DhcpEnabled, 0u);
    EXPECT_EQ(list[4]->LeaseObtained, 0);
}

// ---------------------------------------------------------------------------
// Interface table

TEST_F(IpHelperLinuxTest, InterfaceTableListsEveryInterfaceByIndexWithItsType) {
    AddLink("wlan0", 4, 1, "aa:bb:cc:dd:ee:ff");
    fs::create_directories(root_ + "/sys/class/net/wlan0/wireless");
    AddLink("lo", 1, 772, "00:00:00:00:00:00");
    AddLink("ppp0", 3, 512, "");
    AddLink("eth0", 2, 1, "52:54:00:12:34:56");
    AddLink("tun0", 6, 65534, "");
    AddLink("fddi0", 5, 774, "00:11:22:33:44:55");
    Write("/sys/class/net/eth0/mtu", "9000\n");
    Write("/sys/class/net/eth0/statistics/rx_bytes", "4294967306\n");  // wraps at 32 bits

    auto block = IfTable();
    const MIB_IFTABLE* table = block->As<MIB_IFTABLE>();
    ASSERT_EQ(table->dwNumEntries, 6u);
    const std::vector<std::string> names = {"lo", "eth0", "ppp0", "wlan0", "fddi0", "tun0"};
    const std::vector<DWORD> types = {MIB_IF_TYPE_LOOPBACK, MIB_IF_TYPE_ETHERNET, MIB_IF_TYPE_PPP,
                                      IF_TYPE_IEEE80211,    MIB_IF_TYPE_FDDI,     MIB_IF_TYPE_OTHER};
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IFROW& row = table->table[i];
        EXPECT_EQ(row.dwIndex, i + 1);
        EXPECT_EQ(reinterpret_cast<const char*>(row.bDescr), names[i]);
        EXPECT_EQ(row.dwDescrLen, names[i].size() + 1);
        EXPECT_EQ(row.dwType, types[i]) << names[i];
        EXPECT_EQ(row.wszName[0], static_cast<WCHAR>(names[i][0]));
        EXPECT_EQ(row.wszName[names[i].size()], 0);
    }
    EXPECT_EQ(table->table[1].dwMtu, 9000u);
    EXPECT_EQ(table->table[0].dwMtu, 1500u);
    EXPECT_EQ(table->table[1].dwPhysAddrLen, 6u);
    const BYTE mac[6] = {0x52, 0x54, 0x00, 0x12, 0x34, 0x56};
    EXPECT_EQ(std::memcmp(table->table[1].bPhysAddr, mac, 6), 0);
    EXPECT_EQ(table->table[1].dwInOctets, 10u);
    EXPECT_EQ(table->table[2].dwPhysAddrLen, 0u);
}

// The kernel's Mb/s in bits per second: held at the 32-bit limit in the
// table's row, as Windows holds it, and whole in the interface's own record.
TEST_F(IpHelperLinuxTest, SpeedIsInBitsPerSecondHeldInTheRowAndWholeInTheInterfaceRecord) {
    struct Case {
        std::string text;
        DWORD row;
        ULONG64 entry;
    };
    const std::vector<Case> cases = {
        {"1000\n", 1000000000u, 1000000000u},
        {"100", 100000000u, 100000000u},
        {"4294", 4294000000u, 4294000000u},
        {"4295", 4294967295u, 4295000000u},
        {"10000\n", 4294967295u, 10000000000u},
        {"400000", 4294967295u, 400000000000u},
        {"99999999999999", 4294967295u, 0xFFFFFFFFFFFFFFFFu},
        {"-1\n", 0u, 0u},
        {"0", 0u, 0u},
        {"fast", 0u, 0u},
        {"99999999999999999999999", 0u, 0u},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string name = "eth" + std::to_string(i);
        AddLink(name, static_cast<int>(i + 1), 1, "52:54:00:00:00:01");
        Write("/sys/class/net/" + name + "/speed", cases[i].text);
    }
    AddLink("eth99", 100, 1, "52:54:00:00:00:01");  // no speed file at all

    auto block = IfTable();
    const MIB_IFTABLE* table = block->As<MIB_IFTABLE>();
    ASSERT_EQ(table->dwNumEntries, cases.size() + 1);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].text);
        EXPECT_EQ(table->table[i].dwSpeed, cases[i].row);
        MIB_IF_ROW2 entry{};
        entry.InterfaceIndex = table->table[i].dwIndex;
        ASSERT_EQ(helper_->GetIfEntry2(&entry), NO_ERROR);
        EXPECT_EQ(entry.TransmitLinkSpeed, cases[i].entry);
        EXPECT_EQ(entry.ReceiveLinkSpeed, cases[i].entry);
    }
    EXPECT_EQ(table->table[cases.size()].dwSpeed, 0u);
}

// The LUID, where given, wins over the index.
TEST_F(IpHelperLinuxTest, InterfaceRecordIsFoundByItsLuidOrElseItsIndex) {
    AddLink("lo", 1, 772, "00:00:00:00:00:00");
    AddLink("eth0", 2, 1, "52:54:00:12:34:56");
    MIB_IF_ROW2 entry{};
    entry.InterfaceIndex = 2;
    ASSERT_EQ(helper_->GetIfEntry2(&entry), NO_ERROR);
    EXPECT_EQ(entry.Type, MIB_IF_TYPE_ETHERNET);
    entry.InterfaceIndex = 1;
    ASSERT_EQ(helper_->GetIfEntry2(&entry), NO_ERROR);
    EXPECT_EQ(entry.InterfaceIndex, 2u);

    MIB_IF_ROW2 missing{};
    missing.InterfaceIndex = 3;
    EXPECT_EQ(helper_->GetIfEntry2(&missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(helper_->GetIfEntry2(nullptr), ERROR_INVALID_PARAMETER);
}

// ---------------------------------------------------------------------------
// Hostile input

TEST_F(IpHelperLinuxTest, HugeAndMalformedFilesAreSurvived) {
    hostName_ = std::string(300, 'h');
    Write("/etc/resolv.conf", "nameserver 192.0.2.1\nsearch " + std::string(500, 'd') + "\nnameserver " +
                                  std::string(3u << 20, 'x') + "\nnameserver 192.0.2.2\n");
    auto params = NetworkParams();
    const FIXED_INFO* info = params->As<FIXED_INFO>();
    EXPECT_EQ(std::strlen(info->HostName), sizeof info->HostName - 1);
    EXPECT_EQ(std::strlen(info->DomainName), sizeof info->DomainName - 1);
    // Only the first part of an oversized file is read.
    EXPECT_EQ(Walk(*params, &info->DnsServerList), (std::vector<std::string>{"192.0.2.1"}));

    AddLink("eth0", 2, 1, std::string(100000, 'f'));
    AddLink("eth1", 3, 1, "zz:zz:zz:zz:zz:zz");
    AddLink("eth2", 4, 1, "52:54:00:00:00:01");
    Write("/sys/class/net/eth2/ifindex", std::string("4\0garbage", 9));
    AddLink(std::string(255, 'n'), 5, 1, "52:54:00:00:00:02");
    Write("/sys/class/net/eth3/ifindex", "-4\n");
    Write("/sys/class/net/eth4/ifindex", "99999999999\n");
    Write("/sys/class/net/eth0/speed", std::string(1u << 20, '9'));
    Write("/var/lib/dhcp/dhclient.leases", "lease { interface \"eth0\"; }}}} lease { { { \"unterminated");
    Write("/run/systemd/netif/leases/5", std::string(2u << 20, '='));
    std::string shortMessage(250, '\0');
    shortMessage[236] = 99, shortMessage[237] = static_cast<char>(130), shortMessage[238] = 83, shortMessage[239] = 99;
    shortMessage[240] = 54, shortMessage[241] = static_cast<char>(200);  // option runs past the end
    Write("/var/lib/dhcpcd/eth0.lease", shortMessage);
    Write("/proc/net/route", "Iface\n" + std::string(5000, '\t') + "\neth0 zz 00000000\n");
    Write("/run/systemd/resolve/netif/5", "DNS=" + std::string(100000, ':') + "\n");

    auto adapters = Adapters();
    const auto list = AdapterChain(*adapters);
    ASSERT_EQ(list.size(), 1u);  // eth0, eth1: no address; eth2..eth4: no valid index
    EXPECT_EQ(std::strlen(list[0]->Description), sizeof list[0]->Description - 1);
    EXPECT_EQ(list[0]->DhcpEnabled, 1u);  // the networkd file exists, whatever it holds
    auto per = PerAdapter(5);
    EXPECT_EQ(Walk(*per, &per->As<IP_PER_ADAPTER_INFO>()->DnsServerList).size(), 1u);

    auto table = IfTable();
    ASSERT_EQ(table->As<MIB_IFTABLE>()->dwNumEntries, 3u);
    EXPECT_EQ(table->As<MIB_IFTABLE>()->table[0].dwSpeed, 0u);
    EXPECT_EQ(table->As<MIB_IFTABLE>()->table[2].dwDescrLen, 256u);
}

TEST_F(IpHelperLinuxTest, SpecialFilesNeverBlock) {
    fs::create_directories(root_ + "/etc");
    ASSERT_EQ(::mkfifo((root_ + "/etc/resolv.conf").c_str(), 0600), 0);
    fs::create_directories(root_ + "/etc/hosts");  // a directory where a file belongs
    auto params = NetworkParams();
    EXPECT_EQ(Walk(*params, &params->As<FIXED_INFO>()->DnsServerList), (std::vector<std::string>{""}));
    EXPECT_STREQ(params->As<FIXED_INFO>()->DomainName, "");
}

}  // namespace
