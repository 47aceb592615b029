#include "net/ip_helper.h"

#include <cstdlib>

namespace paneloom {

namespace {

// The too-small answers of the platform functions.
constexpr DWORD kBufferOverflow = 111;      // ERROR_BUFFER_OVERFLOW
constexpr DWORD kInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER

// One query's block. `capacity` is always the true size of `data` (0 when
// there is none), and it is what the platform is told the block holds: a size
// the platform asked for but that was not allocated never stands for the
// block, or the next call would let the platform write past its end.
class QueryBuffer {
public:
    QueryBuffer() = default;
    QueryBuffer(const QueryBuffer&) = delete;
    QueryBuffer& operator=(const QueryBuffer&) = delete;
    ~QueryBuffer() { Release(); }

    void* data() const { return data_; }
    ULONG capacity() const { return capacity_; }

    // Gives the old block back and takes a new one of `size` bytes; false,
    // with no block at all, when it cannot be had.
    bool Replace(ULONG size) {
        Release();
        // malloc aligns for every record type; a block of 0 bytes still gets
        // an address of its own.
        data_ = std::malloc(size != 0 ? size : 1);
        if (data_ == nullptr) return false;
        capacity_ = size;
        return true;
    }

    void Release() {
        std::free(data_);
        data_ = nullptr;
        capacity_ = 0;
    }

private:
    void* data_ = nullptr;
    ULONG capacity_ = 0;
};

IpHelperApi& Api() {
    static IpHelperApi api;
    return api;
}

// The four blocks live until the process ends.
QueryBuffer& NetworkParamsBuffer() {
    static QueryBuffer buffer;
    return buffer;
}
QueryBuffer& AdaptersInfoBuffer() {
    static QueryBuffer buffer;
    return buffer;
}
QueryBuffer& PerAdapterInfoBuffer() {
    static QueryBuffer buffer;
    return buffer;
}
QueryBuffer& IfTableBuffer() {
    static QueryBuffer buffer;
    return buffer;
}

// The growth protocol shared by the four queries. `call` runs the platform
// function on a block and an in/out length and returns its result code.
template <typename Call>
void* RunQuery(QueryBuffer& buffer, DWORD tooSmallCode, Call call) {
    ULONG length = buffer.capacity();
    DWORD result = call(buffer.data(), &length);
    if (result == NO_ERROR) return buffer.data();
    if (result != tooSmallCode) return nullptr;

    if (!buffer.Replace(length)) return nullptr;
    length = buffer.capacity();
    result = call(buffer.data(), &length);
    // When the data grew again in between, the new block stays for the next
    // query, which grows it once more.
    return result == NO_ERROR ? buffer.data() : nullptr;
}

template <typename Function>
Function LookUp(platform::IpHelperLibrary& library, platform::IpHelperHandle handle, const char* name) {
    // AnyFunction is void (*)(), which converts to and from every function
    // pointer type; the name fixes which one it really is.
    return reinterpret_cast<Function>(library.Lookup(handle, name));
}

}  // namespace

const IpHelperApi& CurrentIpHelperApi() { return Api(); }

int BindIpHelper() {
    IpHelperApi& api = Api();
    if (api.bound) return 1;

    platform::IpHelperLibrary& library = platform::Get<platform::IpHelperLibrary>();
    const platform::IpHelperHandle handle = library.Load();
    if (reinterpret_cast<std::uintptr_t>(handle) < 32) {
        api.library = nullptr;
        return 0;
    }
    api.library = handle;
    api.GetAdaptersInfo = LookUp<platform::GetAdaptersInfoFn>(library, handle, "GetAdaptersInfo");
    api.GetIfTable = LookUp<platform::GetIfTableFn>(library, handle, "GetIfTable");
    api.GetNetworkParams = LookUp<platform::GetNetworkParamsFn>(library, handle, "GetNetworkParams");
    api.GetPerAdapterInfo = LookUp<platform::GetPerAdapterInfoFn>(library, handle, "GetPerAdapterInfo");
    api.bound = true;
    return 1;
}

const FIXED_INFO* QueryNetworkParams() {
    if (BindIpHelper() == 0) return nullptr;
    const platform::GetNetworkParamsFn function = Api().GetNetworkParams;
    if (function == nullptr) return nullptr;
    return static_cast<const FIXED_INFO*>(RunQuery(NetworkParamsBuffer(), kBufferOverflow, [&](void* block, PULONG length) {
        return function(static_cast<PFIXED_INFO>(block), length);
    }));
}

const IP_ADAPTER_INFO* QueryAdaptersInfo() {
    if (BindIpHelper() == 0) return nullptr;
    const platform::GetAdaptersInfoFn function = Api().GetAdaptersInfo;
    if (function == nullptr) return nullptr;
    return static_cast<const IP_ADAPTER_INFO*>(
        RunQuery(AdaptersInfoBuffer(), kBufferOverflow, [&](void* block, PULONG length) {
            return static_cast<DWORD>(function(static_cast<PIP_ADAPTER_INFO>(block), length));
        }));
}

const IP_PER_ADAPTER_INFO* QueryPerAdapterInfo(std::uint32_t interfaceIndex) {
    if (BindIpHelper() == 0) return nullptr;
    const platform::GetPerAdapterInfoFn function = Api().GetPerAdapterInfo;
    if (function == nullptr) return nullptr;
    return static_cast<const IP_PER_ADAPTER_INFO*>(
        RunQuery(PerAdapterInfoBuffer(), kBufferOverflow, [&](void* block, PULONG length) {
            return function(static_cast<ULONG>(interfaceIndex), static_cast<PIP_PER_ADAPTER_INFO>(block), length);
        }));
}

const MIB_IFTABLE* QueryIfTable() {
    if (BindIpHelper() == 0) return nullptr;
    const platform::GetIfTableFn function = Api().GetIfTable;
    if (function == nullptr) return nullptr;
    return static_cast<const MIB_IFTABLE*>(RunQuery(IfTableBuffer(), kInsufficientBuffer, [&](void* block, PULONG length) {
        // TRUE: rows sorted by interface index.
        return function(static_cast<PMIB_IFTABLE>(block), length, 1);
    }));
}

void ResetIpHelperForTest() {
    Api() = IpHelperApi();
    NetworkParamsBuffer().Release();
    AdaptersInfoBuffer().Release();
    PerAdapterInfoBuffer().Release();
    IfTableBuffer().Release();
}

}  // namespace paneloom
