// The IP helper library: queries about the machine's network, loaded when the
// first network query runs, so that the program starts and runs where the
// library or one of its functions is missing.
//
// The queries keep the published signatures, records and result codes. Each
// of the first four fills the caller's block and returns NO_ERROR, or writes
// the size it needs to the length argument and returns its too-small code
// (ERROR_BUFFER_OVERFLOW for the first three, ERROR_INSUFFICIENT_BUFFER for
// GetIfTable), or returns another error code. GetIfEntry2 fills one record of
// a fixed size.
#pragma once

#include "platform/ip_helper_records.h"
#include "platform/seam.h"

namespace paneloom::platform {

enum class IpHelperFunction { GetNetworkParams, GetAdaptersInfo, GetPerAdapterInfo, GetIfTable, GetIfEntry2 };

class IpHelper {
public:
    virtual ~IpHelper() = default;

    // Loads the library unless it is loaded; false when it cannot be loaded
    // now, which a later call tries again. Once loaded it stays loaded until
    // the process ends.
    virtual bool Load() = 0;

    // Whether the loaded library provides `function`; false while it is not
    // loaded. A function it lacks is not an error: only its query has no
    // data.
    virtual bool Provides(IpHelperFunction function) = 0;

    // The queries. Where the library is not loaded or lacks the function
    // they return ERROR_NOT_SUPPORTED.
    virtual DWORD GetNetworkParams(PFIXED_INFO pFixedInfo, PULONG pOutBufLen) = 0;
    virtual ULONG GetAdaptersInfo(PIP_ADAPTER_INFO AdapterInfo, PULONG SizePointer) = 0;
    virtual DWORD GetPerAdapterInfo(ULONG IfIndex, PIP_PER_ADAPTER_INFO pPerAdapterInfo, PULONG pOutBufLen) = 0;
    // bOrder TRUE asks for the rows sorted by interface index.
    virtual DWORD GetIfTable(PMIB_IFTABLE pIfTable, PULONG pdwSize, BOOL bOrder) = 0;
    // Fills the record of the interface that Row names by its InterfaceLuid,
    // or where that is 0 by its InterfaceIndex; ERROR_FILE_NOT_FOUND when
    // there is no such interface. Windows has it from Vista on.
    virtual DWORD GetIfEntry2(PMIB_IF_ROW2 Row) = 0;
};

template <>
IpHelper& RealImpl<IpHelper>();

}  // namespace paneloom::platform
