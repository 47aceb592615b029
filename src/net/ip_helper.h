// The binding of the IP helper library and its queries, for one run.
//
// The library is loaded at the first query, so the program runs where the
// library or one of its functions is missing: there the affected query
// yields nothing and the network views show their fall-back texts. Nothing
// here is ever logged.
//
// Each of the four table queries keeps its block between calls and grows it
// when the platform asks for more: the first call hands over no block and a
// length of 0, the platform answers with its too-small code and the size it
// needs, and a second call fills the new block. There is never a third call.
// A record that a query returns lives in that query's block and stays valid
// until the next call of the same query.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ip_helper.h"

namespace paneloom {

// One query's block. `capacity` is always the true size of the block (0 when
// there is none), and it is what the platform is told the block holds: a size
// the platform asked for but that was not allocated never stands for the
// block, or the next call would let the platform write past its end.
class QueryBuffer {
public:
    void* data() const { return data_.get(); }
    ULONG capacity() const { return capacity_; }

    // Gives the old block back and takes a new one of `size` bytes; false,
    // with no block at all, when it cannot be had.
    bool Replace(ULONG size);

private:
    std::unique_ptr<unsigned char[]> data_;
    ULONG capacity_ = 0;
};

class IpHelperQueries {
public:
    // `library` outlives this object.
    explicit IpHelperQueries(platform::IpHelper& library) : library_(&library) {}

    // Loads the library unless that is done already: true when it is loaded.
    // The first success binds it for good; a failure is tried again at the
    // next query.
    bool BindIpHelper();
    bool bound() const { return bound_; }

    // The machine's network parameters, or null.
    const FIXED_INFO* QueryNetworkParams();

    // The first record of the adapter list, or null (also when there are no
    // adapters).
    const IP_ADAPTER_INFO* QueryAdaptersInfo();

    // The per-adapter record of the adapter with that interface index, or
    // null. All adapters share one block, which grows to the largest record
    // asked for.
    const IP_PER_ADAPTER_INFO* QueryPerAdapterInfo(std::uint32_t interfaceIndex);

    // The interface table, rows sorted by interface index, or null.
    const MIB_IFTABLE* QueryIfTable();

    // The interface record of the interface with that index, which carries
    // the link speeds in 64 bits, or null: where the library lacks
    // GetIfEntry2 (before Vista) or has no such interface. It stays valid
    // until the next call of this query.
    const MIB_IF_ROW2* QueryIfEntry2(std::uint32_t interfaceIndex);

private:
    // Bound, and the library provides `function`.
    bool Ready(platform::IpHelperFunction function);

    platform::IpHelper* library_;
    bool bound_ = false;
    QueryBuffer networkParams_;
    QueryBuffer adaptersInfo_;
    QueryBuffer perAdapterInfo_;
    QueryBuffer ifTable_;
    MIB_IF_ROW2 ifEntry_ {};
};

}  // namespace paneloom
