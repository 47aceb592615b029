#include "platform/ip_helper.h"

#include <windows.h>

#include <cstdint>

#include "platform/win32/system_library.h"

namespace paneloom::platform {

namespace {

// The published signatures of the functions, as GetProcAddress hands them
// out.
typedef DWORD(WINAPI* GetNetworkParamsFn)(PFIXED_INFO pFixedInfo, PULONG pOutBufLen);
typedef ULONG(WINAPI* GetAdaptersInfoFn)(PIP_ADAPTER_INFO AdapterInfo, PULONG SizePointer);
typedef DWORD(WINAPI* GetPerAdapterInfoFn)(ULONG IfIndex, PIP_PER_ADAPTER_INFO pPerAdapterInfo, PULONG pOutBufLen);
typedef DWORD(WINAPI* GetIfTableFn)(PMIB_IFTABLE pIfTable, PULONG pdwSize, BOOL bOrder);
typedef DWORD(WINAPI* GetIfEntry2Fn)(PMIB_IF_ROW2 Row);

// The program is not linked against iphlpapi: it is loaded here, on first
// use, so that a system without it (or without one of its functions) only
// loses the network variables. It is taken from the system folder alone.
class Win32IpHelper final : public IpHelper {
public:
    bool Load() override {
        if (module_ != nullptr) return true;
        const HMODULE module = LoadSystemLibrary("iphlpapi.dll");
        // Every handle value below 32 counts as a failed load.
        if (reinterpret_cast<std::uintptr_t>(module) < 32) return false;
        module_ = module;
        getNetworkParams_ = LookUp<GetNetworkParamsFn>("GetNetworkParams");
        getAdaptersInfo_ = LookUp<GetAdaptersInfoFn>("GetAdaptersInfo");
        getPerAdapterInfo_ = LookUp<GetPerAdapterInfoFn>("GetPerAdapterInfo");
        getIfTable_ = LookUp<GetIfTableFn>("GetIfTable");
        getIfEntry2_ = LookUp<GetIfEntry2Fn>("GetIfEntry2");  // absent before Vista
        return true;
    }

    bool Provides(IpHelperFunction function) override {
        switch (function) {
            case IpHelperFunction::GetNetworkParams: return getNetworkParams_ != nullptr;
            case IpHelperFunction::GetAdaptersInfo: return getAdaptersInfo_ != nullptr;
            case IpHelperFunction::GetPerAdapterInfo: return getPerAdapterInfo_ != nullptr;
            case IpHelperFunction::GetIfTable: return getIfTable_ != nullptr;
            case IpHelperFunction::GetIfEntry2: return getIfEntry2_ != nullptr;
        }
        return false;
    }

    DWORD GetNetworkParams(PFIXED_INFO pFixedInfo, PULONG pOutBufLen) override {
        return getNetworkParams_ != nullptr ? getNetworkParams_(pFixedInfo, pOutBufLen) : ERROR_NOT_SUPPORTED;
    }

    ULONG GetAdaptersInfo(PIP_ADAPTER_INFO AdapterInfo, PULONG SizePointer) override {
        return getAdaptersInfo_ != nullptr ? getAdaptersInfo_(AdapterInfo, SizePointer) : ERROR_NOT_SUPPORTED;
    }

    DWORD GetPerAdapterInfo(ULONG IfIndex, PIP_PER_ADAPTER_INFO pPerAdapterInfo, PULONG pOutBufLen) override {
        return getPerAdapterInfo_ != nullptr ? getPerAdapterInfo_(IfIndex, pPerAdapterInfo, pOutBufLen)
                                             : ERROR_NOT_SUPPORTED;
    }

    DWORD GetIfTable(PMIB_IFTABLE pIfTable, PULONG pdwSize, BOOL bOrder) override {
        return getIfTable_ != nullptr ? getIfTable_(pIfTable, pdwSize, bOrder) : ERROR_NOT_SUPPORTED;
    }

    DWORD GetIfEntry2(PMIB_IF_ROW2 Row) override {
        return getIfEntry2_ != nullptr ? getIfEntry2_(Row) : ERROR_NOT_SUPPORTED;
    }

private:
    // A name the library does not export leaves its entry null.
    template <typename Function>
    Function LookUp(const char* name) const {
        return LookUpFunction<Function>(module_, name);
    }

    HMODULE module_ = nullptr;
    GetNetworkParamsFn getNetworkParams_ = nullptr;
    GetAdaptersInfoFn getAdaptersInfo_ = nullptr;
    GetPerAdapterInfoFn getPerAdapterInfo_ = nullptr;
    GetIfTableFn getIfTable_ = nullptr;
    GetIfEntry2Fn getIfEntry2_ = nullptr;
};

}  // namespace

template <>
IpHelper& RealImpl<IpHelper>() {
    static Win32IpHelper library;
    return library;
}

}  // namespace paneloom::platform
