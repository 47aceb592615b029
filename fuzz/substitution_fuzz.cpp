// SubstituteVariables over any output text, on a machine that the input
// describes too: the IP helper records (host, DNS servers, adapters with any
// address length, interface rows with any description length, queries that
// fail or keep asking for more), the system facts, the drive list and the
// executable's version record. Every seam that the variables reach is a
// fake, so nothing in the loop asks the real system, and the error log goes
// nowhere.
//
// Input: the output text first (up to a backslash that is not doubled),
// then the machine. Bytes that run out read as zero, and the machine is laid
// out so that zeros describe a full one (three adapters, three interfaces,
// two drives), so a seed of variable names alone already reaches every
// family.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "config/run_settings.h"
#include "platform/files.h"
#include "support/fake_iphelper.h"
#include "support/fakes.h"
#include "support/system_fakes.h"
#include "variables/substitution.h"

namespace {

using namespace paneloom;

class NoFiles : public platform::Files {
public:
    bool ReadWholeExclusive(const std::string&, std::string&) override { return false; }
    bool AppendExclusive(const char*, platform::ByteSpan) override { return true; }
    bool NamesIgnoreCase() override { return true; }
    std::unique_ptr<platform::ReadableFile> OpenForReading(const std::string&) override { return nullptr; }
    platform::ReplaceResult ReplaceWhole(const std::string&, const platform::FileFiller&) override {
        return platform::ReplaceResult::NotWritable;
    }
    bool Facts(const std::string&, platform::FileFacts&) override { return false; }
};

std::string Text(FuzzedDataProvider& in, std::size_t maxLength) { return in.ConsumeRandomLengthString(maxLength); }

std::vector<std::uint8_t> Bytes(FuzzedDataProvider& in, std::size_t maxLength) {
    return in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, maxLength));
}

std::int64_t Time(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: return in.ConsumeIntegralInRange<std::int64_t>(0, 4102444800);  // up to 2100
        case 1: return std::numeric_limits<std::int64_t>::max() - in.ConsumeIntegralInRange<std::int64_t>(0, 2);
        case 2: return std::numeric_limits<std::int64_t>::min() + in.ConsumeIntegralInRange<std::int64_t>(0, 2);
        default: return in.ConsumeIntegral<std::int64_t>();
    }
}

// A query answers with its records, or fails with an error code, or grows
// between its two calls so that the second one is still too small.
void Behaviour(FuzzedDataProvider& in, testing::FakeFunction& function) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 1: function.failWith = in.ConsumeIntegralInRange<DWORD>(1, 1000); break;
        case 2: function.growthPerCall = in.ConsumeIntegralInRange<ULONG>(1, 4096); break;
        case 3: function.padding = in.ConsumeIntegralInRange<ULONG>(1, 4096); break;
        default: break;
    }
}

void DescribeNetwork(FuzzedDataProvider& in, testing::FakeIpHelper& net) {
    net.present = !in.ConsumeBool();
    const unsigned missing = in.ConsumeIntegral<std::uint8_t>();
    const char* const functions[] = {"GetNetworkParams", "GetAdaptersInfo", "GetPerAdapterInfo", "GetIfTable"};
    for (unsigned f = 0; f < 4; ++f) {
        if ((missing >> f) & 1) net.notExported.insert(functions[f]);
    }
    Behaviour(in, net.networkParams);
    Behaviour(in, net.adaptersInfo);
    Behaviour(in, net.perAdapterInfo);
    Behaviour(in, net.ifTable);

    net.hostName = Text(in, 140);
    net.domainName = Text(in, 140);
    net.dnsServers.clear();
    for (int k = in.ConsumeIntegralInRange(0, 3); k > 0; --k) net.dnsServers.push_back(Text(in, 20));

    for (int a = 3 - in.ConsumeIntegralInRange(0, 3); a > 0; --a) {
        testing::FakeAdapter adapter;
        adapter.description = Text(in, 140);
        adapter.address = Bytes(in, 8);
        adapter.addressLength = in.ConsumeIntegralInRange(-1, 300);
        adapter.index = in.ConsumeIntegral<DWORD>();
        adapter.type = in.ConsumeIntegral<UINT>();
        adapter.dhcp = !in.ConsumeBool();
        adapter.dhcpServer = Text(in, 20);
        adapter.leaseObtained = Time(in);
        adapter.leaseExpires = Time(in);
        for (int k = 2 - in.ConsumeIntegralInRange(0, 2); k > 0; --k) {
            adapter.ips.push_back({Text(in, 20), Text(in, 20)});
        }
        net.adapters.push_back(adapter);

        if (!in.ConsumeBool()) {
            testing::FakePerAdapter perAdapter;
            perAdapter.index = in.ConsumeBool() ? in.ConsumeIntegral<DWORD>() : adapter.index;
            for (int k = in.ConsumeIntegralInRange(0, 3); k > 0; --k) perAdapter.dnsServers.push_back(Text(in, 20));
            perAdapter.padding = in.ConsumeIntegralInRange<ULONG>(0, 512);
            net.perAdapter.push_back(perAdapter);
        }
    }

    for (int r = 3 - in.ConsumeIntegralInRange(0, 3); r > 0; --r) {
        testing::FakeInterface row;
        row.type = in.ConsumeIntegral<DWORD>();
        row.mtu = in.ConsumeIntegral<DWORD>();
        row.speed = in.ConsumeIntegral<DWORD>();
        row.physical = Bytes(in, 8);
        row.description = Text(in, 300);
        row.descrLength = in.ConsumeBool() ? in.ConsumeIntegral<std::int32_t>() : -1;
        row.unterminated = in.ConsumeBool();
        net.interfaces.push_back(row);
    }
}

void DescribeSystem(FuzzedDataProvider& in, testing::FakeSystemFacts& facts) {
    facts.versionFailures = in.ConsumeIntegralInRange(0, 2);
    facts.version.platformId = 2 - in.ConsumeIntegralInRange<std::uint32_t>(0, 2);
    facts.version.majorVersion = in.ConsumeIntegral<std::uint32_t>();
    facts.version.minorVersion = in.ConsumeIntegral<std::uint32_t>();
    facts.version.buildNumber = in.ConsumeIntegral<std::uint32_t>();
    facts.version.servicePack = Text(in, 127);
    facts.version.servicePackMajor = in.ConsumeIntegral<std::uint16_t>();
    facts.version.servicePackMinor = in.ConsumeIntegral<std::uint16_t>();
    facts.version.suiteMask = in.ConsumeIntegral<std::uint16_t>();
    facts.version.productType = in.ConsumeIntegral<std::uint8_t>();
    facts.version.systemName = Text(in, 200);

    facts.processorCount = in.ConsumeIntegral<std::uint32_t>();
    facts.descriptionOpens = !in.ConsumeBool();
    if (!in.ConsumeBool()) facts.clockMHz = in.ConsumeIntegral<std::uint32_t>();
    if (!in.ConsumeBool()) facts.processorName = Text(in, 300);

    for (int d = 2 - in.ConsumeIntegralInRange(0, 2); d > 0; --d) {
        platform::VolumeRecord volume;
        volume.label = Text(in, 40);
        volume.fileSystem = Text(in, 40);
        volume.serialNumber = in.ConsumeIntegral<std::uint32_t>();
        platform::DiskSpace space;
        space.total = in.ConsumeIntegral<std::uint64_t>();
        space.totalFree = in.ConsumeIntegral<std::uint64_t>();
        space.freeToCaller = in.ConsumeIntegral<std::uint64_t>();
        const char letter = static_cast<char>('C' + d + in.ConsumeIntegral<std::uint8_t>());
        std::string root = Text(in, 300);
        if (root.empty()) root = std::string(1, letter) + ":\\";
        if (in.ConsumeBool()) {
            facts.drives.push_back(platform::LogicalDrive{letter, root});  // no volume behind it
        } else {
            facts.AddDrive(letter, root, volume, space);
        }
    }
    facts.volumeError = in.ConsumeIntegral<std::uint32_t>();
    facts.totalMemory = in.ConsumeIntegral<std::uint64_t>();
    if (in.ConsumeBool()) {
        facts.userName.reset();
    } else {
        facts.userName = Text(in, 300);
    }
}

void DescribeExecutable(FuzzedDataProvider& in, testing::FakeVersionRecords& records) {
    records.size = in.ConsumeIntegralInRange<std::uint32_t>(0, 4096);
    records.readable = !in.ConsumeBool();
    if (in.ConsumeBool()) {
        records.translation = Bytes(in, 8);
    }
    if (in.ConsumeBool()) records.translation.reset();
    records.SetUsEnglishStrings(Text(in, 300), Text(in, 300), Text(in, 300), Text(in, 300));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Lease dates are shown in local time; make that the same everywhere.
    ::setenv("TZ", "UTC0", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string text = in.ConsumeRandomLengthString(1 << 16);

    NoFiles files;
    testing::FakeClock clock;
    testing::FakeDoubleByteCodePage doubleByte;
    testing::FakeIpHelper net;
    testing::FakeSystemFacts facts;
    testing::FakeVersionRecords records;
    net.hostName.clear();
    net.domainName.clear();

    const bool useDoubleByte = in.ConsumeBool();
    DescribeNetwork(in, net);
    DescribeSystem(in, facts);
    DescribeExecutable(in, records);

    platform::ScopedFake<platform::Files> filesScope(files);
    platform::ScopedFake<platform::Clock> clockScope(clock);
    platform::ScopedFake<platform::SystemFacts> factsScope(facts);
    platform::ScopedFake<platform::VersionRecords> recordsScope(records);
    std::optional<platform::ScopedFake<platform::AnsiCodePage>> codePageScope;
    if (useDoubleByte) codePageScope.emplace(doubleByte);
    // Each input is one run, with a network of its own.
    const RunSettings settings;
    VariableCaches caches(net);
    SubstituteVariables(text, settings, caches);
    return 0;
}
