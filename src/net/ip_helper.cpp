#include "net/ip_helper.h"

#include <new>

namespace paneloom {

namespace {

// The too-small answers of the platform functions.
constexpr DWORD kBufferOverflow = 111;      // ERROR_BUFFER_OVERFLOW
constexpr DWORD kInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER

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

}  // namespace

bool QueryBuffer::Replace(ULONG size) {
    data_.reset();
    capacity_ = 0;
    // new[] aligns for every record type; a block of 0 bytes still gets an
    // address of its own.
    data_.reset(new (std::nothrow) unsigned char[size != 0 ? size : 1]);
    if (data_ == nullptr) return false;
    capacity_ = size;
    return true;
}

bool IpHelperQueries::BindIpHelper() {
    if (!bound_) bound_ = library_->Load();
    return bound_;
}

bool IpHelperQueries::Ready(platform::IpHelperFunction function) {
    return BindIpHelper() && library_->Provides(function);
}

const FIXED_INFO* IpHelperQueries::QueryNetworkParams() {
    if (!Ready(platform::IpHelperFunction::GetNetworkParams)) return nullptr;
    return static_cast<const FIXED_INFO*>(RunQuery(networkParams_, kBufferOverflow, [&](void* block, PULONG length) {
        return library_->GetNetworkParams(static_cast<PFIXED_INFO>(block), length);
    }));
}

const IP_ADAPTER_INFO* IpHelperQueries::QueryAdaptersInfo() {
    if (!Ready(platform::IpHelperFunction::GetAdaptersInfo)) return nullptr;
    return static_cast<const IP_ADAPTER_INFO*>(
        RunQuery(adaptersInfo_, kBufferOverflow, [&](void* block, PULONG length) {
            return static_cast<DWORD>(library_->GetAdaptersInfo(static_cast<PIP_ADAPTER_INFO>(block), length));
        }));
}

const IP_PER_ADAPTER_INFO* IpHelperQueries::QueryPerAdapterInfo(std::uint32_t interfaceIndex) {
    if (!Ready(platform::IpHelperFunction::GetPerAdapterInfo)) return nullptr;
    return static_cast<const IP_PER_ADAPTER_INFO*>(
        RunQuery(perAdapterInfo_, kBufferOverflow, [&](void* block, PULONG length) {
            return library_->GetPerAdapterInfo(static_cast<ULONG>(interfaceIndex),
                                               static_cast<PIP_PER_ADAPTER_INFO>(block), length);
        }));
}

const MIB_IFTABLE* IpHelperQueries::QueryIfTable() {
    if (!Ready(platform::IpHelperFunction::GetIfTable)) return nullptr;
    return static_cast<const MIB_IFTABLE*>(RunQuery(ifTable_, kInsufficientBuffer, [&](void* block, PULONG length) {
        // TRUE: rows sorted by interface index.
        return library_->GetIfTable(static_cast<PMIB_IFTABLE>(block), length, 1);
    }));
}

const MIB_IF_ROW2* IpHelperQueries::QueryIfEntry2(std::uint32_t interfaceIndex) {
    if (!Ready(platform::IpHelperFunction::GetIfEntry2)) return nullptr;
    // The record names its interface by index alone: a zero LUID.
    ifEntry_ = MIB_IF_ROW2 {};
    ifEntry_.InterfaceIndex = static_cast<NET_IFINDEX>(interfaceIndex);
    return library_->GetIfEntry2(&ifEntry_) == NO_ERROR ? &ifEntry_ : nullptr;
}

}  // namespace paneloom
