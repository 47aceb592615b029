// Run-time binding of the IP helper library and its four queries.
//
// The library is loaded by name at the first query and its functions are
// looked up by name, so the program runs where the library or one of the
// functions is missing: there the affected query yields nothing and the
// network views show their fall-back texts. Nothing here is ever logged.
//
// Each query keeps its block between calls and grows it when the platform
// asks for more: the first call hands over no block and a length of 0, the
// platform answers with its too-small code and the size it needs, and a
// second call fills the new block. There is never a third call. A record that
// a query returns lives in that query's block and stays valid until the next
// call of the same query.
//
// Single-threaded: the binding and the blocks are process-wide and unlocked.
#pragma once

#include <cstdint>

#include "platform/iphelper_library.h"
#include "platform/iphelper_records.h"

namespace paneloom {

// The process-wide binding. It starts unbound; the first successful load binds
// it for the rest of the process, and a failed load is tried again at the
// next query. A function the library does not export stays null.
struct IpHelperApi {
    bool bound = false;
    platform::IpHelperHandle library = nullptr;
    platform::GetAdaptersInfoFn GetAdaptersInfo = nullptr;
    platform::GetIfTableFn GetIfTable = nullptr;
    platform::GetNetworkParamsFn GetNetworkParams = nullptr;
    platform::GetPerAdapterInfoFn GetPerAdapterInfo = nullptr;
};

// The binding as it stands now.
const IpHelperApi& CurrentIpHelperApi();

// Loads the library and looks up the four functions unless that is done
// already. 1 when the library is loaded, 0 when loading it failed (every
// handle value below 32 counts as a failure).
int BindIpHelper();

// The machine's network parameters, or null.
const FIXED_INFO* QueryNetworkParams();

// The first record of the adapter list, or null (also when there are no
// adapters).
const IP_ADAPTER_INFO* QueryAdaptersInfo();

// The per-adapter record of the adapter with that interface index, or null.
// All adapters share one block, which grows to the largest record asked for.
const IP_PER_ADAPTER_INFO* QueryPerAdapterInfo(std::uint32_t interfaceIndex);

// The interface table, rows sorted by interface index, or null.
const MIB_IFTABLE* QueryIfTable();

// Test support only: forgets the binding and frees the four blocks, so the
// next query loads the library again (through whatever fake is in place).
// Records returned earlier become invalid.
void ResetIpHelperForTest();

}  // namespace paneloom
