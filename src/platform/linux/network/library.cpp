#include "platform/iphelper_library.h"

#include <cstring>

#include "platform/linux/network/ip_helper.h"

namespace paneloom::platform {

namespace {

// On Linux the "library" is our own table of the four functions, which fill
// the same records from Linux's sources. It is always there.
struct Export {
    const char* name;
    AnyFunction function;
};

// Each entry keeps the published signature (checked by the typed
// initialisers) and is stored as AnyFunction, which stands for any function.
const GetAdaptersInfoFn kGetAdaptersInfo = &lnx::GetAdaptersInfo;
const GetIfTableFn kGetIfTable = &lnx::GetIfTable;
const GetNetworkParamsFn kGetNetworkParams = &lnx::GetNetworkParams;
const GetPerAdapterInfoFn kGetPerAdapterInfo = &lnx::GetPerAdapterInfo;

const Export kExports[] = {
    {"GetAdaptersInfo", reinterpret_cast<AnyFunction>(kGetAdaptersInfo)},
    {"GetIfTable", reinterpret_cast<AnyFunction>(kGetIfTable)},
    {"GetNetworkParams", reinterpret_cast<AnyFunction>(kGetNetworkParams)},
    {"GetPerAdapterInfo", reinterpret_cast<AnyFunction>(kGetPerAdapterInfo)},
};

class LinuxIpHelperLibrary final : public IpHelperLibrary {
public:
    IpHelperHandle Load() override {
        // Any address that is not null stands for the loaded table.
        return reinterpret_cast<IpHelperHandle>(const_cast<Export*>(kExports));
    }

    AnyFunction Lookup(IpHelperHandle library, const char* name) override {
        if (library == nullptr || name == nullptr) return nullptr;
        for (const Export& entry : kExports) {
            if (std::strcmp(entry.name, name) == 0) return entry.function;
        }
        return nullptr;
    }
};

}  // namespace

template <>
IpHelperLibrary& RealImpl<IpHelperLibrary>() {
    static LinuxIpHelperLibrary library;
    return library;
}

}  // namespace paneloom::platform
