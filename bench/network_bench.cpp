// What one run's network variables cost on the running system: every
// query of the Linux IP helper reads /sys, the address list, the routes,
// the resolver configuration and the DHCP clients' lease files.
#include <benchmark/benchmark.h>

#include <string>

#include "net/network.h"
#include "platform/ip_helper.h"
#include "variables/network.h"

namespace paneloom {
namespace {

// The families a run substitutes: host, adapters (with each adapter's own
// DNS servers) and the interface table.
void BM_SubstituteNetworkVariables_RealSystem(benchmark::State& state) {
    const std::string base =
        "%HOSTNAME% %DOMAIN% %DNS_LIST% %ADAPTER_IP_LIST% %ADAPTER_MAC_LIST% %ADAPTER_1_DNSLIST% "
        "%INTERFACE_1_NAME% %INTERFACE_1_SPEED% %INTERFACE_2_SPEED%";
    for (auto _ : state) {
        Network network(platform::Get<platform::IpHelper>());
        std::string text = base;
        SubstituteNetworkVariables(text, network);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_SubstituteNetworkVariables_RealSystem)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace paneloom
