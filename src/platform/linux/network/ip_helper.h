// The IP helper library of the Linux build. It answers the questions of the
// Windows IP helper library from Linux's own sources (readers.h, leases.h)
// and fills the same records in the caller's block with the same buffer
// protocol (record_image.h). It is always loaded and provides them all.
//
// A call reads the system and builds its records before it looks at the
// caller's block. One that answers "too small" keeps them for the very next
// call, which delivers them when it repeats the query with the same
// arguments: the two calls of the buffer protocol read the system once, and
// the size the caller was told is the size it gets. Any other call reads
// afresh, so two of them may differ in size when the network changed in
// between; the caller simply asks again.
#pragma once

#include <optional>

#include "platform/ip_helper.h"
#include "platform/linux/network/readers.h"
#include "platform/linux/network/record_image.h"

namespace paneloom::platform::lnx {

class LinuxIpHelper final : public IpHelper {
public:
    // Reads the network where `source` says; the default reads the running
    // system.
    explicit LinuxIpHelper(NetSource source = NetSource());

    bool Load() override { return true; }
    bool Provides(IpHelperFunction) override { return true; }

    // Host name, domain and the machine's DNS servers. Always NO_ERROR once
    // the block is large enough; an empty server list still has its one
    // empty entry.
    DWORD GetNetworkParams(PFIXED_INFO pFixedInfo, PULONG pOutBufLen) override;

    // The adapters: interfaces other than loopback that have a hardware
    // address, in interface-index order. ERROR_NO_DATA when there are none.
    ULONG GetAdaptersInfo(PIP_ADAPTER_INFO AdapterInfo, PULONG SizePointer) override;

    // The DNS servers of the interface with that index. ERROR_NO_DATA when no
    // interface has the index.
    DWORD GetPerAdapterInfo(ULONG IfIndex, PIP_PER_ADAPTER_INFO pPerAdapterInfo, PULONG pOutBufLen) override;

    // Every interface, loopback included, always sorted by interface index
    // (the order flag is accepted for the signature's sake).
    DWORD GetIfTable(PMIB_IFTABLE pIfTable, PULONG pdwSize, BOOL bOrder) override;

    // The interface named by its LUID (type and index), or where that is 0
    // by its index, with its link speed however fast.
    DWORD GetIfEntry2(PMIB_IF_ROW2 Row) override;

private:
    // The records a call answered "too small" with.
    struct Kept {
        IpHelperFunction function;
        ULONG argument;  // the interface index of GetPerAdapterInfo, else 0
        RecordImage image;
    };

    // The kept records when the call repeats the one that kept them; nothing
    // is kept any longer either way.
    std::optional<RecordImage> TakeKept(IpHelperFunction function, ULONG argument);
    // Delivers `image` under the buffer protocol, keeping it when the block
    // is too small.
    DWORD Deliver(IpHelperFunction function, ULONG argument, RecordImage image, void* block, PULONG length,
                  DWORD tooSmallCode);

    NetSource source_;
    std::optional<Kept> kept_;
};

}  // namespace paneloom::platform::lnx
