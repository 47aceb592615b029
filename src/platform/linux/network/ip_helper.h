// The IP helper functions of the Linux build. They answer the four questions
// of the Windows IP helper library from Linux's own sources (readers.h,
// leases.h) and fill the same records in the caller's block with the same
// buffer protocol (record_image.h).
//
// Every call reads the system afresh and builds its records before it looks at
// the caller's block, so two calls may differ in size when the network changed
// in between; the caller simply asks again.
#pragma once

#include "platform/iphelper_records.h"
#include "platform/linux/network/readers.h"

namespace paneloom::platform::lnx {

// Host name, domain and the machine's DNS servers. Always NO_ERROR once the
// block is large enough; an empty server list still has its one empty entry.
DWORD GetNetworkParams(PFIXED_INFO pFixedInfo, PULONG pOutBufLen);

// The adapters: interfaces other than loopback that have a hardware address,
// in interface-index order. ERROR_NO_DATA when there are none.
ULONG GetAdaptersInfo(PIP_ADAPTER_INFO AdapterInfo, PULONG SizePointer);

// The DNS servers of the interface with that index. ERROR_NO_DATA when no
// interface has the index.
DWORD GetPerAdapterInfo(ULONG IfIndex, PIP_PER_ADAPTER_INFO pPerAdapterInfo, PULONG pOutBufLen);

// Every interface, loopback included, always sorted by interface index (the
// order flag is accepted for the signature's sake).
DWORD GetIfTable(PMIB_IFTABLE pIfTable, PULONG pdwSize, BOOL bOrder);

// Replaces the source for all later calls; ResetNetSource goes back to the
// running system. Not synchronised: the program calls it from its one thread.
void SetNetSource(NetSource source);
void ResetNetSource();

}  // namespace paneloom::platform::lnx
