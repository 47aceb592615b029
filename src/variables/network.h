// The network family of variables: host name, domain, DNS servers, the
// adapters and the interface table. They come first in the substitution
// order, so every other family can be named inside a network value.
#pragma once

#include <cstdint>
#include <string>

#include "net/network.h"

namespace paneloom {

// Replaces the network variables in `text`, in their fixed order: host name,
// domain, DNS servers, the eight names of each adapter, the lists over all
// adapters, and the five names of each interface. The run's `network` is
// read afresh on every call. Missing data shows as the views' fall-back
// texts; nothing is logged here.
void SubstituteNetworkVariables(std::string& text, Network& network);

// An interface speed in bits per second as "%.1f" in Mb/sec (from
// 10,000,000), Kb/sec (from 10,000) or b/sec. Every speed is shown as the
// value it is, 10 Gb/s as "10000.0 Mb/sec".
std::string SpeedText(std::uint64_t bitsPerSecond);

}  // namespace paneloom
