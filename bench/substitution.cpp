// ReplaceAll and SubstituteVariables are linear in the text. The system
// queries are fakes here, so what is measured is the substitution itself.
#include <benchmark/benchmark.h>

#include <string>

#include "support/fakes.h"
#include "support/system_fakes.h"
#include "variables/replace.h"
#include "variables/substitution.h"

namespace paneloom {
namespace {

constexpr std::size_t kMegabyte = 1 << 20;

// 100,000 names in 1 MB: "%OS%" every ten bytes or so.
std::string ManyMatches() {
    std::string text;
    text.reserve(kMegabyte + 16);
    while (text.size() < kMegabyte - 10) text += "ab%OS%cdef";
    return text;
}

void BM_CopyText(benchmark::State& state) {
    const std::string base = ManyMatches();
    for (auto _ : state) {
        std::string text = base;
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * base.size()));
}
BENCHMARK(BM_CopyText)->Unit(benchmark::kMicrosecond);

// Includes one copy of the text per iteration (the input is consumed);
// BM_CopyText is that copy alone.
void BM_ReplaceAll_100kMatchesIn1MB(benchmark::State& state) {
    const std::string base = ManyMatches();
    std::int32_t count = 0;
    for (auto _ : state) {
        std::string text = base;
        count = ReplaceAll(text, "%OS%", "Windows 7");
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["matches"] = count;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * base.size()));
}
BENCHMARK(BM_ReplaceAll_100kMatchesIn1MB)->Unit(benchmark::kMicrosecond);

void BM_ReplaceAll_NoMatchIn1MB(benchmark::State& state) {
    std::string text = ManyMatches();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReplaceAll(text, "%OX%", "Windows 7"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplaceAll_NoMatchIn1MB)->Unit(benchmark::kMicrosecond);

void BM_ReplaceAll_100kMatchesIn1MB_DoubleByte(benchmark::State& state) {
    testing::FakeDoubleByteCodePage codePage;
    platform::ScopedFake<platform::AnsiCodePage> fake(codePage);
    std::string base;
    while (base.size() < kMegabyte - 10) base += "\x82\xA0%OS%\x93\xFA\x96";
    std::int32_t count = 0;
    for (auto _ : state) {
        std::string text = base;
        count = ReplaceAll(text, "%OS%", "Windows 7");
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["matches"] = count;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * base.size()));
}
BENCHMARK(BM_ReplaceAll_100kMatchesIn1MB_DoubleByte)->Unit(benchmark::kMicrosecond);

// 1 MB of output markup holding 10,000 variables of every family (the
// network names among them, which stay until their family lands).
std::string TenThousandVariables() {
    static const char* const kNames[] = {
        "%HOSTNAME%", "%DOMAIN%", "%DNS_LIST%", "%ADAPTER_1_IPLIST%", "%ADAPTER_MAC_LIST%", "%INTERFACE_1_MTU%",
        "%OS%", "%SERVICEPACK%", "%BUILD%", "%PROCMHZ%", "%PROCNAME%", "%PROCCOUNT%", "%PROCINFO%",
        "%VOLUME_C_INFO%", "%VOLUME_D_INFO%", "%USERNAME%", "%RAMINFO%", "%EXECUTABLE_COMPANY%",
        "%EXECUTABLE_PRODUCT%", "%EXECUTABLE_VERSION%", "%EXECUTABLE_COPYRIGHT%"};
    constexpr std::size_t kCount = sizeof kNames / sizeof kNames[0];
    std::string text;
    text.reserve(kMegabyte + 256);
    for (std::size_t i = 0; i < 10000; ++i) {
        text += "<textline>";
        text += kNames[i % kCount];
        text += "</textline>";
        // Filler to spread the 10,000 names over 1 MB.
        const std::size_t target = (i + 1) * (kMegabyte / 10000);
        if (text.size() < target) text.append(target - text.size(), 'x');
    }
    return text;
}

void BM_SubstituteVariables_10kVariablesIn1MB(benchmark::State& state) {
    testing::FakeSystemFacts facts;
    facts.version.platformId = 2;
    facts.version.majorVersion = 10;
    facts.version.buildNumber = 22631;
    facts.processorCount = 8;
    facts.clockMHz = 2993;
    facts.processorName = "Intel(R) Core(TM) i7-8650U CPU @ 1.90GHz";
    platform::VolumeRecord volume;
    volume.label = "SYSTEM";
    volume.fileSystem = "NTFS";
    volume.serialNumber = 0x3C1A9E27;
    platform::DiskSpace space;
    space.total = 512ull << 30;
    space.totalFree = 200ull << 30;
    facts.AddDrive('C', "C:\\", volume, space);
    facts.AddDrive('D', "D:\\", volume, space);
    testing::FakeVersionRecords records;
    records.SetUsEnglishStrings("Paneloom Developers", "Paneloom", "1.0.0", "Copyright (C) Paneloom Developers");
    platform::ScopedFake<platform::SystemFacts> factsScope(facts);
    platform::ScopedFake<platform::VersionRecords> recordsScope(records);
    const RunSettings settings;
    VariableCaches caches;

    const std::string base = TenThousandVariables();
    std::size_t size = 0;
    for (auto _ : state) {
        std::string text = base;
        SubstituteVariables(text, settings, caches);
        size = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["output_bytes"] = static_cast<double>(size);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * base.size()));
}
BENCHMARK(BM_SubstituteVariables_10kVariablesIn1MB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace paneloom
