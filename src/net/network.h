// One run's network: the IP helper binding with its query blocks, and the
// current record of each view kind.
//
// A run makes one and hands it to every view (network_views.h). Within it
// there is one binding, the query blocks are kept and reused, and each view
// kind has one current record shared by all of its instances: none at
// start, then whatever the last Load of that kind returned. The records live
// in the query blocks, so they stay valid while the Network does.
#pragma once

#include "net/ip_helper.h"

namespace paneloom {

class Network {
public:
    // `library` outlives this object.
    explicit Network(platform::IpHelper& library) : queries_(library) {}

    Network(Network&&) = default;
    Network& operator=(Network&&) = default;

private:
    friend class NetworkParams;
    friend class AdapterList;
    friend class PerAdapterInfo;
    friend class InterfaceTable;

    IpHelperQueries queries_;
    const FIXED_INFO* networkParams_ = nullptr;
    const IP_ADAPTER_INFO* adapterList_ = nullptr;
    const IP_PER_ADAPTER_INFO* perAdapterInfo_ = nullptr;
    const MIB_IFTABLE* interfaceTable_ = nullptr;
};

// The run's network, until the run context carries it: one for the process,
// over the platform's IP helper library.
Network& ProcessNetwork();

}  // namespace paneloom
