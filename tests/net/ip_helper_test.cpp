// The IP helper binding and the growth protocol of its four queries, driven
// through a fake library whose functions count their calls.
#include "net/ip_helper.h"

#include <gtest/gtest.h>

#include "log/error_log.h"
#include "support/fake_iphelper.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::FakeFunction;
using testing::FakeIpHelper;

class IpHelperTest : public ::testing::Test {
protected:
    IpHelperTest() {
        fake.dnsServers = {"10.0.0.1", "10.0.0.2"};
        testing::FakeAdapter adapter;
        adapter.description = "Fast Ethernet Adapter";
        adapter.index = 7;
        adapter.ips = {{"192.168.1.5", "255.255.255.0"}};
        fake.adapters = {adapter};
        fake.perAdapter = {{7, {"10.0.0.1"}, 0}, {9, {"10.0.0.9"}, 400}};
        fake.interfaces = {testing::FakeInterface{}};
    }

    testing::ScratchDir scratch;  // the current directory, where a log would go
    FakeIpHelper fake;
};

// Checks the two calls of a first query: no block and a length of 0, then
// the block the query returned, with the size the platform asked for.
void ExpectFirstQueryProtocol(const FakeFunction& f, const void* result) {
    ASSERT_EQ(f.calls, 2);
    EXPECT_TRUE(f.blockWasNull[0]);
    EXPECT_EQ(f.lengthsHandedIn[0], 0u);
    EXPECT_FALSE(f.blockWasNull[1]);
    EXPECT_GT(f.lengthsHandedIn[1], 0u);
    EXPECT_EQ(f.blocks[1], result);
}

TEST_F(IpHelperTest, FirstQueryAsksForTheSizeThenFillsANewBlock) {
    const FIXED_INFO* params = QueryNetworkParams();
    ASSERT_NE(params, nullptr);
    ExpectFirstQueryProtocol(fake.networkParams, params);
    EXPECT_STREQ(params->HostName, "pc1");

    const IP_ADAPTER_INFO* adapters = QueryAdaptersInfo();
    ASSERT_NE(adapters, nullptr);
    ExpectFirstQueryProtocol(fake.adaptersInfo, adapters);
    EXPECT_EQ(adapters->Index, 7u);

    const IP_PER_ADAPTER_INFO* perAdapter = QueryPerAdapterInfo(7);
    ASSERT_NE(perAdapter, nullptr);
    ExpectFirstQueryProtocol(fake.perAdapterInfo, perAdapter);
    EXPECT_EQ(fake.perAdapterIndexes, (std::vector<ULONG>{7, 7}));

    const MIB_IFTABLE* table = QueryIfTable();
    ASSERT_NE(table, nullptr);
    ExpectFirstQueryProtocol(fake.ifTable, table);
    EXPECT_EQ(table->dwNumEntries, 1u);
    // Rows sorted by interface index, on both calls.
    EXPECT_EQ(fake.ifTableOrder, (std::vector<BOOL>{1, 1}));

    EXPECT_EQ(fake.loads, 1);
    EXPECT_TRUE(CurrentIpHelperApi().bound);
}

TEST_F(IpHelperTest, RepeatedQueryWithUnchangedDataReusesItsBlockWithOneCall) {
    const FIXED_INFO* first = QueryNetworkParams();
    const MIB_IFTABLE* firstTable = QueryIfTable();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(firstTable, nullptr);

    EXPECT_EQ(QueryNetworkParams(), first);
    EXPECT_EQ(QueryIfTable(), firstTable);
    EXPECT_EQ(fake.networkParams.calls, 3);
    EXPECT_EQ(fake.ifTable.calls, 3);
    EXPECT_EQ(fake.networkParams.blocks[2], first);
    EXPECT_EQ(fake.networkParams.lengthsHandedIn[2], fake.networkParams.lengthsHandedIn[1]);
    EXPECT_EQ(fake.loads, 1);
}

TEST_F(IpHelperTest, PerAdapterBlockGrowsForALargerRecordAndServesSmallerOnes) {
    const IP_PER_ADAPTER_INFO* small = QueryPerAdapterInfo(7);
    ASSERT_NE(small, nullptr);
    const ULONG smallSize = fake.perAdapterInfo.lengthsHandedIn[1];

    const IP_PER_ADAPTER_INFO* large = QueryPerAdapterInfo(9);
    ASSERT_NE(large, nullptr);
    ASSERT_EQ(fake.perAdapterInfo.calls, 4);
    // The old block with its size first, then a new block of the larger size.
    EXPECT_EQ(fake.perAdapterInfo.blocks[2], small);
    EXPECT_EQ(fake.perAdapterInfo.lengthsHandedIn[2], smallSize);
    EXPECT_EQ(fake.perAdapterInfo.lengthsHandedIn[3], smallSize + 400);
    EXPECT_EQ(fake.perAdapterInfo.blocks[3], large);
    EXPECT_STREQ(large->DnsServerList.IpAddress.String, "10.0.0.9");

    // The first adapter again fits the grown block: one call.
    EXPECT_EQ(QueryPerAdapterInfo(7), large);
    EXPECT_EQ(fake.perAdapterInfo.calls, 5);
    EXPECT_STREQ(large->DnsServerList.IpAddress.String, "10.0.0.1");
}

TEST_F(IpHelperTest, MissingLibraryYieldsNothingSilentlyAndIsLoadedAgainAtTheNextQuery) {
    fake.present = false;
    EXPECT_EQ(BindIpHelper(), 0);
    EXPECT_EQ(QueryNetworkParams(), nullptr);
    EXPECT_EQ(QueryAdaptersInfo(), nullptr);
    EXPECT_EQ(QueryPerAdapterInfo(7), nullptr);
    EXPECT_EQ(QueryIfTable(), nullptr);
    EXPECT_EQ(fake.loads, 5);
    EXPECT_FALSE(CurrentIpHelperApi().bound);
    EXPECT_EQ(CurrentIpHelperApi().library, nullptr);
    EXPECT_EQ(fake.networkParams.calls + fake.adaptersInfo.calls + fake.perAdapterInfo.calls + fake.ifTable.calls, 0);
    EXPECT_FALSE(scratch.Exists(kErrorLogName));

    fake.present = true;
    EXPECT_NE(QueryNetworkParams(), nullptr);
    EXPECT_EQ(fake.loads, 6);
    EXPECT_NE(QueryIfTable(), nullptr);
    EXPECT_EQ(fake.loads, 6);  // bound now, for good
}

TEST_F(IpHelperTest, EachMissingExportFailsOnlyItsOwnQuery) {
    const char* const names[] = {"GetNetworkParams", "GetAdaptersInfo", "GetPerAdapterInfo", "GetIfTable"};
    for (const char* missing : names) {
        SCOPED_TRACE(missing);
        FakeIpHelper local;  // a fresh binding each time
        local.perAdapter = fake.perAdapter;
        local.adapters = fake.adapters;
        local.notExported = {missing};
        const std::string name = missing;
        EXPECT_EQ(QueryNetworkParams() == nullptr, name == "GetNetworkParams");
        EXPECT_EQ(QueryAdaptersInfo() == nullptr, name == "GetAdaptersInfo");
        EXPECT_EQ(QueryPerAdapterInfo(7) == nullptr, name == "GetPerAdapterInfo");
        EXPECT_EQ(QueryIfTable() == nullptr, name == "GetIfTable");
        EXPECT_TRUE(CurrentIpHelperApi().bound);
    }
    EXPECT_FALSE(scratch.Exists(kErrorLogName));
}

TEST_F(IpHelperTest, OtherErrorsYieldNothingAndLeaveTheBlockAsItWas) {
    const FIXED_INFO* block = QueryNetworkParams();
    ASSERT_NE(block, nullptr);
    fake.networkParams.failWith = 87;
    EXPECT_EQ(QueryNetworkParams(), nullptr);
    fake.networkParams.failWith = 0;
    EXPECT_EQ(QueryNetworkParams(), block);
    EXPECT_EQ(fake.networkParams.calls, 4);

    // No adapters at all: the platform's "no data" answer.
    fake.adapters.clear();
    EXPECT_EQ(QueryAdaptersInfo(), nullptr);
    EXPECT_EQ(fake.adaptersInfo.calls, 1);
    // An interface index that does not exist.
    EXPECT_EQ(QueryPerAdapterInfo(42), nullptr);
    EXPECT_EQ(fake.perAdapterInfo.calls, 1);
}

TEST_F(IpHelperTest, DataThatGrowsBetweenTheCallsFailsOnceWithoutAThirdCall) {
    fake.ifTable.growthPerCall = 100;
    EXPECT_EQ(QueryIfTable(), nullptr);
    ASSERT_EQ(fake.ifTable.calls, 2);
    const ULONG kept = fake.ifTable.lengthsHandedIn[1];

    // The grown block stays and is offered with its own size, never with the
    // larger size the platform asked for since, which it does not have.
    fake.ifTable.growthPerCall = 0;
    const MIB_IFTABLE* table = QueryIfTable();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(fake.ifTable.calls, 4);
    EXPECT_EQ(fake.ifTable.lengthsHandedIn[2], kept);
    EXPECT_EQ(fake.ifTable.lengthsHandedIn[3], kept + 200);
    EXPECT_EQ(table, fake.ifTable.blocks[3]);
}

}  // namespace
}  // namespace paneloom
