#include "platform/ip_helper.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "common/utf8.h"
#include "platform/win32/run_text.h"
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

// Writes `text` into a fixed text field, cut on a character boundary so
// that its terminating NUL fits; the bytes it writes, NUL excluded.
std::size_t FillField(char* field, std::size_t size, const std::string& text) {
    const std::size_t length = BoundaryAtOrBefore(text, size - 1);
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, size - length);
    return length;
}

// The computer's name of one kind in the run's code page; false when the
// system does not give it.
bool ComputerName(COMPUTER_NAME_FORMAT kind, std::string& name) {
    DWORD size = 0;
    GetComputerNameExW(kind, nullptr, &size);
    if (size == 0) return false;
    std::wstring buffer(size + 1, L'\0');
    if (!GetComputerNameExW(kind, &buffer[0], &size)) return false;
    name = RunFromWideBuffer(buffer.data(), buffer.size());
    return true;
}

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

    // The records carry their texts in the ANSI code page, where a name
    // outside it is lost to '?'. A UTF-8 run takes those texts from the wide
    // functions instead, in UTF-8, in the same fields.
    DWORD GetNetworkParams(PFIXED_INFO pFixedInfo, PULONG pOutBufLen) override {
        if (getNetworkParams_ == nullptr) return ERROR_NOT_SUPPORTED;
        const DWORD result = getNetworkParams_(pFixedInfo, pOutBufLen);
        if (result == NO_ERROR && pFixedInfo != nullptr && RunInUtf8()) {
            std::string name;
            if (ComputerName(ComputerNameDnsHostname, name))
                FillField(pFixedInfo->HostName, sizeof pFixedInfo->HostName, name);
            if (ComputerName(ComputerNameDnsDomain, name))
                FillField(pFixedInfo->DomainName, sizeof pFixedInfo->DomainName, name);
        }
        return result;
    }

    ULONG GetAdaptersInfo(PIP_ADAPTER_INFO AdapterInfo, PULONG SizePointer) override {
        if (getAdaptersInfo_ == nullptr) return ERROR_NOT_SUPPORTED;
        const ULONG result = getAdaptersInfo_(AdapterInfo, SizePointer);
        if (result == NO_ERROR && RunInUtf8()) {
            for (IP_ADAPTER_INFO* adapter = AdapterInfo; adapter != nullptr; adapter = adapter->Next) {
                std::string description;
                if (WideDescription(adapter->Index, description))
                    FillField(adapter->Description, sizeof adapter->Description, description);
            }
        }
        return result;
    }

    DWORD GetPerAdapterInfo(ULONG IfIndex, PIP_PER_ADAPTER_INFO pPerAdapterInfo, PULONG pOutBufLen) override {
        return getPerAdapterInfo_ != nullptr ? getPerAdapterInfo_(IfIndex, pPerAdapterInfo, pOutBufLen)
                                             : ERROR_NOT_SUPPORTED;
    }

    DWORD GetIfTable(PMIB_IFTABLE pIfTable, PULONG pdwSize, BOOL bOrder) override {
        if (getIfTable_ == nullptr) return ERROR_NOT_SUPPORTED;
        const DWORD result = getIfTable_(pIfTable, pdwSize, bOrder);
        if (result == NO_ERROR && pIfTable != nullptr && RunInUtf8()) {
            for (DWORD i = 0; i < pIfTable->dwNumEntries; ++i) {
                MIB_IFROW& row = pIfTable->table[i];
                std::string description;
                if (!WideDescription(row.dwIndex, description)) continue;
                // The length counts the terminating NUL, as the system's does.
                row.dwDescrLen = static_cast<DWORD>(
                    FillField(reinterpret_cast<char*>(row.bDescr), sizeof row.bDescr, description) + 1);
            }
        }
        return result;
    }

    DWORD GetIfEntry2(PMIB_IF_ROW2 Row) override {
        return getIfEntry2_ != nullptr ? getIfEntry2_(Row) : ERROR_NOT_SUPPORTED;
    }

private:
    // The interface's description from its wide record (Vista on), in the
    // run's code page; false where that record cannot be had.
    bool WideDescription(DWORD index, std::string& description) {
        if (getIfEntry2_ == nullptr) return false;
        MIB_IF_ROW2 row{};
        row.InterfaceIndex = index;
        if (getIfEntry2_(&row) != NO_ERROR) return false;
        description = RunFromWideBuffer(row.Description, sizeof row.Description / sizeof row.Description[0]);
        return true;
    }

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
