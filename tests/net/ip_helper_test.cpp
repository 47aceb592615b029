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
    IpHelperQueries queries{fake};
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
    const FIXED_INFO* params = queries.QueryNetworkParams();
    ASSERT_NE(params, nullptr);
    ExpectFirstQueryProtocol(fake.networkParams, params);
    EXPECT_STREQ(params->HostName, "pc1");

    const IP_ADAPTER_INFO* adapters = queries.QueryAdaptersInfo();
    ASSERT_NE(adapters, nullptr);
    ExpectFirstQueryProtocol(fake.adaptersInfo, adapters);
    EXPECT_EQ(adapters->Index, 7u);

    const IP_PER_ADAPTER_INFO* perAdapter = queries.QueryPerAdapterInfo(7);
    ASSERT_NE(perAdapter, nullptr);
    ExpectFirstQueryProtocol(fake.perAdapterInfo, perAdapter);
    EXPECT_EQ(fake.perAdapterIndexes, (std::vector<ULONG>{7, 7}));

    const MIB_IFTABLE* table = queries.QueryIfTable();
    ASSERT_NE(table, nullptr);
    ExpectFirstQueryProtocol(fake.ifTable, table);
    EXPECT_EQ(table->dwNumEntries, 1u);
    // Rows sorted by interface index, on both calls.
    EXPECT_EQ(fake.ifTableOrder, (std::vector<BOOL>{1, 1}));

    EXPECT_EQ(fake.loads, 1);
    EXPECT_TRUE(queries.bound());
}

TEST_F(IpHelperTest, RepeatedQueryWithUnchangedDataReusesItsBlockWithOneCall) {
    const FIXED_INFO* first = queries.QueryNetworkParams();
    const MIB_IFTABLE* firstTable = queries.QueryIfTable();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(firstTable, nullptr);

    EXPECT_EQ(queries.QueryNetworkParams(), first);
    EXPECT_EQ(queries.QueryIfTable(), firstTable);
    EXPECT_EQ(fake.networkParams.calls, 3);
    EXPECT_EQ(fake.ifTable.calls, 3);
    EXPECT_EQ(fake.networkParams.blocks[2], first);
    EXPECT_EQ(fake.networkParams.lengthsHandedIn[2], fake.networkParams.lengthsHandedIn[1]);
    EXPECT_EQ(fake.loads, 1);
}

TEST_F(IpHelperTest, EachRunHasItsOwnBindingAndBlocks) {
    const FIXED_INFO* first = queries.QueryNetworkParams();
    ASSERT_NE(first, nullptr);

    // Another run over the same library loads it for itself and starts with
    // no block, while the first run's record stays where it was.
    IpHelperQueries next(fake);
    EXPECT_FALSE(next.bound());
    const FIXED_INFO* second = next.QueryNetworkParams();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(fake.loads, 2);
    ASSERT_EQ(fake.networkParams.calls, 4);
    EXPECT_TRUE(fake.networkParams.blockWasNull[2]);
    EXPECT_EQ(fake.networkParams.lengthsHandedIn[2], 0u);
    EXPECT_STREQ(first->HostName, "pc1");
}

TEST_F(IpHelperTest, PerAdapterBlockGrowsForALargerRecordAndServesSmallerOnes) {
    const IP_PER_ADAPTER_INFO* small = queries.QueryPerAdapterInfo(7);
    ASSERT_NE(small, nullptr);
    const ULONG smallSize = fake.perAdapterInfo.lengthsHandedIn[1];

    const IP_PER_ADAPTER_INFO* large = queries.QueryPerAdapterInfo(9);
    ASSERT_NE(large, nullptr);
    ASSERT_EQ(fake.perAdapterInfo.calls, 4);
    // The old block with its size first, then a new block of the larger size.
    EXPECT_EQ(fake.perAdapterInfo.blocks[2], small);
    EXPECT_EQ(fake.perAdapterInfo.lengthsHandedIn[2], smallSize);
    EXPECT_EQ(fake.perAdapterInfo.lengthsHandedIn[3], smallSize + 400);
    EXPECT_EQ(fake.perAdapterInfo.blocks[3], large);
    EXPECT_STREQ(large->DnsServerList.IpAddress.String, "10.0.0.9");

    // The first adapter again fits the grown block: one call.
    EXPECT_EQ(queries.QueryPerAdapterInfo(7), large);
    EXPECT_EQ(fake.perAdapterInfo.calls, 5);
    EXPECT_STREQ(large->DnsServerList.IpAddress.String, "10.0.0.1");
}

TEST_F(IpHelperTest, MissingLibraryYieldsNothingSilentlyAndIsLoadedAgainAtTheNextQuery) {
    fake.present = false;
    EXPECT_FALSE(queries.BindIpHelper());
    EXPECT_EQ(queries.QueryNetworkParams(), nullptr);
    EXPECT_EQ(queries.QueryAdaptersInfo(), nullptr);
    EXPECT_EQ(queries.QueryPerAdapterInfo(7), nullptr);
    EXPECT_EQ(queries.QueryIfTable(), nullptr);
    EXPECT_EQ(fake.loads, 5);
    EXPECT_FALSE(queries.bound());
    EXPECT_EQ(fake.networkParams.calls + fake.adaptersInfo.calls + fake.perAdapterInfo.calls + fake.ifTable.calls, 0);
    EXPECT_FALSE(scratch.Exists(kErrorLogName));

    fake.present = true;
    EXPECT_NE(queries.QueryNetworkParams(), nullptr);
    EXPECT_EQ(fake.loads, 6);
    EXPECT_NE(queries.QueryIfTable(), nullptr);
    EXPECT_EQ(fake.loads, 6);  // bound now, for good
}

TEST_F(IpHelperTest, EachMissingExportFailsOnlyItsOwnQuery) {
    const char* const names[] = {"GetNetworkParams", "GetAdaptersInfo", "GetPerAdapterInfo", "GetIfTable",
                                 "GetIfEntry2"};
    for (const char* missing : names) {
        SCOPED_TRACE(missing);
        FakeIpHelper local;
        local.perAdapter = fake.perAdapter;
        local.adapters = fake.adapters;
        local.interfaces = fake.interfaces;
        local.notExported = {missing};
        IpHelperQueries fresh(local);
        const std::string name = missing;
        EXPECT_EQ(fresh.QueryNetworkParams() == nullptr, name == "GetNetworkParams");
        EXPECT_EQ(fresh.QueryAdaptersInfo() == nullptr, name == "GetAdaptersInfo");
        EXPECT_EQ(fresh.QueryPerAdapterInfo(7) == nullptr, name == "GetPerAdapterInfo");
        EXPECT_EQ(fresh.QueryIfTable() == nullptr, name == "GetIfTable");
        EXPECT_EQ(fresh.QueryIfEntry2(1) == nullptr, name == "GetIfEntry2");
        EXPECT_TRUE(fresh.bound());
    }
    EXPECT_FALSE(scratch.Exists(kErrorLogName));
}

TEST_F(IpHelperTest, OtherErrorsYieldNothingAndLeaveTheBlockAsItWas) {
    const FIXED_INFO* block = queries.QueryNetworkParams();
    ASSERT_NE(block, nullptr);
    fake.networkParams.failWith = 87;
    EXPECT_EQ(queries.QueryNetworkParams(), nullptr);
    fake.networkParams.failWith = 0;
    EXPECT_EQ(queries.QueryNetworkParams(), block);
    EXPECT_EQ(fake.networkParams.calls, 4);

    // No adapters at all: the platform's "no data" answer.
    fake.adapters.clear();
    EXPECT_EQ(queries.QueryAdaptersInfo(), nullptr);
    EXPECT_EQ(fake.adaptersInfo.calls, 1);
    // An interface index that does not exist.
    EXPECT_EQ(queries.QueryPerAdapterInfo(42), nullptr);
    EXPECT_EQ(fake.perAdapterInfo.calls, 1);
}

TEST_F(IpHelperTest, DataThatGrowsBetweenTheCallsFailsOnceWithoutAThirdCall) {
    fake.ifTable.growthPerCall = 100;
    EXPECT_EQ(queries.QueryIfTable(), nullptr);
    ASSERT_EQ(fake.ifTable.calls, 2);
    const ULONG kept = fake.ifTable.lengthsHandedIn[1];

    // The grown block stays and is offered with its own size, never with the
    // larger size the platform asked for since, which it does not have.
    fake.ifTable.growthPerCall = 0;
    const MIB_IFTABLE* table = queries.QueryIfTable();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(fake.ifTable.calls, 4);
    EXPECT_EQ(fake.ifTable.lengthsHandedIn[2], kept);
    EXPECT_EQ(fake.ifTable.lengthsHandedIn[3], kept + 200);
    EXPECT_EQ(table, fake.ifTable.blocks[3]);
}

}  // namespace
}  // namespace paneloom
