// The Linux network file readers on their own, with texts and times the
// running system may hold but a scratch tree cannot (network_test covers
// them through the IP helper functions).
#include "platform/linux/network/parsers.h"
#include "platform/linux/network/record_image.h"

#include <gtest/gtest.h>

#include <ctime>
#include <limits>
#include <string>

namespace lnx = paneloom::platform::lnx;

namespace {

constexpr std::time_t kLatest = std::numeric_limits<std::time_t>::max();

std::string DhcpcdMessage(const std::string& options) {
    std::string message(240, '\0');
    message[16] = '\xC0', message[17] = '\xA8', message[18] = '\x01', message[19] = '\x32';  // 192.168.1.50
    message[236] = 99, message[237] = '\x82', message[238] = 83, message[239] = 99;        // magic cookie
    return message + options;
}

// A file on tmpfs can carry a modification time near the 64-bit limit; the
// lease it describes then ends at the latest time there is, without the
// addition overflowing. (Found by fuzz_net_parsers with this lease file.)
TEST(LeaseReaders, LeaseTimesFromTheLatestModificationTimeDoNotOverflow) {
    const std::string networkd =
        "# This is private data. Do not parse.\nADDRESS=192.168.1.50\nNETMASK=255.255.255.0\n"
        "SERVER_ADDRESS=192.168.1.1\nLIFETIME=3600\n";
    lnx::Lease lease = lnx::ParseKeyValueLease(networkd, kLatest);
    ASSERT_TRUE(lease.found);
    EXPECT_EQ("192.168.1.50", lease.address);
    EXPECT_EQ(kLatest, lease.obtained);
    EXPECT_EQ(kLatest, lease.expires);

    lease = lnx::ParseKeyValueLease(networkd, kLatest - 3600);
    EXPECT_EQ(kLatest, lease.expires);
    lease = lnx::ParseKeyValueLease(networkd, 1700000000);
    EXPECT_EQ(1700003600, lease.expires);

    // 51: lease time 3600 s, 54: server 192.168.1.1.
    const std::string dhcpcd = DhcpcdMessage(std::string("\x33\x04\x00\x00\x0E\x10\x36\x04\xC0\xA8\x01\x01\xFF", 13));
    lease = lnx::ParseDhcpcdLease(dhcpcd, kLatest - 1);
    ASSERT_TRUE(lease.found);
    EXPECT_EQ("192.168.1.1", lease.server);
    EXPECT_EQ(kLatest, lease.expires);
    EXPECT_EQ(1700003600, lnx::ParseDhcpcdLease(dhcpcd, 1700000000).expires);

    // A dhclient lease without an expiry date ends a lease time after the
    // file was written.
    const std::string dhclient = "lease {\n  fixed-address 10.0.0.2;\n  option dhcp-lease-time 86400;\n}\n";
    lease = lnx::ParseDhclientLeases(dhclient, "eth0", true, kLatest);
    ASSERT_TRUE(lease.found);
    EXPECT_EQ(kLatest, lease.expires);
    EXPECT_EQ(1700086400, lnx::ParseDhclientLeases(dhclient, "eth0", true, 1700000000).expires);
}

}  // namespace

namespace {

TEST(RecordFields, ATextCutToItsFieldKeepsItsCharactersWhole) {
    char field[7];  // six bytes and the terminator
    lnx::CopyText(field, "abcde\xC3\xA9xyz");  // é would straddle the sixth byte
    EXPECT_STREQ("abcde", field);
    lnx::CopyText(field, "abcd\xE9\xE9\xE9\xE9");  // bytes that are no UTF-8 stand alone
    EXPECT_STREQ("abcd\xE9\xE9", field);
    lnx::CopyText(field, "short");
    EXPECT_STREQ("short", field);
}

}  // namespace
